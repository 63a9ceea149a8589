// The result log lines, the totals texts and the opening (and rotation) of the logs.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

#include "app/number_format.h"
#include "bench/log_lines.h"
#include "bench/result_logs.h"
#include "bench/totals_text.h"
#include "common/test_support.h"
#include "qt_print.h"

namespace quorvel {
namespace {

const QString kDate = QStringLiteral("03-04-26 07:05");
const QString k36 = QString(36, QLatin1Char(' '));
const QString k25 = QString(25, QLatin1Char(' '));

class CommaSeparator : public ::testing::Test {
 protected:
  void SetUp() override { setGroupSeparatorForTesting(QLatin1Char(',')); }
  void TearDown() override { setGroupSeparatorForTesting(QChar()); }
};

using LogLines = CommaSeparator;
using Totals = CommaSeparator;

TEST_F(LogLines, DateAndExtension) {
  EXPECT_EQ(ReportDate(QDateTime(QDate(2026, 3, 4), QTime(7, 5, 59))), kDate);
  EXPECT_EQ(ReportDate(QDateTime(QDate(1999, 12, 31), QTime(23, 0))),
            QStringLiteral("12-31-99 23:00"));
  EXPECT_EQ(ReplaceExtension("QVSum.log", "bak"), QStringLiteral("QVSum.bak"));
  EXPECT_EQ(ReplaceExtension("a.b.txt", "bak"), QStringLiteral("a.b.bak"));
  EXPECT_EQ(ReplaceExtension("name", "bak"), QStringLiteral("name.bak"));
}

TEST_F(LogLines, FileLines) {
  // The bytes field keeps its rightmost six characters; seconds are rounded halves to even.
  EXPECT_EQ(FileLogLines(kDate, "h/a.gif", 1234567, 1250000, 0),
            QStringList{kDate + " 234567 bytes   1.2 secs h/a.gif"});
  EXPECT_EQ(FileLogLines(kDate, "h/a.gif", 0, 1350000, 0),
            QStringList{kDate + "      0 bytes   1.4 secs h/a.gif"});
  EXPECT_EQ(FileLogLines(kDate, "http://h/", 512, 123456000, 0),
            QStringList{kDate + "    512 bytes 123.5 secs http://h/"});
  EXPECT_EQ(FileLogLines(kDate, "http://h/x", 30, 40000, 991),
            (QStringList{kDate + "     30 bytes   0.0 secs ERROR on http://h/x",
                         k36 + "Link not found on server"}));
  EXPECT_EQ(
      FileLogLines(kDate, "h/x", 0, 0, 5),
      (QStringList{kDate + "      0 bytes   0.0 secs ERROR on h/x", k36 + "Quorvel error 5"}));
  EXPECT_EQ(FileLogLines(kDate, "h/x", 0, 0, 12007),
            QStringList{k36 + "The server name could not be resolved."});
  EXPECT_EQ(FileLogLines(kDate, "h/x", 0, 0, 12032),
            QStringList{k36 + "Error details not available."});
}

TEST_F(LogLines, UrlBlocks) {
  UrlTotals t{3, 1234567, 2500000, 1};
  EXPECT_EQ(UrlLogLine(kDate, t, "host"), kDate + "   3 Files1234567 Bytes   3 Secs host");
  EXPECT_EQ(UrlLogLine(kDate, UrlTotals{1000, 12345678, 1499000, 0}, "h"),
            kDate + "1000 Files2345678 Bytes   1 Secs h");
  EXPECT_EQ(UrlSummaryLines(kDate, "host", t, false),
            (QStringList{" ", kDate + " URL Summary for host:", k25 + "Total Files   =          3",
                         k25 + "Total Bytes   =  1,234,567", k25 + "Total Seconds =          3",
                         k25 + "Total Errors  =          1", " "}));
  EXPECT_EQ(UrlSummaryLines(kDate, "http://h/f.htm", UrlTotals{}, true)[1],
            kDate + " Frame Summary for http://h/f.htm:");
}

TEST_F(LogLines, SummaryLine) {
  RunTotals t;
  t.bytes = 50000;
  t.micros = 4'000'000;
  t.validUrls = 1;
  t.files = 1;
  const QString line = SummaryLine(kDate, t);
  ASSERT_EQ(line.size(), 93);
  EXPECT_EQ(
      line,
      kDate + "  100.0 Kbps   4.0 PageAvg   50000 Bytes    4 Secs   1 URLS    1 Files   0 Errs");
  EXPECT_EQ(line.mid(16, 5), QStringLiteral("100.0"));  // columns 17 to 21
  EXPECT_EQ(line.mid(29, 3), QStringLiteral("4.0"));    // columns 30 to 32

  // A fetch of well under a millisecond (a LAN, loopback) still has a throughput.
  RunTotals quick;
  quick.bytes = 12063;
  quick.micros = 800;
  quick.validUrls = 3;
  quick.files = 3;
  EXPECT_EQ(SummaryLine(kDate, quick).mid(14, 14), QStringLiteral("120630.0 Kbps "));

  // Nothing fetched: zeros, no division.
  EXPECT_EQ(
      SummaryLine(kDate, RunTotals{}),
      kDate + "    0.0 Kbps   0.0 PageAvg       0 Bytes    0 Secs   0 URLS    0 Files   0 Errs");

  // More than 2 GB: the fields keep their rightmost characters, the columns stay put.
  RunTotals big;
  big.bytes = 3'000'000'123LL;
  big.micros = 3'000'000'000;
  big.validUrls = 1200;
  big.files = 123456;
  big.errors = 1005;
  const QString b = SummaryLine(kDate, big);
  ASSERT_EQ(b.size(), 93);
  EXPECT_EQ(
      b, kDate + " 8000.0 Kbps   2.5 PageAvg00000123 Bytes 3000 Secs1200 URLS23456 Files1005 Errs");

  // A link of 100,000 Kbps or more: the throughput keeps every digit and the line grows.
  RunTotals fast;
  fast.bytes = 125'000'000;
  fast.micros = 1'000'000;
  fast.validUrls = 1;
  fast.files = 1;
  EXPECT_EQ(
      SummaryLine(kDate, fast),
      kDate + "1000000.0 Kbps   1.0 PageAvg25000000 Bytes    1 Secs   1 URLS    1 Files   0 Errs");

  EXPECT_EQ(RunSummaryLines(kDate, big),
            (QStringList{kDate + " Run Summary:", k25 + "Total URLs    =       1200",
                         k25 + "Total Files   =    123,456", k25 + "Total Bytes   = 00,000,123",
                         k25 + "Total Seconds =      3,000", k25 + "Total Errors  =      1,005",
                         QString(51, '-'), " "}));
}

TEST(DebugLines, PrintZones) {
  EXPECT_EQ(DebugTimedLine("23:08:15", "*** OpenURL returned 0"),
            "23:08:15      *** OpenURL returned 0");
  EXPECT_EQ(DebugTimedLine("11:08:15 PM", "x"), "11:08:15 PM   x");
  EXPECT_EQ(DebugTimedLine("12345678901234", "x"),
            QString("12345678901234") + QString(14, ' ') + "x");
}

TEST_F(Totals, SixTexts) {
  auto expect = [](const TotalsText& t, const QStringList& want) {
    EXPECT_EQ((QStringList{t.validUrls, t.totalErrors, t.totalBytes, t.totalSecs, t.throughput,
                           t.avgPageLoad}),
              want);
  };
  expect(MakeTotalsText(0, 0, 0, 0), QStringList{"", "", "", "", "", ""});
  // Bytes alone (a failed page) do not count: the boxes stay blank until something is timed.
  expect(MakeTotalsText(0, 0, 5, 0), QStringList{"", "", "", "", "", ""});
  expect(MakeTotalsText(0, 1, 0, 0), QStringList{"0", "1", "0", "0.0", "0 Kbps", "0 secs"});
  expect(MakeTotalsText(1, 0, 0, 0), QStringList{"1", "0", "0", "0.0", "0 Kbps", "0.0 secs"});
  expect(MakeTotalsText(5, 0, 2'500'000, 10'000'000),
         QStringList{"5", "0", "2,500,000", "10.0", "2,000.0 Kbps", "2.0 secs"});
  // One decimal, halves to even for the rates; the seconds box rounds halves away from zero.
  expect(MakeTotalsText(1, 0, 625, 40'000),
         QStringList{"1", "0", "625", "0.0", "125.0 Kbps", "0.0 secs"});
  expect(MakeTotalsText(1, 2, 1, 1'250'000),
         QStringList{"1", "2", "1", "1.3", "0.0 Kbps", "1.2 secs"});
  // Under a millisecond is not "no time": 12,063 bytes in 800 us.
  expect(MakeTotalsText(3, 0, 12063, 800),
         QStringList{"3", "0", "12,063", "0.0", "120,630.0 Kbps", "0.0 secs"});
  expect(MakeTotalsText(1, 0, 3'000'000'000LL, 1'000'000'000),
         QStringList{"1", "0", "3,000,000,000", "1,000.0", "24,000.0 Kbps", "1,000.0 secs"});
}

class LogFiles : public testing::AppFolderTest {
 protected:
  QDateTime fixedNow() const { return QDateTime(QDate(2026, 3, 4), QTime(7, 5)); }
  ResultLogs logs{dir_.path(), [this] { return fixedNow(); }};
};

TEST_F(LogFiles, RotationAtSize) {
  const QByteArray full(500000, 'a');
  writeFile("QuorvelLog.txt", full);
  writeFile("QVSum.log", full + "b");
  writeFile("QVSum.bak", "older copy");
  EXPECT_TRUE(logs.open(false).isEmpty());
  logs.fileLine("h/x", 1, 1000000, 0);
  RunTotals t;
  logs.runSummary(t);
  logs.close();

  const QByteArray line = kDate.toLatin1() + "      1 bytes   1.0 secs h/x\r\n";
  EXPECT_EQ(readFile("QuorvelLog.txt"), full + line);  // 500,000 bytes: appended to
  EXPECT_FALSE(QFile::exists(path("QuorvelLog.bak")));
  EXPECT_EQ(readFile("QVSum.bak"), full + "b");  // 500,001 bytes: copied, the old copy replaced
  EXPECT_EQ(readFile("QVSum.log"), SummaryLine(kDate, t).toLatin1() + "\r\n");
  EXPECT_FALSE(QFile::exists(path("QVURL.log")));                 // only in unattended runs
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), 3);  // no temporary left behind
}

TEST_F(LogFiles, FailedCopyKeepsTheLog) {
  const QByteArray full(600000, 'x');
  writeFile("QuorvelLog.txt", full);
  // The copy cannot take the place of a folder named like it.
  ASSERT_TRUE(QDir(dir_.path()).mkdir("QuorvelLog.bak"));
  const QStringList problems = logs.open(true);
  ASSERT_EQ(problems.size(), 1);
  EXPECT_EQ(problems[0],
            "QuorvelLog.txt could not be copied to QuorvelLog.bak (it is not a regular file); new "
            "results are added to QuorvelLog.txt.");
  logs.fileLine("h/x", 2, 0, 0);
  logs.close();
  EXPECT_EQ(readFile("QuorvelLog.txt"),
            full + kDate.toLatin1() + "      2 bytes   0.0 secs h/x\r\n");
  QStringList files = QDir(dir_.path()).entryList(QDir::Files);
  files.sort();
  EXPECT_EQ(files, (QStringList{"QVSum.log", "QVURL.log", "QuorvelLog.txt"}));
}

}  // namespace
}  // namespace quorvel
