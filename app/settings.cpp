#include "app/settings.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QSaveFile>

namespace quorvel {

namespace {

// Settings files are small; anything much larger is not ours to parse.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

QByteArray readAll(const QString& path, bool* exists) {
  QFile f(path);
  *exists = f.exists();
  if (!f.open(QIODevice::ReadOnly)) return {};
  // read(n) reserves n bytes before it reads, so the file is read in pieces of its own size.
  QByteArray data;
  while (data.size() < kMaxFileSize) {
    const qint64 want = qMin<qint64>(qMax<qint64>(f.size(), 4096), kMaxFileSize - data.size());
    const QByteArray piece = f.read(want);
    if (piece.isEmpty()) break;
    data += piece;
  }
  return data;
}

QList<QByteArray> splitLines(const QByteArray& data) {
  QList<QByteArray> lines;
  qsizetype start = 0;
  for (qsizetype i = 0; i < data.size(); ++i) {
    if (data[i] == '\n') {
      qsizetype end = i;
      if (end > start && data[end - 1] == '\r') --end;
      lines.append(data.mid(start, end - start));
      start = i + 1;
    }
  }
  if (start < data.size()) {
    QByteArray last = data.mid(start);
    if (last.endsWith('\r')) last.chop(1);
    lines.append(last);
  }
  return lines;
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
  bool exists = false;
  const QList<QByteArray> lines = splitLines(readAll(path, &exists));
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
  bool exists = false;
  const QByteArray data = readAll(path, &exists);
  // A file that cannot be read whole is not rewritten: that would lose what was in it.
  if (exists && data.size() != QFile(path).size()) return false;
  QList<QByteArray> lines = splitLines(data);
  const QByteArray eol = data.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
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

  QByteArray out;
  for (const QByteArray& l : lines) out += l + eol;
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  // flush() before commit(): a small write stays in the buffer, and commit() does not notice
  // when writing that buffer fails (a full disk), so it would put an empty file in place.
  if (f.write(out) != out.size() || !f.flush()) {
    f.cancelWriting();
    return false;
  }
  return f.commit();
}

}  // namespace quorvel
