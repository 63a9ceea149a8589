// Fuzz target: the chart data file (chart.dat), read by the graph window.
//
// Input: either the bytes of a chart file, or runs to write and read back. Properties:
// - reading any file: the rows taken never exceed the declared count, the cap or the lines
//   there (ended by CR LF, LF or CR); points are rows 1..rows in order with finite values; no
//   allocation follows the declared count (libFuzzer's malloc limit);
// - points thinned for drawing are at most the limit, each one of the points read without a
//   limit, and include the lowest and the highest of them; below the limit nothing is thinned;
// - a written file reads back with its dates, its count, every run, and each throughput
//   within the seven significant digits it is written with;
// - the shortest form of any single-precision number has at most seven significant digits,
//   no exponent, and reads back within half a unit of its last digit.
#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "stats/chart_file.h"

namespace {

using namespace quorvel;

int significantDigits(const QString& s) {
  const QString digits = QString(s).remove(u'-').remove(u'.');
  qsizetype first = 0, last = digits.size() - 1;
  while (first < digits.size() && digits[first] == u'0') ++first;
  while (last >= first && digits[last] == u'0') --last;
  return int(last - first + 1);
}

void checkShortest(float v) {
  const QString s = shortestSingle(v);
  const QString d = QStringLiteral("%1 written as %2").arg(double(v), 0, 'g', 9).arg(s);
  FUZZ_CHECK(!s.isEmpty() && !s.contains(u'e') && !s.contains(u'E'), d);
  FUZZ_CHECK(significantDigits(s) <= 7, d);
  if (!std::isfinite(v)) {
    FUZZ_CHECK(s == QStringLiteral("0"), d);
    return;
  }
  const double back = std::strtod(s.toLatin1().constData(), nullptr);
  // Seven significant digits: off by at most half a unit of the seventh.
  FUZZ_CHECK(std::fabs(back - double(v)) <= 5.000001e-7 * std::fabs(double(v)) || v == 0.0f ||
                 std::fabs(double(v)) < 1e-37,
             d);
}

QString path() {
  static const QString p = fuzz::scratchFolder() + QStringLiteral("/chart.dat");
  return p;
}

void checkThinned(const ChartData& all, std::int32_t cap, std::int32_t maxPoints) {
  const ChartData thin = readChartFile(path(), cap, maxPoints);
  const QString d = QStringLiteral("%1 points, %2 thinned to at most %3")
                        .arg(all.points.size())
                        .arg(thin.points.size())
                        .arg(maxPoints);
  FUZZ_CHECK(thin.rows == all.rows, d);
  if (all.points.size() <= size_t(maxPoints)) {
    FUZZ_CHECK(!thin.thinned && thin.points.size() == all.points.size(), d);
    return;
  }
  FUZZ_CHECK(thin.thinned && thin.points.size() <= size_t(maxPoints), d);
  auto byRow = [](const ChartPoint& a, const ChartPoint& b) { return a.row < b.row; };
  double low = all.points.front().value, high = low, thinLow = thin.points.front().value,
         thinHigh = thinLow;
  for (const ChartPoint& p : all.points)
    low = std::min(low, p.value), high = std::max(high, p.value);
  for (const ChartPoint& p : thin.points) {
    const auto at = std::lower_bound(all.points.begin(), all.points.end(), p, byRow);
    FUZZ_CHECK(at != all.points.end() && at->row == p.row && at->value == p.value, d);
    thinLow = std::min(thinLow, p.value);
    thinHigh = std::max(thinHigh, p.value);
  }
  FUZZ_CHECK(thinLow == low && thinHigh == high, d);
}

void checkAnyFile(const QByteArray& text, std::int32_t cap, std::int32_t maxPoints) {
  {
    QFile f(path());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size()) return;
  }
  const ChartData c = readChartFile(path(), cap, std::numeric_limits<std::int32_t>::max());
  const QString d = QStringLiteral("count %1, rows %2, points %3, cap %4")
                        .arg(c.declaredCount)
                        .arg(c.rows)
                        .arg(c.points.size())
                        .arg(cap);
  FUZZ_CHECK(c.opened, d);
  FUZZ_CHECK(c.declaredCount >= 0 && c.rows >= 0, d);
  FUZZ_CHECK(c.rows <= c.declaredCount && c.rows <= std::max(cap, 0), d);
  const qsizetype lines = QByteArray(text).replace("\r\n", "\n").count('\n') + text.count('\r') -
                          text.count("\r\n") + 1;
  FUZZ_CHECK(c.rows <= std::max<qsizetype>(0, lines - 2), d);
  FUZZ_CHECK(c.points.size() <= size_t(c.rows), d);
  FUZZ_CHECK(!c.capped || c.rows == cap, d);
  std::int32_t previous = 0;
  for (const ChartPoint& p : c.points) {
    FUZZ_CHECK(p.row > previous && p.row <= c.rows && std::isfinite(p.value), d);
    previous = p.row;
  }
  checkThinned(c, cap, maxPoints);
}

