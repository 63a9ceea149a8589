// Fuzz target: the chart data file (chart.dat), read by the graph window.
//
// Input: either the bytes of a chart file, or runs to write and read back. Properties:
// - reading any file: the rows taken never exceed the declared count, the cap or the lines
//   there (ended by CR LF, LF or CR); points are rows 1..rows in order with finite values; no
//   allocation follows the declared count (libFuzzer's malloc limit);
// - points thinned for drawing are at most the limit, each one of the points read without a
//   limit, and include the lowest and the highest of them; below the limit nothing is thinned;
// - a written file reads back with its dates, its count, every run, and each throughput within
//   the seven significant digits it is written with (at most seven, no exponent).
#include <fuzzer/FuzzedDataProvider.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "fuzz_check.h"
#include "stats/chart_file.h"

namespace {

using namespace quorvel;

const QString& path() {
  static const QString p = fuzz::scratchFolder() + QStringLiteral("/chart.dat");
  return p;
}

// Whether a number read back is the one written, to seven significant digits.
bool sameToSevenDigits(double back, float v) {
  return std::fabs(back - double(v)) <= 5.000001e-7 * std::fabs(double(v)) || std::fabs(v) < 1e-37f;
}

void checkShortest(float v) {
  const QString s = shortestSingle(v);
  const QString d = QStringLiteral("%1 written as %2").arg(double(v), 0, 'g', 9).arg(s);
  QString digits = QString(s).remove(u'-').remove(u'.');
  while (digits.startsWith(u'0')) digits.remove(0, 1);
  while (digits.endsWith(u'0')) digits.chop(1);
  FUZZ_CHECK(!s.isEmpty() && !s.contains(u'e') && !s.contains(u'E') && digits.size() <= 7, d);
  FUZZ_CHECK(std::isfinite(v) ? sameToSevenDigits(std::strtod(s.toLatin1().constData(), nullptr), v)
                              : s == "0",
             d);
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
  const qsizetype lines =
      QByteArray(text).replace("\r\n", "\n").replace('\r', '\n').count('\n') + 1;
  FUZZ_CHECK(c.opened && c.declaredCount >= 0 && c.rows >= 0 && c.rows <= c.declaredCount, d);
  FUZZ_CHECK(c.rows <= std::max(cap, 0) && c.rows <= std::max<qsizetype>(0, lines - 2), d);
  FUZZ_CHECK(c.points.size() <= size_t(c.rows) && (!c.capped || c.rows == cap), d);
  std::int32_t previous = 0;
  for (const ChartPoint& p : c.points) {
    FUZZ_CHECK(p.row > previous && p.row <= c.rows && std::isfinite(p.value), d);
    previous = p.row;
  }

  const ChartData thin = readChartFile(path(), cap, maxPoints);
  const QString t =
      d + QStringLiteral(", thinned to %1 of at most %2").arg(thin.points.size()).arg(maxPoints);
  FUZZ_CHECK(thin.rows == c.rows, t);
  if (c.points.size() <= size_t(maxPoints)) {
    FUZZ_CHECK(!thin.thinned && thin.points.size() == c.points.size(), t);
    return;
  }
  FUZZ_CHECK(thin.thinned && thin.points.size() <= size_t(maxPoints), t);
  const auto byValue = [](const ChartPoint& a, const ChartPoint& b) { return a.value < b.value; };
  for (const ChartPoint& p : thin.points) {
    const auto at =
        std::lower_bound(c.points.begin(), c.points.end(), p,
                         [](const ChartPoint& a, const ChartPoint& b) { return a.row < b.row; });
    FUZZ_CHECK(at != c.points.end() && at->row == p.row && at->value == p.value, t);
  }
  FUZZ_CHECK(std::min_element(thin.points.begin(), thin.points.end(), byValue)->value ==
                     std::min_element(c.points.begin(), c.points.end(), byValue)->value &&
                 std::max_element(thin.points.begin(), thin.points.end(), byValue)->value ==
                     std::max_element(c.points.begin(), c.points.end(), byValue)->value,
             t + QStringLiteral(": the lowest or the highest is gone"));
}

void checkRoundTrip(FuzzedDataProvider& fdp) {
  const auto word = [&](int length) {
    QByteArray w;
    for (int i = 0; i < length; ++i) w += "0123456789-/.:abcXYZ"[fdp.ConsumeIntegralInRange(0, 19)];
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
  const QString d = QStringLiteral("%1 runs, read %2 rows and %3 points, dates %4 %5")
                        .arg(n)
                        .arg(c.rows)
                        .arg(c.points.size())
                        .arg(c.firstDate, c.lastDate);
  FUZZ_CHECK(c.firstDate == QString::fromLatin1(first) && c.lastDate == QString::fromLatin1(last),
             d);
  FUZZ_CHECK(c.declaredCount == n && c.rows == n && c.points.size() == size_t(n), d);
  for (int i = 0; i < n; ++i) {
    const float want = std::isfinite(runs[size_t(i)].kbps) ? runs[size_t(i)].kbps : 0.0f;
    FUZZ_CHECK(
        c.points[size_t(i)].row == i + 1 && sameToSevenDigits(c.points[size_t(i)].value, want),
        d + QStringLiteral(": run %1 wrote %2, read %3")
                .arg(i + 1)
                .arg(double(want), 0, 'g', 9)
                .arg(c.points[size_t(i)].value, 0, 'g', 17));
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
