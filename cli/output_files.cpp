#include "cli/output_files.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/app_files.h"
#include "core/app_state.h"
#include "core/exit_codes.h"

namespace quorvel::cli {

namespace {

// Where a file name leads: its clean absolute name, and the file itself when one is there.
struct Place {
  QString name;
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
};

Place placeOf(const QString& path) {
  Place p;
  p.name = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  struct stat st;
  if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
    p.exists = true;
    p.device = st.st_dev;
    p.inode = st.st_ino;
  }
  return p;
}

// Standard output, when it goes to a file that another output could replace.
Place standardOutput() {
  Place p;
  struct stat st;
  if (::fstat(STDOUT_FILENO, &st) == 0 && S_ISREG(st.st_mode)) {
    p.exists = true;
    p.device = st.st_dev;
    p.inode = st.st_ino;
  }
  return p;
}

bool sameFile(const Place& a, const Place& b) {
  if (a.exists && b.exists) return a.device == b.device && a.inode == b.inode;
  return !a.name.isEmpty() && a.name == b.name;
}

// The program's own file of the application folder at that place, if it is one ("" if not):
// an output must never replace a log, the settings or the URL list.
QString ownFileAt(const Place& place) {
  static const char* const kOwnFiles[] = {
      "Quorvel.ini", "URLS.DAT",  "debug.txt", "QuorvelLog.txt", "QVSum.log",
      "QVURL.log",   "Debug.log", "chart.dat", "Quorvel.tmp",    "QuorvelLog.bak",
      "QVSum.bak",   "QVURL.bak", "Debug.bak"};
  for (const char* name : kOwnFiles) {
    const QString own = QString::fromLatin1(name);
    if (sameFile(place, placeOf(appState().filePath(own)))) return own;
  }
  return {};
}

QString refusal(const QString& name, const QString& path, const FileStatus& s) {
  return QStringLiteral("The --%1 file %2 cannot be written: %3.").arg(name, path, s.reason());
}

}  // namespace

int CheckOutputFiles(const ParsedArgs& args, const QStringList& names, Console& console) {
  QStringList given;
  for (const QString& n : names)
    if (args.has(n)) given << n;
  for (const QString& n : given) {
    if (args.value(n).isEmpty()) {
      console.error(QStringLiteral("Option --%1 needs a file name.").arg(n));
      return kExitCannotStart;
    }
  }
  const Place out = standardOutput();
  for (qsizetype i = 0; i < given.size(); ++i) {
    const Place here = placeOf(args.value(given[i]));
    for (qsizetype j = 0; j < i; ++j) {
      if (sameFile(here, placeOf(args.value(given[j])))) {
        console.error(QStringLiteral("--%1 and --%2 name the same file %3; give each its own.")
                          .arg(given[j], given[i], args.value(given[i])));
        return kExitCannotStart;
      }
    }
    if (const QString own = ownFileAt(here); !own.isEmpty()) {
      console.error(QStringLiteral("--%1 names %2, one of the program's own files (%3); give "
                                   "it one of its own.")
                        .arg(given[i], own, args.value(given[i])));
      return kExitCannotStart;
    }
    if (sameFile(here, out)) {
      console.error(QStringLiteral("--%1 names the file that standard output goes to (%2); "
                                   "give it one of its own.")
                        .arg(given[i], args.value(given[i])));
      return kExitCannotStart;
    }
  }
  // A temporary file beside each one proves that it can be replaced there, and is dropped.
  for (const QString& n : given) {
    ReplacingFile probe(args.value(n));
    const FileStatus s = probe.open();
    probe.cancel();
    if (!s.ok()) {
      console.error(refusal(n, args.value(n), s));
      return kExitNotWritten;
    }
  }
  return kExitOk;
}

bool WriteOutputFile(const ParsedArgs& args, const QString& name, const QByteArray& data,
                     Console& console) {
  const QString path = args.value(name);
  const FileStatus s = replaceFile(path, data);
  if (s.ok()) return true;
  console.error(refusal(name, path, s));
  return false;
}

}  // namespace quorvel::cli
