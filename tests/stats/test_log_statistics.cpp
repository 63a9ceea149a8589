#include <QFile>
#include <algorithm>
#include <cmath>
#include <random>

#include "bench/log_lines.h"
#include "bench/run_totals.h"
#include "common/test_support.h"
#include "stats/chart_file.h"
#include "stats/log_statistics.h"
#include "stats/summary_log.h"
#include "summary_log_writer.h"

namespace quorvel {
namespace {

using testing::summaryLine;

// Real calendar days of the week of 30 Nov 2026.
const QDate kMonday(2026, 11, 30);
const QDate kTuesday(2026, 12, 1);
const QDate kThursday(2026, 12, 3);
const QDate kFriday(2026, 12, 4);
const QDate kSaturday(2026, 12, 5);
const QDate kSunday(2026, 12, 6);

class StatisticsTest : public testing::AppFolderTest {
 protected:
  QString writeLog(const QList<QByteArray>& lines) {
    QByteArray data;
    for (const QByteArray& l : lines) data += l + "\r\n";
    writeFile(QStringLiteral("QVSum.log"), data);
    return path(QStringLiteral("QVSum.log"));
  }
  StatisticsResult pass(const QList<QByteArray>& lines, DayPart part = kAllDayParts,
                        DateLimits limits = {}) {
    return statisticsPass(readSummaryLog(writeLog(lines)), part, limits);
  }
};

TEST_F(StatisticsTest, ClassifiesByPartOfWeekAndDay) {
  ASSERT_EQ(kMonday.dayOfWeek(), 1);
  ASSERT_EQ(kFriday.dayOfWeek(), 5);
  ASSERT_EQ(kSunday.dayOfWeek(), 7);
  struct Case {
    QDate date;
    int hour, minute;
    DayPart part;
  } cases[] = {
      {kFriday, 23, 30, kWeekend},           {kFriday, 22, 59, kWeekdayEvening},
      {kFriday, 6, 0, kWeekdayLateNight},    {kMonday, 3, 0, kWeekdayLateNight},
      {kTuesday, 7, 0, kWeekdayMorning},     {kTuesday, 6, 59, kWeekdayLateNight},
      {kTuesday, 12, 59, kWeekdayMorning},   {kTuesday, 13, 0, kWeekdayAfternoon},
      {kTuesday, 18, 59, kWeekdayAfternoon}, {kTuesday, 19, 0, kWeekdayEvening},
      {kTuesday, 23, 0, kWeekdayLateNight},  {kThursday, 23, 59, kWeekdayLateNight},
      {kSaturday, 10, 0, kWeekend},          {kSunday, 0, 0, kWeekend},
  };
  for (const Case& c : cases) {
    SummaryRun run;
    ASSERT_TRUE(parseSummaryLine(summaryLine(c.date, c.hour, c.minute, 100, 4), &run));
    EXPECT_EQ(run.dayPart, c.part) << c.date.toString().toStdString() << ' ' << c.hour;
  }
  // Each run lands in exactly one of the five classes, and all of them in Total.
  QList<QByteArray> lines;
  for (const Case& c : cases) lines << summaryLine(c.date, c.hour, c.minute, 100, 4);
  const SummaryLog log = readSummaryLog(writeLog(lines));
  int sum = 0;
  for (int p = 1; p <= 5; ++p) sum += statisticsPass(log, DayPart(p), {}).count;
  EXPECT_EQ(sum, statisticsPass(log, kAllDayParts, {}).count);
  EXPECT_EQ(statisticsPass(log, kWeekend, {}).count, 3);
}

TEST_F(StatisticsTest, CandidateLimitsInSinglePrecision) {
  const auto r = pass({summaryLine(kTuesday, 8, 0, 100, 60.0),
                       summaryLine(kTuesday, 8, 0, 100, 60.1), summaryLine(kTuesday, 8, 0, 0.9, 4),
                       summaryLine(kTuesday, 8, 0, 1.0, 4), summaryLine(kTuesday, 8, 0, 0.0, 0)});
  EXPECT_EQ(r.count, 2);  // 60.0 and 1.0 count; 60.1, 0.9 and 0 do not
  EXPECT_FLOAT_EQ(r.avgKbps, 50.5f);
  EXPECT_FLOAT_EQ(r.avgPageLoad, 32.0f);
}

TEST_F(StatisticsTest, MediansTakeOneEntryAndNeverAverage) {
  EXPECT_EQ(medianIndex(0), 0);
  EXPECT_EQ(medianIndex(1), 1);
  EXPECT_EQ(medianIndex(2), 2);
  EXPECT_EQ(medianIndex(3), 2);
  EXPECT_EQ(medianIndex(4), 2);
  EXPECT_EQ(medianIndex(6), 4);
  EXPECT_EQ(medianIndex(8), 4);
  EXPECT_EQ(medianIndex(10), 6);
  auto median = [&](std::vector<double> kbps) {
    QList<QByteArray> lines;
    for (double k : kbps) lines << summaryLine(kTuesday, 9, 0, k, k / 10);
    const auto r = pass(lines);
    EXPECT_FLOAT_EQ(r.medPageLoad, r.medKbps / 10) << "page loads follow the same rule";
    return r.medKbps;
  };
  EXPECT_FLOAT_EQ(median({40, 10, 30, 20}), 20.0f);
  EXPECT_FLOAT_EQ(median({60, 50, 40, 30, 20, 10}), 40.0f);
  EXPECT_FLOAT_EQ(median({20, 10}), 20.0f);
  EXPECT_FLOAT_EQ(median({30, 10, 20}), 20.0f);
}

// The exchange sort and rounding as the statistics were first defined, to compare with.
float referenceMedian(std::vector<float> v) {
  const int count = int(v.size());
  std::vector<float> slot(size_t(count) + 1, 0.0f);
  for (int i = 0; i < count; ++i) slot[size_t(i) + 1] = v[size_t(i)];
  for (int i = 1; i <= count; ++i)
    for (int j = i + 1; j <= count; ++j)
      if (slot[size_t(i)] > slot[size_t(j)]) std::swap(slot[size_t(i)], slot[size_t(j)]);
  const int idx = int(std::nearbyint((count + 1) / 2.0));  // round half to even
  return slot[size_t(idx)];
}

TEST_F(StatisticsTest, MedianMatchesTheExchangeSortOnRandomData) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> tenths(0, 2000);
  for (int n : {0, 1, 2, 3, 5, 8, 13, 64, 101, 250}) {
    std::vector<float> v;
    for (int i = 0; i < n; ++i) v.push_back(float(tenths(rng) / 10.0));
    std::vector<float> copy = v;
    EXPECT_EQ(medianOf(copy), referenceMedian(v)) << n;
  }
}

TEST_F(StatisticsTest, EmptyClassAndDateLimits) {
  const QList<QByteArray> lines{
      summaryLine(kMonday, 8, 0, 10, 1), summaryLine(kTuesday, 8, 0, 20, 2),
      summaryLine(kTuesday, 20, 0, 30, 3), summaryLine(kThursday, 8, 0, 40, 4)};
  const SummaryLog log = readSummaryLog(writeLog(lines));
  const auto none = statisticsPass(log, kWeekend, {});
  EXPECT_EQ(none.count, 0);
  EXPECT_EQ(none.avgKbps, 0.0f);
  EXPECT_EQ(none.medKbps, 0.0f);
  EXPECT_EQ(none.avgPageLoad, 0.0f);
  EXPECT_EQ(none.medPageLoad, 0.0f);

  const auto day = statisticsPass(log, kAllDayParts, {kTuesday, kTuesday});
  EXPECT_EQ(day.count, 2);
  EXPECT_FLOAT_EQ(day.avgKbps, 25.0f);
  EXPECT_EQ(statisticsPass(log, kAllDayParts, {kTuesday, std::nullopt}).count, 3);
  EXPECT_EQ(statisticsPass(log, kAllDayParts, {std::nullopt, kTuesday}).count, 3);
  EXPECT_EQ(statisticsPass(log, kAllDayParts, {kThursday, kMonday}).count, 0);  // reversed
  // The period is that of the whole file even when the limits leave its ends out.
  EXPECT_EQ(day.firstDate, QStringLiteral("11-30-26"));
  EXPECT_EQ(day.lastDate, QStringLiteral("12-03-26"));
}

TEST_F(StatisticsTest, ChartFileOfThreeRuns) {
  const QString log = writeLog({summaryLine(QDate(2003, 1, 5), 9, 15, 100, 4),
                                summaryLine(QDate(2003, 1, 20), 14, 0, 0.5, 3),
                                summaryLine(QDate(2003, 2, 10), 21, 5, 25.5, 2)});
  const StatisticsTable t =
      computeStatistics(readSummaryLog(log), {}, path(QStringLiteral("chart.dat")));
  EXPECT_TRUE(t.chartWritten) << t.chartError.toStdString();
  EXPECT_EQ(t.rows.back().count, 2);
  EXPECT_EQ(readFile(QStringLiteral("chart.dat")),
            QByteArray("01-05-03 02-10-03\r\n 2\r\n01-05-03 09 100\r\n02-10-03 21 25.5\r\n"));
  // A single pass writes the file too, with its own runs.
  statisticsPassFile(log, kWeekdayEvening, {}, path(QStringLiteral("chart.dat")));
  EXPECT_EQ(readFile(QStringLiteral("chart.dat")),
            QByteArray("01-05-03 02-10-03\r\n 1\r\n02-10-03 21 25.5\r\n"));
}

TEST_F(StatisticsTest, MalformedLinesNeverStopNorCount) {
  QByteArray junk;
  std::mt19937 rng(3);
  for (int i = 0; i < 20000; ++i) junk += char(rng() & 0xff);
  junk.replace('\n', 'x');
  const QByteArray good = summaryLine(kTuesday, 8, 0, 50, 5);
  QByteArray shortLine = good.left(25);
  QByteArray badHour = good;
  badHour[9] = '2';
  badHour[10] = '7';
  QByteArray badDate = good;
  badDate.replace(0, 8, "02-30-26");
  QByteArray letters = good;
  letters.replace(0, 8, "ab-cd-ef");
  const QString p =
      writeLog({good, "", junk, shortLine, badHour, QByteArray(3, '\0'), badDate, letters, "   ",
                QByteArray(100000, 'z'), summaryLine(kThursday, 20, 0, 150, 1), "\x1a\x1a"});
  const SummaryLog log = readSummaryLog(p);
  ASSERT_EQ(log.runs.size(), 2u);
  EXPECT_EQ(log.firstDate, QStringLiteral("12-01-26"));
  EXPECT_EQ(log.lastDate, QStringLiteral("12-03-26"));
  EXPECT_EQ(statisticsPass(log, kAllDayParts, {kMonday, kSunday}).count, 2);
  EXPECT_EQ(statisticsPass(log, kWeekdayMorning, {}).count, 1);

  // A file that is binary from the first byte, empty, or missing.
  writeFile(QStringLiteral("bin.log"), junk);
  EXPECT_EQ(checkSummaryLog(path(QStringLiteral("bin.log"))), SummaryLogCheck::WrongKind);
  EXPECT_EQ(readSummaryLog(path(QStringLiteral("bin.log"))).runs.size(), 0u);
  writeFile(QStringLiteral("empty.log"), {});
  EXPECT_EQ(checkSummaryLog(path(QStringLiteral("empty.log"))), SummaryLogCheck::WrongKind);
  EXPECT_EQ(checkSummaryLog(path(QStringLiteral("none.log"))), SummaryLogCheck::Missing);
  EXPECT_EQ(checkSummaryLog(dir_.path()), SummaryLogCheck::Missing);
  EXPECT_EQ(checkSummaryLog(p), SummaryLogCheck::Ok);
  // The first-line test only: dashes and the two words in place.
  writeFile(QStringLiteral("other.log"), "12-01-26 08:00   50.0 KBPS   5.0 PageAvg\r\n");
  EXPECT_EQ(checkSummaryLog(path(QStringLiteral("other.log"))), SummaryLogCheck::WrongKind);
  writeFile(QStringLiteral("lf.log"), good + "\n" + good);  // LF only, no last line end
  EXPECT_EQ(checkSummaryLog(path(QStringLiteral("lf.log"))), SummaryLogCheck::Ok);
  EXPECT_EQ(readSummaryLog(path(QStringLiteral("lf.log"))).runs.size(), 2u);
  EXPECT_FALSE(log.truncated);

  // Memory stays bounded: beyond the cap the rest of the file is left unread, and said so.
  const SummaryLog capped = readSummaryLog(p, 1);
  EXPECT_EQ(capped.runs.size(), 1u);
  EXPECT_TRUE(capped.truncated);
  EXPECT_EQ(capped.lastDate, QStringLiteral("12-01-26"));
}

TEST_F(StatisticsTest, LinesAcrossReadBlocks) {
  // Files of several read blocks: lines that straddle a block, and a line of megabytes.
  QList<QByteArray> lines;
  for (int i = 0; i < 30000; ++i)
    lines << summaryLine(kMonday.addDays(-(30000 - i) / 24), i % 24, 0, 10 + i % 7, 2);
  lines.insert(15000, QByteArray(3 << 20, 'q'));
  const SummaryLog log = readSummaryLog(writeLog(lines));
  ASSERT_EQ(log.runs.size(), 30000u);
  EXPECT_EQ(log.lastDate, QStringLiteral("11-30-26"));
  for (size_t i = 0; i < log.runs.size(); ++i) {
    ASSERT_EQ(log.runs[i].hour, int(i % 24)) << i;
    ASSERT_EQ(log.runs[i].kbps, float(10 + i % 7)) << i;
  }
}

TEST(FieldValue, ReadsLikeTheLeadingNumber) {
  EXPECT_FLOAT_EQ(fieldValue("  100.0"), 100.0f);
  EXPECT_FLOAT_EQ(fieldValue("   .5 x"), 0.5f);
  EXPECT_FLOAT_EQ(fieldValue("  12."), 12.0f);
  EXPECT_FLOAT_EQ(fieldValue("1.2.3"), 1.2f);
  EXPECT_EQ(fieldValue("  abc"), 0.0f);
  EXPECT_EQ(fieldValue("  -5.0"), 0.0f);
  EXPECT_EQ(fieldValue(""), 0.0f);
  EXPECT_EQ(fieldValue("  ."), 0.0f);
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// A fast link logs its throughput with every digit; the statistics read it back whole, and the
// page load time after it too, also when such a line is the first of the log.
TEST_F(StatisticsTest, ThroughputOfFastLinksReadsBackWhole) {
  RunTotals fast;
  fast.bytes = 1'543'209'876;
  fast.micros = 10'000'000;  // 1,234,567.9 Kbps
  fast.validUrls = 4;
  fast.files = 9;
  RunTotals slow;
  slow.bytes = 50'000;
  slow.micros = 4'000'000;  // 100.0 Kbps
  slow.validUrls = 1;
  slow.files = 1;
  const QByteArray fastLine = SummaryLine(QStringLiteral("12-03-26 10:15"), fast).toLatin1();
  const QByteArray slowLine = SummaryLine(QStringLiteral("12-03-26 11:15"), slow).toLatin1();
  ASSERT_TRUE(fastLine.startsWith("12-03-26 10:151234567.9 Kbps   2.5 PageAvg")) << fastLine.data();
  ASSERT_EQ(slowLine.size(), 93);

  EXPECT_TRUE(isSummaryLogFirstLine(fastLine));
  const StatisticsResult r = pass({fastLine, slowLine});
  ASSERT_EQ(r.count, 2);
  EXPECT_FLOAT_EQ(r.avgKbps, (1234567.9f + 100.0f) / 2);
  EXPECT_FLOAT_EQ(r.avgPageLoad, (2.5f + 4.0f) / 2);
  const SummaryLog log = readSummaryLog(path(QStringLiteral("QVSum.log")));
  ASSERT_EQ(log.runs.size(), 2u);
  EXPECT_FLOAT_EQ(log.runs[0].kbps, 1234567.9f);
  EXPECT_FLOAT_EQ(log.runs[1].kbps, 100.0f);

  // A line of junk that merely contains " Kbps" further on is not taken for a wide field.
  SummaryRun run;
  ASSERT_TRUE(parseSummaryLine("12-03-26 10:15  abc.0 Kbps   2.5 PageAvg      0 Bytes", &run));
  EXPECT_EQ(run.kbps, 0.0f);
}

}  // namespace
}  // namespace quorvel
