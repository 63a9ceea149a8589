// The fields of the result logs where they overflow, the totals boxes' texts, and the rotation
// of a log at its size. The lines of ordinary runs are checked whole by the run tests.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

#include "bench/log_lines.h"
#include "bench/result_logs.h"
#include "run_fakes.h"

namespace quorvel {
namespace {

using testing::kRunDate;

RunTotals totals(std::int64_t bytes, std::int64_t micros, std::int64_t urls = 1,
                 std::int64_t files = 1, std::int64_t errors = 0) {
  RunTotals t;
  t.bytes = bytes;
  t.micros = micros;
  t.validUrls = urls;
  t.files = files;
  t.errors = errors;
  return t;
}

class LogLines : public testing::RunFixture {};

TEST_F(LogLines, FieldsKeepTheirColumnsAndTheirRightmostDigits) {
  const QString k36(36, u' '), k25(25, u' ');
  const RunTotals big = totals(3'000'000'123LL, 3'000'000'000, 1200, 123456, 1005);
  const std::pair<QString, QString> lines[] = {
      {FileLogLines(kRunDate, "h/a.gif", 1234567, 123456000, 0).join('|'),
       kRunDate + " 234567 bytes 123.5 secs h/a.gif"},  // seconds rounded halves to even
      {FileLogLines(kRunDate, "h/x", 0, 0, 5).join('|'),
       kRunDate + "      0 bytes   0.0 secs ERROR on h/x|" + k36 + "Quorvel error 5"},
      {FileLogLines(kRunDate, "h/x", 0, 0, 12032).join('|'), k36 + "Error details not available."},
      {UrlLogLine(kRunDate, UrlTotals{1000, 12345678, 1499000, 0}, "h"),
       kRunDate + "1000 Files2345678 Bytes   1 Secs h"},
      {SummaryLine(kRunDate, big),
       kRunDate +
           " 8000.0 Kbps   2.5 PageAvg00000123 Bytes 3000 Secs1200 URLS23456 Files1005 Errs"},
      // A link of 100,000 Kbps or more: every digit of the throughput, the line grows.
      {SummaryLine(kRunDate, totals(125'000'000, 1'000'000)),
       kRunDate +
           "1000000.0 Kbps   1.0 PageAvg25000000 Bytes    1 Secs   1 URLS    1 Files   0 Errs"},
      // A fetch of well under a millisecond (a LAN, loopback) still has a throughput.
      {SummaryLine(kRunDate, totals(12063, 800, 3, 3)).mid(14, 14), "120630.0 Kbps "},
      {RunSummaryLines(kRunDate, big).join('|'),
       kRunDate + " Run Summary:|" + k25 + "Total URLs    =       1200|" + k25 +
           "Total Files   =    123,456|" + k25 + "Total Bytes   = 00,000,123|" + k25 +
           "Total Seconds =      3,000|" + k25 + "Total Errors  =      1,005|" + QString(51, '-') +
           "| "},
      {DebugTimedLine("11:08:15 PM", "x"), "11:08:15 PM   x"},
      {DebugTimedLine("12345678901234", "x"), "12345678901234" + QString(14, ' ') + "x"},
  };
  for (const auto& [line, want] : lines) EXPECT_EQ(line, want);
}

TEST_F(LogLines, TheSixTotalsBoxes) {
  const std::pair<TotalsText, const char*> cases[] = {
      {MakeTotalsText(0, 0, 0, 0), "|||||"},
      {MakeTotalsText(0, 0, 5, 0), "|||||"},  // bytes of a failed page alone count nothing
      {MakeTotalsText(0, 1, 0, 0), "0|1|0|0.0|0 Kbps|0 secs"},
      {MakeTotalsText(1, 0, 0, 0), "1|0|0|0.0|0 Kbps|0.0 secs"},
      {MakeTotalsText(5, 0, 2'500'000, 10'000'000), "5|0|2,500,000|10.0|2,000.0 Kbps|2.0 secs"},
      // Rates halve to even, the seconds box away from zero.
      {MakeTotalsText(1, 2, 1, 1'250'000), "1|2|1|1.3|0.0 Kbps|1.2 secs"},
      {MakeTotalsText(3, 0, 12063, 800), "3|0|12,063|0.0|120,630.0 Kbps|0.0 secs"},  // under 1 ms
      {MakeTotalsText(1, 0, 3'000'000'000LL, 1'000'000'000),
       "1|0|3,000,000,000|1,000.0|24,000.0 Kbps|1,000.0 secs"},
  };
  for (const auto& [t, want] : cases)
    EXPECT_EQ(QStringList({t.validUrls, t.totalErrors, t.totalBytes, t.totalSecs, t.throughput,
                           t.avgPageLoad})
                  .join('|'),
              want);
}

TEST_F(LogLines, ALogIsRotatedBeyondHalfAMillionBytes) {
  const QByteArray full(500000, 'a');
  writeFile("QuorvelLog.txt", full);
  writeFile("QVSum.log", full + "b");
  writeFile("QVSum.bak", "older copy");
  ResultLogs logs(dir_.path(), env_.now);
  EXPECT_TRUE(logs.open(false).isEmpty());
  logs.fileLine("h/x", 1, 1000000, 0);
  logs.runSummary(RunTotals{});
  logs.close();
  EXPECT_EQ(readFile("QuorvelLog.txt"),
            full + kRunDate.toLatin1() + "      1 bytes   1.0 secs h/x\r\n");
  EXPECT_FALSE(QFile::exists(path("QuorvelLog.bak")));
  EXPECT_EQ(readFile("QVSum.bak"), full + "b");  // copied, the old copy replaced
  EXPECT_EQ(readFile("QVSum.log"), SummaryLine(kRunDate, RunTotals{}).toLatin1() + "\r\n");
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files),
            QStringList({"QuorvelLog.txt", "QVSum.bak", "QVSum.log"}));  // no temporary left
}

}  // namespace
}  // namespace quorvel
