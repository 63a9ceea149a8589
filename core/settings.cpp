#include "core/settings.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include "core/app_files.h"
#include "core/app_state.h"

namespace quorvel {

namespace {

// Settings files are small; anything much larger is not ours to parse.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;
constexpr char kBom[] = "\xEF\xBB\xBF";

QString fileNameOf(const QString& path) {
  return QFileInfo(path).fileName();
}

// The settings file as it is on disk. `whole` is false when it could not be read to its end;
// trouble other than a missing file is told once.
struct FileText {
  bool exists = false;
  bool whole = true;
  QByteArray data;
};

FileText readAll(const QString& path) {
  FileText t;
  QFile f;
  const FileStatus s = openForReading(f, path);
  if (!s.ok()) {
    t.exists = s.trouble != FileTrouble::Missing;
    t.whole = !t.exists;
    if (t.exists)
      tellFileTrouble(fileNameOf(path), QStringLiteral("%1 could not be read (%2); the settings "
                                                       "in it are not used or changed.")
                                            .arg(fileNameOf(path), s.reason()));
    return t;
  }
  t.exists = true;
  // read(n) reserves n bytes before it reads, so the file is read in pieces of its own size.
  const qint64 size = f.size();
  while (t.data.size() < kMaxFileSize) {
    const qint64 want = qMin<qint64>(qMax<qint64>(size, 4096), kMaxFileSize - t.data.size());
    const QByteArray piece = f.read(want);
    if (piece.isEmpty()) break;
    t.data += piece;
  }
  t.whole = t.data.size() == f.size() && f.error() == QFileDevice::NoError;
  if (f.size() > kMaxFileSize)
    tellFileTrouble(fileNameOf(path),
                    QStringLiteral("%1 is larger than 16 MiB, more than a settings file holds; "
                                   "only its first 16 MiB are read, it is left as it is, and "
                                   "settings changed from now on are not kept.")
                        .arg(fileNameOf(path)));
  return t;
}

// The lines of the file, which may begin with a UTF-8 byte-order mark and end its lines with
// CR LF, LF or CR alone; `eol` is the file's own line end (its first one), LF when it has none.
QList<QByteArray> splitLines(const QByteArray& data, bool* bom = nullptr,
                             QByteArray* eol = nullptr) {
  QList<QByteArray> lines;
  qsizetype start = 0;
  const bool hasBom = data.startsWith(kBom);
  if (hasBom) start = 3;
  if (bom) *bom = hasBom;
  if (eol) *eol = QByteArray("\n");
  bool first = true;
  for (qsizetype i = start; i < data.size(); ++i) {
    if (data[i] != '\n' && data[i] != '\r') continue;
    lines.append(data.mid(start, i - start));
    const bool crlf = data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n';
    if (first && eol) *eol = crlf ? QByteArray("\r\n") : QByteArray(1, data[i]);
    first = false;
    if (crlf) ++i;
    start = i + 1;
  }
  if (start < data.size()) lines.append(data.mid(start));
  return lines;
}

// Stores the whole file: replaced through a temporary file beside it, or, where its folder
// takes no new file (but the file itself can be written), rewritten in place. A failure is
// told once and remembered.
bool storeFile(const QString& path, const QByteArray& contents) {
  FileStatus s = replaceFile(path, contents);
  if (!s.ok() && s.trouble == FileTrouble::Error) {
    const FileStatus inPlace = rewriteInPlace(path, contents);
    if (inPlace.ok() || inPlace.trouble != FileTrouble::Missing) s = inPlace;
  }
  if (s.ok()) return true;
  appState().settingsLost = true;
  tellFileTrouble(fileNameOf(path),
                  QStringLiteral("%1 could not be written (%2); settings changed from now on are "
                                 "not kept.")
                      .arg(fileNameOf(path), s.reason()));
  return false;
}

// The section name of a "[name]" line, or a null array when the line is not one.
QByteArray sectionName(const QByteArray& line) {
  const QByteArray t = line.trimmed();
  if (t.size() < 2 || t.front() != '[') return {};
  const qsizetype close = t.indexOf(']');
  if (close < 0) return {};
  QByteArray name = t.mid(1, close - 1).trimmed();
  if (name.isNull()) name = QByteArray("");
  return name;
}

bool sameName(const QByteArray& a, const QString& b) {
  return QString::fromUtf8(a).compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

// Key of a "key=value" line (trimmed), or null when the line has no '='.
QByteArray keyOf(const QByteArray& line, QByteArray* value) {
  const qsizetype eq = line.indexOf('=');
  if (eq < 0) return {};
  if (value) *value = line.mid(eq + 1).trimmed();
  QByteArray key = line.left(eq).trimmed();
  if (key.isNull()) key = QByteArray("");
  return key;
}

// Index range [begin, end) of the first section with that name; begin = -1 when absent.
void findSection(const QList<QByteArray>& lines, const QString& section, qsizetype* header,
                 qsizetype* end) {
  *header = -1;
  *end = lines.size();
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QByteArray name = sectionName(lines[i]);
    if (name.isNull()) continue;
    if (*header >= 0) {
      *end = i;
      return;
    }
    if (sameName(name, section)) *header = i;
  }
}

// Line breaks in a key or value would change the file's structure.
QByteArray oneLine(const QString& text) {
  QByteArray b = text.toUtf8();
  b.replace('\r', ' ');
  b.replace('\n', ' ');
  b.replace('\0', ' ');
  return b;
}

}  // namespace

SettingValue ReadSetting(const QString& path, const QString& section, const QString& key) {
  const QList<QByteArray> lines = splitLines(readAll(path).data);
  qsizetype header = -1, end = 0;
  findSection(lines, section, &header, &end);
  SettingValue result;
  if (header < 0) return result;
  for (qsizetype i = header + 1; i < end; ++i) {
    QByteArray value;
    const QByteArray k = keyOf(lines[i], &value);
    if (k.isNull() || !sameName(k, key)) continue;
    QString v = QString::fromUtf8(value);
    const qsizetype nul = v.indexOf(QChar(0));
    if (nul >= 0) v.truncate(nul);
    if (v.size() > kSettingBufferSize - 1) v.truncate(kSettingBufferSize - 1);
    result.value = v;
    result.length = int(v.size());
    return result;
  }
  return result;
}

bool WriteSetting(const QString& path, const QString& section, const QString& key,
                  const QString& value) {
  const FileText file = readAll(path);
  // A file that cannot be read whole is not rewritten: that would lose what was in it.
  if (!file.whole) {
    appState().settingsLost = true;
    return false;
  }
  bool bom = false;
  QByteArray eol;
  QList<QByteArray> lines = splitLines(file.data, &bom, &eol);
  const QByteArray newLine = oneLine(key.trimmed()) + '=' + oneLine(value);

  qsizetype header = -1, end = 0;
  findSection(lines, section, &header, &end);
  if (header < 0) {
    if (!lines.isEmpty() && !lines.last().trimmed().isEmpty()) lines.append(QByteArray());
    lines.append('[' + oneLine(section.trimmed()) + ']');
    lines.append(newLine);
  } else {
    qsizetype found = -1, lastKey = header;
    for (qsizetype i = header + 1; i < end; ++i) {
      const QByteArray k = keyOf(lines[i], nullptr);
      if (k.isNull()) {
        if (!lines[i].trimmed().isEmpty()) lastKey = i;
        continue;
      }
      lastKey = i;
      if (found < 0 && sameName(k, key)) found = i;
    }
    if (found >= 0)
      lines[found] = newLine;
    else
      lines.insert(lastKey + 1, newLine);
  }

  QByteArray out = bom ? QByteArray(kBom) : QByteArray();
  for (const QByteArray& l : lines) out += l + eol;
  return storeFile(path, out);
}

bool WriteSettingsFile(const QString& path, const QByteArray& contents) {
  return storeFile(path, contents);
}

}  // namespace quorvel
