#include "stats/chart_file.h"

#include <QFile>
#include <QSaveFile>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "app/text_util.h"
#include "stats/line_reader.h"

namespace quorvel {

QString shortestSingle(float value) {
  if (!std::isfinite(value)) return QStringLiteral("0");
  char buf[64];
  int precision = 7;
  for (int p = 1; p <= 7; ++p) {
    std::snprintf(buf, sizeof buf, "%.*e", p - 1, double(value));
    if (std::strtof(buf, nullptr) == value) {
      precision = p;
      break;
    }
  }
  // Fixed notation with just the decimals those significant digits need.
  std::snprintf(buf, sizeof buf, "%.*e", precision - 1, double(value));
  const int exp10 = std::atoi(std::strchr(buf, 'e') + 1);
  const int decimals = std::max(0, precision - 1 - exp10);
  std::snprintf(buf, sizeof buf, "%.*f", decimals, std::strtod(buf, nullptr));
  QString s = QString::fromLatin1(buf);
  if (s.contains(QLatin1Char('.'))) {
    while (s.endsWith(QLatin1Char('0'))) s.chop(1);
    if (s.endsWith(QLatin1Char('.'))) s.chop(1);
  }
  if (s == QLatin1String("-0")) s = QStringLiteral("0");
  return s;
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
    out += shortestSingle(r.kbps).toLatin1();
    out += "\r\n";
    if (out.size() >= (1 << 16) - 64) {
      if (f.write(out) != out.size()) break;
      out.clear();
    }
  }
  if (!out.isEmpty()) f.write(out);
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

bool numberValue(QByteArrayView text, double* v) {
  qsizetype i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  if (i < text.size() && text[i] == '.') ++i;
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
  *v = leadingNumber(QString::fromLatin1(text));
  return std::isfinite(*v);
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
    const auto p = pieces(line);
    double v = 0.0;
    if (p.size() >= 3 && numberValue(p[2], &v)) d.points.push_back({d.rows, v});
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
