// The statistics over the summary log: dates, parts of the day, which runs count, medians, and
// the reading of long logs. Any line or file of any bytes is fuzz_summary_log's; typed dates of
// any form, fuzz_url_list's.

#include "bench/log_lines.h"
#include "common/test_support.h"
#include "stats/log_date.h"
#include "stats/log_statistics.h"
#include "stats/summary_log.h"
#include "summary_log_writer.h"

namespace quorvel {
namespace {

using testing::summaryLine;

// Real days of the week of 30 Nov 2026.
const QDate kMonday(2026, 11, 30), kTuesday(2026, 12, 1), kThursday(2026, 12, 3),
    kFriday(2026, 12, 4), kSaturday(2026, 12, 5), kSunday(2026, 12, 6);

TEST(LogDate, LogDatesTypedDatesAndLimits) {
  // Two-digit years from 70 are the 1900s.
  EXPECT_EQ(parseLogDate("01-01-70"), QDate(1970, 1, 1));
  EXPECT_EQ(parseLogDate("12-31-69 23:59"), QDate(2069, 12, 31));
  EXPECT_EQ(parseLogDate("02-29-00"), QDate(2000, 2, 29));
  for (const char* bad : {"02-29-03", "13-01-03", "1-05-03 ", "01/05/03", "01-05-0", ""})
    EXPECT_FALSE(parseLogDate(bad).has_value()) << bad;
  for (const char* ok : {"1/5/2003", "01-05-03", "01.05.2003", " 01/05/2003 ", "2003-01-05"})
    EXPECT_EQ(parseUserDate(QString::fromLatin1(ok)), QDate(2003, 1, 5)) << ok;
  for (const char* bad : {"13/01/2003", "01/05/203", "01/05-2003", "5 Jan 2003", "1/2"})
    EXPECT_FALSE(parseUserDate(QString::fromLatin1(bad)).has_value()) << bad;
  QDate d;
  EXPECT_EQ(checkDateLimit("  ", kSunday, &d), DateLimitCheck::Empty);
  EXPECT_EQ(checkDateLimit("12/06/2026", kSunday, &d), DateLimitCheck::Valid);
  EXPECT_EQ(checkDateLimit("12-07-26", kSunday, &d), DateLimitCheck::Future);
  EXPECT_EQ(checkDateLimit("12/32/2026", kSunday, &d), DateLimitCheck::Invalid);
}

class StatisticsTest : public testing::AppFolderTest {
 protected:
  SummaryLog log(const QList<QByteArray>& lines) {
    writeFile("QVSum.log", lines.join("\r\n") + "\r\n");
    return readSummaryLog(path("QVSum.log"));
  }
  StatisticsResult pass(const QList<QByteArray>& lines, DayPart part = kAllDayParts,
                        DateLimits limits = {}) {
    return statisticsPass(log(lines), part, limits);
  }
};

TEST_F(StatisticsTest, PartsOfTheWeekAndDay) {
  const std::tuple<QDate, int, int, DayPart> cases[] = {
      {kFriday, 23, 30, kWeekend},
      {kFriday, 22, 59, kWeekdayEvening},
      {kFriday, 6, 0, kWeekdayLateNight},
      {kMonday, 3, 0, kWeekdayLateNight},
      {kTuesday, 6, 59, kWeekdayLateNight},
      {kTuesday, 7, 0, kWeekdayMorning},
      {kTuesday, 12, 59, kWeekdayMorning},
      {kTuesday, 13, 0, kWeekdayAfternoon},
      {kTuesday, 18, 59, kWeekdayAfternoon},
      {kTuesday, 19, 0, kWeekdayEvening},
      {kThursday, 23, 59, kWeekdayLateNight},
      {kSaturday, 10, 0, kWeekend},
      {kSunday, 0, 0, kWeekend},
  };
  QList<QByteArray> lines;
  for (const auto& [date, hour, minute, part] : cases) {
    lines << summaryLine(date, hour, minute, 100, 4);
    SummaryRun run;
    ASSERT_TRUE(parseSummaryLine(lines.last(), &run));
    EXPECT_EQ(run.dayPart, part) << date.toString().toStdString() << ' ' << hour;
  }
  // Each run lands in one of the five classes, and every one in Total.
  const SummaryLog all = log(lines);
  int sum = 0;
  for (int p = 1; p <= 5; ++p) sum += statisticsPass(all, DayPart(p), {}).count;
  EXPECT_EQ(sum, statisticsPass(all, kAllDayParts, {}).count);
}

TEST_F(StatisticsTest, WhichRunsCountMediansAndLimits) {
  // A page load of 60.0 s and a throughput of 1.0 Kbps still count (in single precision);
  // 60.1 s, 0.9 Kbps and nothing at all do not.
  const auto r = pass({summaryLine(kTuesday, 8, 0, 100, 60.0),
                       summaryLine(kTuesday, 8, 0, 100, 60.1), summaryLine(kTuesday, 8, 0, 0.9, 4),
                       summaryLine(kTuesday, 8, 0, 1.0, 4), summaryLine(kTuesday, 8, 0, 0.0, 0)});
  EXPECT_EQ(r.count, 2);
  EXPECT_FLOAT_EQ(r.avgKbps, 50.5f);
  EXPECT_FLOAT_EQ(r.avgPageLoad, 32.0f);

  // The median is one entry, (n + 1) / 2 rounded to even, never an average of two.
  for (const auto& [n, index] : {std::pair{0, 0}, {1, 1}, {2, 2}, {3, 2}, {4, 2}, {6, 4}, {10, 6}})
    EXPECT_EQ(medianIndex(n), index) << n;
  const auto median = [&](std::vector<double> kbps) {
    QList<QByteArray> lines;
    for (double k : kbps) lines << summaryLine(kTuesday, 9, 0, k, k / 10);
    const auto m = pass(lines);
    EXPECT_FLOAT_EQ(m.medPageLoad, m.medKbps / 10) << "page loads follow the same rule";
    return m.medKbps;
  };
  EXPECT_FLOAT_EQ(median({40, 10, 30, 20}), 20.0f);
  EXPECT_FLOAT_EQ(median({60, 50, 40, 30, 20, 10}), 40.0f);

  const SummaryLog four =
      log({summaryLine(kMonday, 8, 0, 10, 1), summaryLine(kTuesday, 8, 0, 20, 2),
           summaryLine(kTuesday, 20, 0, 30, 3), summaryLine(kThursday, 8, 0, 40, 4)});
  const auto none = statisticsPass(four, kWeekend, {});
  EXPECT_EQ(none.count + none.avgKbps + none.medKbps + none.avgPageLoad + none.medPageLoad, 0);
  const auto day = statisticsPass(four, kAllDayParts, {kTuesday, kTuesday});
  EXPECT_EQ(day.count, 2);
  EXPECT_FLOAT_EQ(day.avgKbps, 25.0f);
  EXPECT_EQ(statisticsPass(four, kAllDayParts, {kTuesday, std::nullopt}).count, 3);
  EXPECT_EQ(statisticsPass(four, kAllDayParts, {std::nullopt, kTuesday}).count, 3);
  EXPECT_EQ(statisticsPass(four, kAllDayParts, {kThursday, kMonday}).count, 0);
  // The period is that of the whole file, also when the limits leave its ends out.
  EXPECT_EQ(day.firstDate + " " + day.lastDate, "11-30-26 12-03-26");
}

TEST_F(StatisticsTest, ChartFileOfTheRunsThatCount) {
  const SummaryLog three = log({summaryLine(QDate(2003, 1, 5), 9, 15, 100, 4),
                                summaryLine(QDate(2003, 1, 20), 14, 0, 0.5, 3),
                                summaryLine(QDate(2003, 2, 10), 21, 5, 25.5, 2)});
  const StatisticsTable t = computeStatistics(three, {}, path("chart.dat"));
  EXPECT_TRUE(t.chartWritten) << t.chartError.toStdString();
  EXPECT_EQ(readFile("chart.dat"),
            "01-05-03 02-10-03\r\n 2\r\n01-05-03 09 100\r\n02-10-03 21 25.5\r\n");
  // A single pass writes it too, with its own runs.
  statisticsPassFile(path("QVSum.log"), kWeekdayEvening, {}, path("chart.dat"));
  EXPECT_EQ(readFile("chart.dat"), "01-05-03 02-10-03\r\n 1\r\n02-10-03 21 25.5\r\n");
}

// Files of several read blocks: lines across a block's end, a line of megabytes, and runs of a
// fast link, whose throughput field is wider, read back whole.
TEST_F(StatisticsTest, LongLogsAndWideFieldsReadBack) {
  QList<QByteArray> lines;
  for (int i = 0; i < 30000; ++i)
    lines << summaryLine(kMonday.addDays(-(30000 - i) / 24), i % 24, 0, 10 + i % 7, 2);
  lines.insert(15000, QByteArray(3 << 20, 'q'));
  RunTotals fast;
  fast.bytes = 1'543'209'876;
  fast.micros = 10'000'000;  // 1,234,567.9 Kbps
  fast.validUrls = 4;
  lines << SummaryLine("12-03-26 10:15", fast).toLatin1();
  ASSERT_TRUE(lines.last().startsWith("12-03-26 10:151234567.9 Kbps   2.5 PageAvg"));
  const SummaryLog read = log(lines);
  ASSERT_EQ(read.runs.size(), 30001u);
  for (size_t i = 0; i < 30000; ++i) {
    ASSERT_EQ(read.runs[i].hour, int(i % 24)) << i;
    ASSERT_EQ(read.runs[i].kbps, float(10 + i % 7)) << i;
  }
  EXPECT_FLOAT_EQ(read.runs.back().kbps, 1234567.9f);
  EXPECT_FLOAT_EQ(read.runs.back().pageAvg, 2.5f);
  EXPECT_EQ(read.lastDate, "12-03-26");
  // A fast run as the first line makes a log one, as does a line ended by LF alone; the first
  // line's words in other letters do not.
  for (const auto& [first, check] :
       {std::pair{lines.last() + "\r\n", SummaryLogCheck::Ok},
        {lines[0] + "\n" + lines[1], SummaryLogCheck::Ok},
        {QByteArray("12-01-26 08:00   50.0 KBPS   5.0 PageAvg\r\n"), SummaryLogCheck::WrongKind}}) {
    writeFile("x.log", first);
    EXPECT_EQ(checkSummaryLog(path("x.log")), check) << first.constData();
  }
}

}  // namespace
}  // namespace quorvel
