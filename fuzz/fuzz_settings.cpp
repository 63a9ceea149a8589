// Fuzz target: the settings file reader and writer.
//
// Input: a settings file of any bytes, a value, and the choice of a section and a key (names
// found in the file, names the program uses, or made-up ones). Properties:
// - every read gives at most 259 characters, no NUL, and a length equal to its value's;
// - a successful write is read back as the value (line breaks made blanks, trimmed, 259 at
//   most), every other key of the file reads as before, and writing it again changes no line;
// - a failed write leaves the file as it was.
#include <fuzzer/FuzzedDataProvider.h>

#include <QFile>
#include <QList>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "app/settings.h"
#include "fuzz_check.h"

namespace {

using quorvel::kSettingBufferSize;
using quorvel::ReadSetting;
using quorvel::SettingValue;
using quorvel::WriteSetting;
using quorvel::fuzz::show;

const char* const kKnownNames[] = {"URLInfo", "Proxy",       "TraceRoute",  "Ping",       "FTP",
                                   "URL1",    "URL10",       "File1",       "LogResults", "Use",
                                   "Address", "WaitTimeout", "NumRequests", "GetImages",  "Port"};

struct Pair {
  QString section, key;
};

// The section and key names the file holds, as a reader might see them; taking too many is
// harmless, since every pair is only compared with itself.
QList<Pair> namesIn(const QByteArray& data) {
  QList<Pair> pairs;
  QString section;
  for (const QByteArray& raw : data.split('\n')) {
    const QByteArray line = raw.trimmed();
    if (line.startsWith('[') && line.contains(']')) {
      section = QString::fromUtf8(line.mid(1, line.indexOf(']') - 1).trimmed());
      pairs.append({section, QString()});
      continue;
    }
    const qsizetype eq = line.indexOf('=');
    if (eq >= 0) pairs.append({section, QString::fromUtf8(line.left(eq).trimmed())});
  }
  return pairs;
}

// The program's own section and key names are letters and digits only.
bool isProgramName(const QString& name) {
  if (name.isEmpty()) return false;
  for (const QChar c : name)
    if (c.unicode() > 0x7f || !c.isLetterOrNumber()) return false;
  return true;
}

QString pickName(FuzzedDataProvider& fdp, const QList<Pair>& pairs, bool section) {
  switch (fdp.ConsumeIntegralInRange<int>(0, 2)) {
    case 0: {
      const size_t n = sizeof kKnownNames / sizeof kKnownNames[0];
      return QString::fromLatin1(kKnownNames[fdp.ConsumeIntegralInRange<size_t>(0, n - 1)]);
    }
    case 1:
      if (!pairs.isEmpty()) {
        const Pair& p = pairs[fdp.ConsumeIntegralInRange<qsizetype>(0, pairs.size() - 1)];
        const QString name = section ? p.section : p.key;
        if (isProgramName(name)) return name;
      }
      [[fallthrough]];
    default: {
      // Made-up names are letters and digits, as every name the program writes is.
      std::string name = fdp.ConsumeRandomLengthString(12);
      QString out;
      for (unsigned char c : name)
        out +=
            QLatin1Char("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"[c % 62]);
      return out.isEmpty() ? QStringLiteral("K") : out;
    }
  }
}

void checkRead(const SettingValue& v, const QString& what) {
  FUZZ_CHECK(v.length == v.value.size(), what + QStringLiteral(": length ") +
                                             QString::number(v.length) + QStringLiteral(" of ") +
                                             show(v.value));
  FUZZ_CHECK(
      v.length <= kSettingBufferSize - 1,
      what + QStringLiteral(": ") + QString::number(v.length) + QStringLiteral(" characters"));
  FUZZ_CHECK(!v.value.contains(QChar(0)), what + QStringLiteral(": NUL in ") + show(v.value));
}

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What reading a written value gives back.
QString expectedValue(const QString& value) {
  QByteArray b = value.toUtf8();
  b.replace('\r', ' ').replace('\n', ' ').replace('\0', ' ');
  QString v = QString::fromUtf8(b.trimmed());
  if (v.size() > kSettingBufferSize - 1) v.truncate(kSettingBufferSize - 1);
  return v;
}

bool sameName(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  const std::string fileText = fdp.ConsumeRandomLengthString(4096);
  const std::string valueText = fdp.ConsumeRandomLengthString(400);
  const QByteArray original(fileText.data(), qsizetype(fileText.size()));
  const QList<Pair> pairs = namesIn(original);
  const QString section = pickName(fdp, pairs, true);
  const QString key = pickName(fdp, pairs, false);
  const QString value = QString::fromUtf8(valueText.data(), qsizetype(valueText.size()));

  static const QString path = quorvel::fuzz::scratchFolder() + QStringLiteral("/Quorvel.ini");
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(original) != original.size())
      return 0;
  }

  QList<SettingValue> before;
  for (const Pair& p : pairs) {
    before.append(ReadSetting(path, p.section, p.key));
    checkRead(before.last(), QStringLiteral("[%1] %2").arg(show(p.section), show(p.key)));
  }
  checkRead(ReadSetting(path, section, key), QStringLiteral("chosen key"));

  if (!WriteSetting(path, section, key, value)) {
    FUZZ_CHECK(fileBytes(path) == original, QStringLiteral("a failed write changed the file"));
    return 0;
  }
  const SettingValue back = ReadSetting(path, section, key);
  checkRead(back, QStringLiteral("written key"));
  FUZZ_CHECK(back.value == expectedValue(value),
             QStringLiteral("[%1] %2 wrote %3, read %4")
                 .arg(show(section), show(key), show(value), show(back.value)));

  for (qsizetype i = 0; i < pairs.size(); ++i) {
    const Pair& p = pairs[i];
    if (sameName(p.section.trimmed(), section) && sameName(p.key, key)) continue;
    const SettingValue now = ReadSetting(path, p.section, p.key);
    FUZZ_CHECK(now.value == before[i].value,
               QStringLiteral("writing [%1] %2 changed [%3] %4 from %5 to %6")
                   .arg(show(section), show(key), show(p.section), show(p.key),
                        show(before[i].value), show(now.value)));
  }

  const QByteArray once = fileBytes(path);
  FUZZ_CHECK(WriteSetting(path, section, key, value), QStringLiteral("second write failed"));
  const QByteArray twice = fileBytes(path);
  // The line-end style may settle on the second write (a stray carriage return at the end of
  // the file becomes a CR LF); the lines themselves must not change.
  FUZZ_CHECK(QByteArray(twice).replace("\r\n", "\n") == QByteArray(once).replace("\r\n", "\n"),
             QStringLiteral(
                 "writing [%1] %2 = %3 again changed the file\n%4\ninto\n%5\n(at first it was %6)")
                 .arg(show(section), show(key), show(value), show(QString::fromLatin1(once)),
                      show(QString::fromLatin1(twice)), show(QString::fromLatin1(original))));
  return 0;
}
