#include "fuzz_check.h"

#include <unistd.h>
#include <QDir>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace quorvel::fuzz {

void fail(const char* file, int line, const char* condition, const QString& detail) {
  std::fprintf(stderr, "\n*** property broken at %s:%d: %s\n*** %s\n", file, line, condition,
               detail.toUtf8().constData());
  std::fflush(stderr);
  std::abort();
}

namespace {
std::string g_scratch;
void removeScratch() {
  if (!g_scratch.empty()) QDir(QString::fromStdString(g_scratch)).removeRecursively();
}
}  // namespace

// scripts/fuzz.sh hands each run a folder of its own and removes it afterwards, also when the
// run ends in a crash (which skips the clean-up at exit); else one in /dev/shm or $TMPDIR.
QString scratchFolder() {
  if (const char* given = std::getenv("QUORVEL_FUZZ_SCRATCH")) {
    QDir().mkpath(QString::fromLocal8Bit(given));
    return QString::fromLocal8Bit(given);
  }
  if (g_scratch.empty()) {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
    std::string templ = std::string(base ? base : "/tmp") + "/quorvel-fuzz-XXXXXX";
    if (!mkdtemp(templ.data())) {
      std::perror("mkdtemp");
      std::abort();
    }
    g_scratch = templ;
    std::atexit(removeScratch);
  }
  return QString::fromStdString(g_scratch);
}

QString show(const QString& text) {
  QString out = QStringLiteral("\"");
  for (const QChar c : text) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7f)
      out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    else if (c == u'"' || c == u'\\')
      out += QLatin1Char('\\') + c;
    else
      out += c;
  }
  return out + QLatin1Char('"');
}

}  // namespace quorvel::fuzz
