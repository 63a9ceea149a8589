#include "stats/chart_file.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/app_state.h"
#include "core/line_reader.h"
#include "core/text_util.h"
#include "stats/log_date.h"
#include "stats/log_statistics.h"

namespace quorvel {

QString chartFilePath() {
  return appState().filePath(QStringLiteral("chart.dat"));
}

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
  ReplacingFile f(path);
  const FileStatus opened = f.open();
  if (!opened.ok()) {
    if (error) *error = opened.reason();
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
      if (!f.write(out)) break;
      out.clear();
    }
  }
  if (!out.isEmpty()) f.write(out);
  const FileStatus committed = f.commit();
  if (!committed.ok()) {
    if (error) *error = committed.reason();
    return false;
  }
  if (error) error->clear();
  return true;
}

ChartThinner::ChartThinner(std::int32_t maxPoints) : maxPoints_(std::max(maxPoints, 2)) {}

void ChartThinner::include(Group& g, const ChartPoint& p) const {
  if (!g.used) {
    g = Group{true, p, p};
    return;
  }
  if (p.value < g.low.value) g.low = p;
  if (p.value > g.high.value) g.high = p;
}

void ChartThinner::place(const ChartPoint& p) {
  const std::int64_t most = maxPoints_ / 2;
  // Wider groups until the row falls into one of the allowed number: neighbours merge.
  while ((p.row - 1) / width_ >= most) {
    std::vector<Group> merged(groups_.size() / 2 + groups_.size() % 2);
    for (size_t i = 0; i < groups_.size(); ++i) {
      const Group& g = groups_[i];
      if (!g.used) continue;
      include(merged[i / 2], g.low);
      include(merged[i / 2], g.high);
    }
    groups_ = std::move(merged);
    width_ *= 2;
  }
  const auto index = size_t((p.row - 1) / width_);
  if (groups_.size() <= index) groups_.resize(index + 1);
  include(groups_[index], p);
}

void ChartThinner::add(const ChartPoint& p) {
  if (width_ == 0) {
    if (static_cast<std::int64_t>(exact_.size()) < maxPoints_) {
      exact_.push_back(p);
      return;
    }
    width_ = 1;
    groups_.reserve(size_t(maxPoints_ / 2 + 1));
    for (const ChartPoint& e : exact_) place(e);
    exact_.clear();
    exact_.shrink_to_fit();
  }
  place(p);
}

std::vector<ChartPoint> ChartThinner::points() const {
  if (width_ == 0) return exact_;
  std::vector<ChartPoint> out;
  out.reserve(groups_.size() * 2);
  for (const Group& g : groups_) {
    if (!g.used) continue;
    const bool lowFirst = g.low.row <= g.high.row;
    out.push_back(lowFirst ? g.low : g.high);
    if (g.low.row != g.high.row) out.push_back(lowFirst ? g.high : g.low);
  }
  return out;
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

// The first three blank-separated pieces of a line (empty ones where it has fewer).
std::array<QByteArrayView, 3> firstThreePieces(QByteArrayView line) {
  std::array<QByteArrayView, 3> out;
  qsizetype i = 0;
  for (QByteArrayView& piece : out) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const qsizetype start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i == start) break;
    piece = line.sliced(start, i - start);
  }
  return out;
}

// Consecutive runs mostly share their date: the last one read and its day number.
struct DateMemo {
  char text[8] = {};
  std::int64_t day = -1;  // -1: not a date
  bool filled = false;
};

std::int64_t lineHour(QByteArrayView date, QByteArrayView hour, DateMemo* memo) {
  if (date.size() != 8 || hour.size() != 2 || hour[0] < '0' || hour[0] > '2' || hour[1] < '0' ||
      hour[1] > '9')
    return kNoHour;
  const int h = (hour[0] - '0') * 10 + (hour[1] - '0');
  if (h > 23) return kNoHour;
  if (!memo->filled || std::memcmp(memo->text, date.data(), 8) != 0) {
    std::memcpy(memo->text, date.data(), 8);
    const std::optional<QDate> d = parseLogDate(date);
    memo->day = d ? d->toJulianDay() : -1;
    memo->filled = true;
  }
  return memo->day < 0 ? kNoHour : memo->day * 24 + h;
}
}  // namespace

std::int64_t chartLineHour(QByteArrayView date, QByteArrayView hour) {
  DateMemo memo;
  return lineHour(date, hour, &memo);
}

ChartData readChartFile(const QString& path, std::int32_t cap, std::int32_t maxPoints) {
  ChartData d;
  QFile f;
  d.status = openForReading(f, path);
  if (!d.status.ok()) return d;
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
  ChartThinner thinner(maxPoints);
  DateMemo memo;
  std::vector<float> values;  // for the median
  double sum = 0.0;
  while (d.rows < want && reader.next(&line)) {
    ++d.rows;
    const auto piece = firstThreePieces(line);
    double v = 0.0;
    if (!numberValue(piece[2], &v)) continue;
    thinner.add(ChartPoint{d.rows, v, lineHour(piece[0], piece[1], &memo)});
    ++d.valued;
    sum += v;
    if (d.valued <= kChartMedianCap) values.push_back(float(v));
  }
  d.points = thinner.points();
  d.thinned = thinner.thinned();
  if (d.valued > 0) d.mean = sum / double(d.valued);
  d.medianKnown = d.valued > 0 && d.valued <= kChartMedianCap;
  if (d.medianKnown) d.median = medianOf(values);
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
