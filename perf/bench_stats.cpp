// Times a full statistics computation (the six passes of the table, chart file included; the
// quickest of five) over
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
#include <ctime>
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

// Wall time and processor time of the process (which a busy machine inflates less).
struct Seconds {
  double wall = 0, cpu = 0;
};
double cpuNow() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The log read and the table computed (the chart file written); with `history`, the
// percentiles of its rows and the weekday-by-hour cells of its Total row too.
Seconds compute(const QString& log, const QString& chart, bool history, int* total, float* p95) {
  QElapsedTimer t;
  t.start();
  const double cpu = cpuNow();
  const SummaryLog parsed = readSummaryLog(log);
  const StatisticsTable table = computeStatistics(parsed, {}, chart);
  *total = table.rows.back().count;
  if (history) {
    const auto percentiles = tablePercentiles(parsed, table);
    const WeekdayHours cells = weekdayHours(parsed, table.rows.back().runList);
    *p95 = percentiles.back().kbps.back() + float(cells[0].count) * 0.0f;
  }
  return {t.nsecsElapsed() / 1e9, cpuNow() - cpu};
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
    // Each the quickest of five, taken in turns, so that the two compare on a busy machine.
    int total = 0;
    float p95 = 0.0f;
    Seconds table{1e9, 1e9}, with{1e9, 1e9};
    for (int i = 0; i < 5; ++i) {
      const Seconds a = compute(log, chart, false, &total, &p95);
      const Seconds b = compute(log, chart, true, &total, &p95);
      table = {std::min(table.wall, a.wall), std::min(table.cpu, a.cpu)};
      with = {std::min(with.wall, b.wall), std::min(with.cpu, b.cpu)};
    }
    std::printf(
        "%8ld lines (%6.1f MB): full computation, six passes, read once: %7.3f s "
        "(%d runs counted, chart.dat %.1f MB; processor %.3f s)\n",
        n, QFile(log).size() / 1e6, table.wall, total, QFile(chart).size() / 1e6, table.cpu);
    std::printf(
        "%8ld lines: the same with percentiles and weekday by hour:       %7.3f s "
        "(processor %.3f s, %+.0f%%; Total p95 %.1f Kbps)\n",
        n, with.wall, with.cpu, 100.0 * (with.cpu - table.cpu) / table.cpu, double(p95));
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
