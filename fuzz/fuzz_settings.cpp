// Fuzz target: the settings file reader and writer.
//
// Input: a settings file of any bytes, a value, and a section and key (names the program uses,
// names found in the file, or made-up ones). Properties:
// - every read gives at most 259 characters, no NUL, and a length equal to its value's;
// - a successful write is read back as the value (line breaks made blanks, trimmed, 259 at
//   most), every other key of the file reads as before, and writing it again changes no line;
// - a failed write leaves the file as it was.
#include <fuzzer/FuzzedDataProvider.h>

#include <QFile>
#include <QRegularExpression>

#include "core/settings.h"
#include "fuzz_check.h"

namespace {

using namespace quorvel;
using fuzz::show;

struct Name {
  QString section, key;
};

// The names the file holds, as a reader might see them; taking too many is harmless, since
// every pair is only compared with itself.
QList<Name> namesIn(const QByteArray& data) {
  QList<Name> names;
  QString section;
  for (const QByteArray& raw : data.split('\n')) {
    const QByteArray line = raw.trimmed();
    if (line.startsWith('[') && line.contains(']'))
      section = QString::fromUtf8(line.mid(1, line.indexOf(']') - 1).trimmed());
    else if (line.contains('='))
      names.append({section, QString::fromUtf8(line.left(line.indexOf('=')).trimmed())});
  }
  return names;
}

// A name as the program writes them: letters and digits only.
QString pickName(FuzzedDataProvider& fdp, const QList<Name>& names, bool section) {
  static const char* const known[] = {"URLInfo", "Proxy", "Ping", "FTP",      "URL1",
                                      "File1",   "Use",   "Port", "GetImages"};
  if (fdp.ConsumeBool()) return known[fdp.ConsumeIntegralInRange<size_t>(0, std::size(known) - 1)];
  if (!names.isEmpty() && fdp.ConsumeBool()) {
    const Name& n = names[fdp.ConsumeIntegralInRange<qsizetype>(0, names.size() - 1)];
    const QString name = section ? n.section : n.key;
    if (!name.isEmpty() && !name.contains(QRegularExpression("[^A-Za-z0-9]"))) return name;
  }
  QString out = QStringLiteral("K");
  for (unsigned char c : fdp.ConsumeRandomLengthString(12))
    out += QLatin1Char("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"[c % 62]);
  return out;
}

void checkRead(const SettingValue& v, const QString& what) {
  FUZZ_CHECK(v.length == v.value.size() && v.length <= kSettingBufferSize - 1 &&
                 !v.value.contains(QChar(0)),
             what + QStringLiteral(": %1 characters, %2").arg(v.length).arg(show(v.value)));
}

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  const std::string fileText = fdp.ConsumeRandomLengthString(4096);
  const std::string valueText = fdp.ConsumeRandomLengthString(400);
  const QByteArray original(fileText.data(), qsizetype(fileText.size()));
  const QList<Name> names = namesIn(original);
  const QString section = pickName(fdp, names, true), key = pickName(fdp, names, false);
  const QString value = QString::fromUtf8(valueText.data(), qsizetype(valueText.size()));

  static const QString path = fuzz::scratchFolder() + QStringLiteral("/Quorvel.ini");
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(original) != original.size())
      return 0;
  }
  QList<SettingValue> before;
  for (const Name& n : names) {
    before.append(ReadSetting(path, n.section, n.key));
    checkRead(before.last(), QStringLiteral("[%1] %2").arg(show(n.section), show(n.key)));
  }
  if (!WriteSetting(path, section, key, value)) {
    FUZZ_CHECK(fileBytes(path) == original, QStringLiteral("a failed write changed the file"));
    return 0;
  }
  // What reading a written value gives back.
  QByteArray want = value.toUtf8();
  want.replace('\r', ' ').replace('\n', ' ').replace('\0', ' ');
  const SettingValue back = ReadSetting(path, section, key);
  checkRead(back, QStringLiteral("written key"));
  FUZZ_CHECK(back.value == QString::fromUtf8(want.trimmed()).left(kSettingBufferSize - 1),
             QStringLiteral("[%1] %2 wrote %3, read %4")
                 .arg(show(section), show(key), show(value), show(back.value)));
  for (qsizetype i = 0; i < names.size(); ++i) {
    const Name& n = names[i];
    if (n.section.trimmed().compare(section, Qt::CaseInsensitive) == 0 &&
        n.key.compare(key, Qt::CaseInsensitive) == 0)
      continue;
    const SettingValue now = ReadSetting(path, n.section, n.key);
    FUZZ_CHECK(now.value == before[i].value,
               QStringLiteral("writing [%1] %2 changed [%3] %4 from %5 to %6")
                   .arg(show(section), show(key), show(n.section), show(n.key),
                        show(before[i].value), show(now.value)));
  }
  // Writing again may settle the line-end style (a stray CR at the end of the file becomes a CR
  // LF); the lines themselves must not change.
  const QByteArray once = fileBytes(path);
  FUZZ_CHECK(WriteSetting(path, section, key, value), QStringLiteral("second write failed"));
  FUZZ_CHECK(
      QByteArray(fileBytes(path)).replace("\r\n", "\n") == QByteArray(once).replace("\r\n", "\n"),
      QStringLiteral("writing [%1] %2 = %3 again changed %4")
          .arg(show(section), show(key), show(value), show(QString::fromLatin1(once))));
  return 0;
}
