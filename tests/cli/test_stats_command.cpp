// quorvel stats: the statistics window's table, read the same way from the same log, in text,
// CSV and JSON, and the same chart.dat.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QJsonArray>
#include <QRegularExpression>

#include "cli/cli_fixture.h"
#include "core/exit_codes.h"
#include "stats/frm_statistics.h"
#include "stats/summary_log_writer.h"

namespace quorvel {
namespace {

using testing::Ended;
using testing::summaryLine;

class StatsCommand : public testing::CommandLineTest {
 protected:
  // Runs of every part of the day over two weeks of April 2025 (the 1st a Tuesday), a failed
  // run and a line that is no run; written as "qvsum.LOG", which both find in any letter case.
  void writeLog() {
    QByteArray data;
    const std::tuple<int, int, double, double> runs[] = {
        {1, 8, 100, 4},    {1, 9, 300, 2},  {2, 14, 250.5, 3.5}, {3, 20, 75, 7},
        {4, 23, 50.3, 10}, {5, 10, 0.9, 1}, {7, 3, 80, 6},       {8, 12, 120, 60},
        {9, 13, 400, 1.5}, {10, 23, 90, 8}, {12, 15, 60, 60.1},  {14, 19, 210, 2.5}};
    for (const auto& [day, hour, kbps, page] : runs)
      data += summaryLine(QDate(2025, 4, day), hour, 30, kbps, page) + "\r\n";
    data.insert(data.indexOf("\r\n") + 2, "--- not a run line ---\r\n");
    writeFile("qvsum.LOG", data);
  }
};

TEST_F(StatsCommand, TheCommandAndTheWindowShowTheSameTable) {
  writeLog();
  for (const auto& [first, last] :
       {std::pair<QString, QString>{}, {"4/2/2025", "04-09-25"}, {"2025-04-08", ""}}) {
    SCOPED_TRACE((first + " " + last).toStdString());
    // The window as a user works it: the limits typed (All unticked), Compute clicked.
    frmStatistics w;
    w.show();
    if (!first.isEmpty() || !last.isEmpty()) {
      testing::click(&w, "chkAllDates");
      testing::type(&w, "txtFirstDate", first);
      testing::type(&w, "txtLastDate", last);
    }
    testing::click(&w, "cmdCompute");
    EXPECT_TRUE(messages_.empty());
    // The column titles and the rows, each cell after a blank.
    const QStringList window = QStringList{testing::shown(&w, "lvwStatistics").replace(", ", " ")} +
                               testing::tableRows(&w, "lvwStatistics");
    ASSERT_EQ(window.size(), 7);
    const QByteArray chart = readFile("chart.dat");
    QFile::remove(path("chart.dat"));

    QStringList limits;
    if (!first.isEmpty()) limits << "--first-date" << first;
    if (!last.isEmpty()) limits << "--last-date=" + last;
    const Ended csv = run(QStringList{"stats", "--csv"} + limits);
    ASSERT_EQ(csv.code, kExitOk) << csv.err.toStdString();
    EXPECT_TRUE(csv.out.endsWith("\r\n"));
    const QStringList rows = QString::fromUtf8(csv.out).trimmed().split("\r\n");
    ASSERT_EQ(rows.size(), 7);
    for (int r = 0; r < 7; ++r) EXPECT_EQ(QString(rows[r]).replace(',', ' '), window[r]) << r;
    EXPECT_EQ(readFile("chart.dat"), chart);

    // The text: the window's labels, its column titles and every cell as the list shows it.
    const Ended text = run(QStringList{"stats"} + limits);
    ASSERT_EQ(text.code, kExitOk) << text.err.toStdString();
    const QStringList lines = QString::fromUtf8(text.out).split('\n');
    EXPECT_EQ(lines[0], "Log File:                " + path("qvsum.LOG"));
    EXPECT_TRUE(
        lines.contains("Time Period of Log File: " + testing::shown(&w, "lblTimePeriodStat")));
    QStringList head;
    if (first.isEmpty() && last.isEmpty()) head << "Dates To Include:        All";
    if (!first.isEmpty()) head << "First Date:              " + first;
    if (!last.isEmpty()) head << "Last Date:               " + last;
    EXPECT_EQ(lines.mid(1, head.size()), head);
    const qsizetype at = lines.indexOf(QString());
    ASSERT_GT(at, 0);
    for (int r = 0; r < 7; ++r)
      EXPECT_EQ(lines[at + 1 + r].trimmed().replace(QRegularExpression(" {2,}"), " "), window[r])
          << r;
  }
}

TEST_F(StatsCommand, JsonHoldsEveryFigure) {
  writeLog();
  const Ended r = run({"stats", "--json", "--last-date", "4/8/2025", path("qvsum.LOG")});
  ASSERT_EQ(r.code, kExitOk) << r.err.toStdString();
  const QJsonObject doc = testing::jsonOf(r.out);
  EXPECT_EQ(doc["log"].toString(), path("qvsum.LOG"));
  EXPECT_TRUE(doc["limits"].toObject()["first"].isNull());
  EXPECT_EQ(doc["limits"].toObject()["last"].toString(), "2025-04-08");
  EXPECT_EQ(doc["period"].toObject()["shown"].toString(), "04-01-25 to 04-14-25");
  EXPECT_EQ(doc["runs_read"].toInt(), 12);
  const QJsonArray rows = doc["rows"].toArray();
  ASSERT_EQ(rows.size(), 6);
  // Weekend: Friday 4 April 23:30 alone (Saturday's 0.9 Kbps run never counts).
  const QJsonObject weekend = rows[4].toObject();
  EXPECT_EQ(weekend["day_part"].toString() + " " + weekend["class"].toString(), "Weekend 5");
  EXPECT_EQ(weekend["count"].toInt(), 1);
  EXPECT_EQ(weekend["avg_kbps"].toDouble(), 50.3);
  EXPECT_EQ(weekend["shown"].toArray()[2].toString(), "50.3");
  // Total up to 8 April: 100, 300, 250.5, 75, 50.25, 80, 120 (60.0 s a page still counts); the
  // figures as computed, not as the table rounds them.
  const QJsonObject total = rows[5].toObject();
  EXPECT_TRUE(total["class"].isNull());
  EXPECT_EQ(total["count"].toInt(), 7);
  EXPECT_EQ(total["med_kbps"].toDouble(), 100);
  EXPECT_EQ(total["avg_page_load_seconds"].toDouble(), 13.214286);
  EXPECT_EQ(total["shown"].toArray()[4].toString(), "13.2");
  EXPECT_TRUE(doc["chart_written"].toBool());
  EXPECT_TRUE(readFile("chart.dat").startsWith("04-01-25 04-14-25\r\n 7\r\n"));
}

TEST_F(StatsCommand, WhatIsRefusedAndWhatCannotBeWritten) {
  writeFile("other.txt", "just a text\r\n");
  writeFile("QVSum.log", summaryLine(QDate(2026, 12, 1), 8, 0, 100, 4) + "\r\n");
  ASSERT_EQ(::mkfifo(path("pipe.log").toLocal8Bit().constData(), 0600), 0);
  const QString future = QDate::currentDate().addDays(2).toString("MM/dd/yyyy");
  const std::pair<QStringList, QString> cases[] = {
      {{"stats", path("none.log")}, "Invalid log file name! (" + path("none.log") + ")"},
      {{"stats", path("other.txt")},
       "File does not appear to be an Quorvel log file! (" + path("other.txt") + ")"},
      {{"stats", path("pipe.log")}, "pipe.log is not a regular file! (" + path("pipe.log") + ")"},
      {{"stats", "--first-date", "13/45/2026"},
       "Invalid date! (--first-date \"13/45/2026\"; write MM/DD/YYYY)"},
      {{"stats", "--last-date", future},
       "Date can not be in the future! (--last-date \"" + future + "\")"},
      {{"stats", "--json", "--csv"}, "Choose one of --json and --csv."},
      {{"stats", "a.log", "b.log"}, "Give one log file at most."},
  };
  for (const auto& [args, err] : cases) {
    SCOPED_TRACE(args.join(' ').toStdString());
    const Ended r = run(args);
    EXPECT_EQ(r.code, kExitCannotStart);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(QString::fromUtf8(r.err), "quorvel: " + err + "\n");
  }
  EXPECT_FALSE(QFile::exists(path("chart.dat")));
  // A folder in the place of chart.dat: the table still comes, and the exit status says 3.
  ASSERT_TRUE(QDir(dir_.path()).mkdir("chart.dat"));
  const Ended r = run({"stats", "--csv"});
  EXPECT_EQ(r.code, kExitNotWritten);
  EXPECT_TRUE(r.out.contains("\r\nTotal,1,100.0,100.0,4.0,4.0\r\n")) << r.out.toStdString();
  EXPECT_TRUE(r.err.startsWith("quorvel: Could not write the chart file " +
                               path("chart.dat").toUtf8() + ": "))
      << r.err.toStdString();
}

}  // namespace
}  // namespace quorvel