void checkRoundTrip(FuzzedDataProvider& fdp) {
  static const char kDateChars[] = "0123456789-/.:abcXYZ";
  auto word = [&](int length) {
    QByteArray w;
    for (int i = 0; i < length; ++i)
      w += kDateChars[fdp.ConsumeIntegralInRange<size_t>(0, sizeof kDateChars - 2)];
    return w;
  };
  const QByteArray first = word(8), last = word(8);
  const int n = fdp.ConsumeIntegralInRange(0, 40);
  std::vector<QByteArray> texts;  // owns the dates and hours the lines point into
  texts.reserve(size_t(n) * 2);
  std::vector<ChartRunLine> runs;
  for (int i = 0; i < n; ++i) {
    texts.push_back(word(8));
    texts.push_back(word(2));
    float kbps;
    const std::uint32_t bits = fdp.ConsumeIntegral<std::uint32_t>();
    std::memcpy(&kbps, &bits, sizeof kbps);
    checkShortest(kbps);
    runs.push_back({texts[texts.size() - 2], texts.back(), kbps});
  }
  QString error;
  FUZZ_CHECK(
      writeChartFile(path(), QString::fromLatin1(first), QString::fromLatin1(last), runs, &error),
      error);
  const ChartData c = readChartFile(path());
  const QString d =
      QStringLiteral("%1 runs, read %2 rows and %3 points").arg(n).arg(c.rows).arg(c.points.size());
  FUZZ_CHECK(c.firstDate == QString::fromLatin1(first) && c.lastDate == QString::fromLatin1(last),
             d + QStringLiteral(": dates ") + c.firstDate + QStringLiteral(" ") + c.lastDate);
  FUZZ_CHECK(c.declaredCount == n && c.rows == n && c.points.size() == size_t(n), d);
  for (int i = 0; i < n; ++i) {
    const float want = std::isfinite(runs[size_t(i)].kbps) ? runs[size_t(i)].kbps : 0.0f;
    const double got = c.points[size_t(i)].value;
    FUZZ_CHECK(c.points[size_t(i)].row == i + 1, d);
    FUZZ_CHECK(std::fabs(got - double(want)) <= 5.000001e-7 * std::fabs(double(want)) ||
                   std::fabs(double(want)) < 1e-37,
               d + QStringLiteral(": run %1 wrote %2, read %3")
                       .arg(i + 1)
                       .arg(double(want), 0, 'g', 9)
                       .arg(got, 0, 'g', 17));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  if (fdp.ConsumeBool()) {
    checkRoundTrip(fdp);
    return 0;
  }
  const std::int32_t cap =
      fdp.ConsumeBool() ? fdp.ConsumeIntegralInRange<std::int32_t>(0, 16) : kChartRunCap;
  const std::int32_t maxPoints = fdp.ConsumeIntegralInRange<std::int32_t>(2, 12);
  const std::string text = fdp.ConsumeRemainingBytesAsString();
  checkAnyFile(QByteArray(text.data(), qsizetype(text.size())), cap, maxPoints);
  return 0;
}
