#include "stats/chart_file.h"

#include <QFile>
#include <QSaveFile>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "app/text_util.h"
#include "stats/line_reader.h"

namespace quorvel {

namespace {
// Significant digits of a plain decimal: from the first to the last non-zero digit.
int significantDigits(const char* s, const char* e) {
  const char* first = nullptr;
  const char* last = nullptr;
  int between = 0;
  for (const char* p = s; p < e; ++p) {
    if (*p < '0' || *p > '9') continue;
    if (*p != '0') {
      if (!first) first = p;
      last = p;
    }
  }
  if (!first) return 0;
  for (const char* p = first; p <= last; ++p)
    if (*p >= '0' && *p <= '9') ++between;
  return between;
}

// Writes the shortest form into out (64 bytes); returns its length.
int shortestSingleChars(float value, char* out) {
  if (!std::isfinite(value) || value == 0.0f) {
    out[0] = '0';
    return 1;
  }
  // The shortest text that reads back as the same float, in fixed notation.
  const auto res = std::to_chars(out, out + 63, value, std::chars_format::fixed);
  if (res.ec == std::errc() && significantDigits(out, res.ptr) <= 7) return int(res.ptr - out);
  // A float that needs more than seven digits: the nearest with seven, without an exponent.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6e", double(value));
  const int exp10 = std::atoi(std::strchr(buf, 'e') + 1);
  if (exp10 > 6) {
    // A whole number: the seven digits, then zeros. Printing the double instead would show
    // its binary expansion ("2.384157e+38" as 2384156999999999...).
    int n = 0;
    for (const char* p = buf; *p != 'e'; ++p)
      if (*p != '.') out[n++] = *p;
    for (int i = 6; i < exp10; ++i) out[n++] = '0';
    return n;
  }
  const int decimals = std::max(0, 6 - exp10);
  int n = std::snprintf(out, 64, "%.*f", decimals, std::strtod(buf, nullptr));
  if (std::memchr(out, '.', size_t(n))) {
    while (n > 0 && out[n - 1] == '0') --n;
    if (n > 0 && out[n - 1] == '.') --n;
  }
  return n;
}
}  // namespace

QString shortestSingle(float value) {
  char buf[64];
  return QString::fromLatin1(buf, shortestSingleChars(value, buf));
}

bool writeChartFile(const QString& path, const QString& firstDate, const QString& lastDate,
                    const std::vector<ChartRunLine>& runs, QString* error) {
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly)) {
    if (error) *error = f.errorString();
    return false;
  }
  QByteArray out;
  out.reserve(1 << 16);
  out += firstDate.toLatin1() + ' ' + lastDate.toLatin1() + "\r\n";
  out += ' ' + QByteArray::number(qlonglong(runs.size())) + "\r\n";
  for (const ChartRunLine& r : runs) {
    out += r.date;
    out += ' ';
    out += r.hour;
    out += ' ';
    char num[64];
    out.append(num, shortestSingleChars(r.kbps, num));
    out += "\r\n";
    if (out.size() >= (1 << 16) - 64) {
      if (f.write(out) != out.size()) break;
      out.clear();
    }
  }
  if (!out.isEmpty()) f.write(out);
  // flush() before commit(): commit() does not notice when writing the last buffered piece
  // fails (a full disk) and would put a cut-off file in place of the old one.
  if (!f.flush()) {
    if (error) *error = f.errorString();
    f.cancelWriting();
    return false;
  }
  if (!f.commit()) {
    if (error) *error = f.errorString();
    return false;
  }
  if (error) error->clear();
  return true;
}

namespace {
// Pieces of a line split at blanks (runs of blanks count as one separator).
QList<QByteArrayView> pieces(QByteArrayView line) {
  QList<QByteArrayView> out;
  qsizetype i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const qsizetype start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) out.append(line.sliced(start, i - start));
  }
  return out;
}

// A whole number from text, clamped to what 64 bits hold; 0 for no number.
std::int64_t countValue(QByteArrayView text) {
  const double v = leadingNumber(QString::fromLatin1(text));
  if (!(v > 0)) return 0;
  if (v >= 9.0e18) return std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(std::llround(v));
}

// The number a text begins with ("30.5kbps" -> 30.5); false when it begins with none.
bool numberValue(QByteArrayView text, double* v) {
  qsizetype i = 0;
  if (i < text.size() && text[i] == '+') ++i;
  const qsizetype start = i;
  if (i < text.size() && text[i] == '-') ++i;
  if (i < text.size() && text[i] == '.') ++i;
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
  const auto r = std::from_chars(text.data() + start, text.data() + text.size(), *v);
  return r.ec == std::errc() && std::isfinite(*v);
}

// The third blank-separated piece of a line.
QByteArrayView thirdPiece(QByteArrayView line) {
  qsizetype i = 0;
  for (int piece = 0; piece < 3; ++piece) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const qsizetype start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i == start) return {};
    if (piece == 2) return line.sliced(start, i - start);
  }
  return {};
}
}  // namespace

ChartData readChartFile(const QString& path, std::int32_t cap) {
  ChartData d;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return d;
  d.opened = true;
  LineReader reader(f, 256);
  QByteArrayView line;
  if (!reader.next(&line)) return d;
  const auto head = pieces(line);
  if (head.size() > 0) d.firstDate = QString::fromLatin1(head[0]);
  if (head.size() > 1) d.lastDate = QString::fromLatin1(head[1]);
  if (!reader.next(&line)) return d;
  d.declaredCount = countValue(line);
  const std::int64_t want = std::min<std::int64_t>(d.declaredCount, cap);
  while (d.rows < want && reader.next(&line)) {
    ++d.rows;
    double v = 0.0;
    if (numberValue(thirdPiece(line), &v)) d.points.push_back({d.rows, v});
  }
  if (d.rows == cap && d.declaredCount > cap && reader.next(&line)) d.capped = true;
  return d;
}

QString chartRowLabel(std::int32_t row) {
  return QStringLiteral("x ") +
         (row < 0 ? QString::number(row) : QLatin1Char(' ') + QString::number(row));
}

QString chartTitle(const QString& firstDate, const QString& lastDate) {
  return QStringLiteral("Average Download Speed for Period ") + firstDate + QStringLiteral(" to ") +
         lastDate;
}

}  // namespace quorvel
