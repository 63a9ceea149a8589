// Times a full statistics computation (the six passes of the table, chart file included; the
// quickest of three) over
// a generated summary log of one million lines, and over one of a tenth of that; then the same
// with what the window and `stats --json` add to it, the percentiles of the six rows and the
// runs by weekday and hour.
//
//   bench_stats [lines]     (default 1000000)

#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "stats/chart_file.h"
#include "stats/log_statistics.h"
#include "stats/percentiles.h"
#include "stats/summary_log.h"
#include "stats/weekday_hours.h"

using namespace quorvel;

namespace {

// A summary log as the benchmark run writes it: one run an hour or so, over the years.
bool writeLog(const QString& path, long lines) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  std::mt19937 rng(42);
  QDate day(1998, 1, 1);
  int hour = 0;
  QByteArray buf;
  char line[128];
  for (long i = 0; i < lines; ++i) {
    const double kbps = (rng() % 20000) / 10.0;  // 0.0 .. 1999.9, a few below 1.0
    const double page = (rng() % 700) / 10.0;    // 0.0 .. 69.9, a few above 60.0
    std::snprintf(line, sizeof line,
                  "%02d-%02d-%02d %02d:%02d%7.1f Kbps%6.1f PageAvg   50000 Bytes    4 Secs   "
                  "1 URLS    3 Files   0 Errs\r\n",
                  day.month(), day.day(), day.year() % 100, hour, int(rng() % 60), kbps, page);
    buf += line;
    if (++hour == 24) {
      hour = 0;
      day = day.addDays(1);
    }
    if (buf.size() > (1 << 20)) {
      f.write(buf);
      buf.clear();
    }
  }
  f.write(buf);
  return f.error() == QFile::NoError;
}

double computeSeconds(const QString& log, const QString& chart, int* total) {
  QElapsedTimer t;
  t.start();
  const SummaryLog parsed = readSummaryLog(log);
  const StatisticsTable table = computeStatistics(parsed, {}, chart);
  *total = table.rows.back().count;
  return t.nsecsElapsed() / 1e9;
}

// The same, with the percentiles and the weekday-by-hour cells of the Total row's runs.
double computeWithHistorySeconds(const QString& log, const QString& chart, float* p95) {
  QElapsedTimer t;
  t.start();
  const SummaryLog parsed = readSummaryLog(log);
  const StatisticsTable table = computeStatistics(parsed, {}, chart);
  const auto percentiles = tablePercentiles(parsed, table);
  const WeekdayHours cells = weekdayHours(parsed, table.rows.back().runList);
  *p95 = percentiles.back().kbps.back() + float(cells[0].count) * 0.0f;
  return t.nsecsElapsed() / 1e9;
}

double sixFileReadsSeconds(const QString& log, const QString& chart) {
  QElapsedTimer t;
  t.start();
  for (const DayPartRow& row : kDayPartRows) statisticsPassFile(log, row.part, {}, chart);
  return t.nsecsElapsed() / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  const long lines = argc > 1 ? std::atol(argv[1]) : 1'000'000;
  QTemporaryDir dir;
  if (!dir.isValid()) return 1;
  const QString chart = dir.filePath(QStringLiteral("chart.dat"));
  for (long n : {lines, lines / 10}) {
    const QString log = dir.filePath(QStringLiteral("QVSum-%1.log").arg(n));
    if (!writeLog(log, n)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(log));
      return 1;
    }
    // Each computation the quickest of three, so that the two compare on a busy machine.
    int total = 0;
    double s = computeSeconds(log, chart, &total);
    for (int i = 0; i < 2; ++i) s = std::min(s, computeSeconds(log, chart, &total));
    std::printf(
        "%8ld lines (%6.1f MB): full computation, six passes, read once: %7.3f s "
        "(%d runs counted, chart.dat %.1f MB)\n",
        n, QFile(log).size() / 1e6, s, total, QFile(chart).size() / 1e6);
    float p95 = 0.0f;
    double h = computeWithHistorySeconds(log, chart, &p95);
    for (int i = 0; i < 2; ++i) h = std::min(h, computeWithHistorySeconds(log, chart, &p95));
    std::printf(
        "%8ld lines: the same with percentiles and weekday by hour:       %7.3f s "
        "(%+.0f%%; Total p95 %.1f Kbps)\n",
        n, h, 100.0 * (h - s) / s, double(p95));
    QElapsedTimer t;
    t.start();
    const ChartData data = readChartFile(chart);
    std::printf(
        "%8ld lines: graph reading chart.dat back (%d runs):            %7.3f s "
        "(mean %.1f, median %.1f Kbps)\n",
        n, data.rows, t.nsecsElapsed() / 1e9, data.mean, double(data.median));
    std::printf("%8ld lines: six passes reading the file each time:            %7.3f s\n", n,
                sixFileReadsSeconds(log, chart));
    std::fflush(stdout);
  }
  return 0;
}
