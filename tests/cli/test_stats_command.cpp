// quorvel stats: the statistics window's table, read the same way from the same log, in text,
// CSV and JSON, and the same chart.dat.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>

#include "app/exit_codes.h"
#include "cli/cli_fixture.h"
#include "stats/frm_statistics.h"
#include "stats/summary_log_writer.h"

namespace quorvel {
namespace {

using testing::CommandLineTest;
using testing::CommandResult;
using testing::summaryLine;

class StatsCommand : public CommandLineTest {
 protected:
  // Runs of every part of the day over two weeks of April 2025 (the 1st a Tuesday), a failed run
  // and a line that is no run; written as "qvsum.LOG", which both find in any letter case.
  void writeLog() {
    QByteArray data;
    const struct {
      int day, hour;
      double kbps, page;
    } runs[] = {{1, 8, 100, 4},    {1, 9, 300, 2},  {2, 14, 250.5, 3.5}, {3, 20, 75, 7},
                {4, 23, 50.3, 10}, {5, 10, 0.9, 1}, {7, 3, 80, 6},       {8, 12, 120, 60},
                {9, 13, 400, 1.5}, {10, 23, 90, 8}, {12, 15, 60, 60.1},  {14, 19, 210, 2.5}};
    for (const auto& r : runs)
      data += summaryLine(QDate(2025, 4, r.day), r.hour, 30, r.kbps, r.page) + "\r\n";
    data.insert(data.indexOf("\r\n") + 2, "--- not a run line ---\r\n");
    writeFile(QStringLiteral("qvsum.LOG"), data);
  }

  struct WindowTable {
    QStringList headers;
    std::vector<QStringList> rows;
    QString period;
    QByteArray chart;
  };
  // The window as a user works it: limits typed into the date boxes (All unticked) when
  // given, Compute clicked, the list view's texts read as shown.
  WindowTable computeInWindow(const QString& first = {}, const QString& last = {}) {
    frmStatistics w;
    w.show();
    if (!first.isEmpty() || !last.isEmpty()) {
      QTest::mouseClick(w.findChild<QCheckBox*>("chkAllDates"), Qt::LeftButton);
      QTest::keyClicks(w.findChild<QLineEdit*>("txtFirstDate"), first);
      QTest::keyClicks(w.findChild<QLineEdit*>("txtLastDate"), last);
    }
    QTest::mouseClick(w.findChild<QPushButton*>("cmdCompute"), Qt::LeftButton);
    EXPECT_TRUE(messages_.empty());
    WindowTable t;
    const QTreeWidget* lvw = w.findChild<QTreeWidget*>("lvwStatistics");
    for (int c = 0; c < lvw->columnCount(); ++c) t.headers << lvw->headerItem()->text(c);
    for (int r = 0; r < lvw->topLevelItemCount(); ++r) {
      QStringList cells;
      for (int c = 0; c < lvw->columnCount(); ++c) cells << lvw->topLevelItem(r)->text(c);
      t.rows.push_back(cells);
    }
    t.period = w.findChild<QLabel*>("lblTimePeriodStat")->text();
    t.chart = readFile(QStringLiteral("chart.dat"));
    QFile::remove(path(QStringLiteral("chart.dat")));
    return t;
  }
};

std::vector<QStringList> csvRows(const QByteArray& csv) {
  std::vector<QStringList> rows;
  EXPECT_TRUE(csv.endsWith("\r\n"));
  for (const QByteArray& line : csv.split('\n')) {
    if (line.isEmpty()) continue;
    EXPECT_TRUE(line.endsWith('\r')) << line.constData();
    rows.push_back(QString::fromUtf8(line.chopped(1)).split(','));
  }
  return rows;
}

TEST_F(StatsCommand, TheCommandAndTheWindowShowTheSameTable) {
  writeLog();
  struct Limits {
    QString first, last;
  };
  for (const Limits& l : {Limits{}, Limits{"4/2/2025", "04-09-25"}, Limits{"2025-04-08", ""}}) {
    SCOPED_TRACE((l.first + " " + l.last).toStdString());
    const WindowTable window = computeInWindow(l.first, l.last);
    ASSERT_EQ(window.rows.size(), 6u);
    QStringList limitArgs;
    if (!l.first.isEmpty()) limitArgs << "--first-date" << l.first;
    if (!l.last.isEmpty()) limitArgs << "--last-date=" + l.last;

    const CommandResult csv = run(QStringList{"stats", "--csv"} + limitArgs);
    ASSERT_EQ(csv.exitCode, kExitOk) << csv.err.toStdString();
    const std::vector<QStringList> rows = csvRows(csv.out);
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0], window.headers);
    for (int r = 0; r < 6; ++r) EXPECT_EQ(rows[r + 1], window.rows[r]) << r;
    EXPECT_EQ(readFile(QStringLiteral("chart.dat")), window.chart);

    // The text: the window's labels, its column titles and every cell as the list shows it.
    const CommandResult text = run(QStringList{"stats"} + limitArgs);
    ASSERT_EQ(text.exitCode, kExitOk) << text.err.toStdString();
    const QStringList lines = QString::fromUtf8(text.out).split('\n');
    EXPECT_EQ(lines[0], "Log File:                " + path("qvsum.LOG"));
    EXPECT_TRUE(lines.contains("Time Period of Log File: " + window.period));
    QStringList head;
    if (l.first.isEmpty() && l.last.isEmpty()) head << "Dates To Include:        All";
    if (!l.first.isEmpty()) head << "First Date:              " + l.first;
    if (!l.last.isEmpty()) head << "Last Date:               " + l.last;
    EXPECT_EQ(lines.mid(1, head.size()), head);
    const qsizetype at = lines.indexOf(QString());
    ASSERT_GT(at, 0);
    const QRegularExpression gap(QStringLiteral(" {2,}"));
    EXPECT_EQ(lines[at + 1].split(gap), window.headers);
    for (int r = 0; r < 6; ++r) EXPECT_EQ(lines[at + 2 + r].trimmed().split(gap), window.rows[r]);
  }
}

TEST_F(StatsCommand, JsonHoldsEveryFigure) {
  writeLog();
  const CommandResult r = run({"stats", "--json", "--last-date", "4/8/2025", path("qvsum.LOG")});
  ASSERT_EQ(r.exitCode, kExitOk) << r.err.toStdString();
  const QJsonObject doc = QJsonDocument::fromJson(r.out).object();
  EXPECT_EQ(doc["log"].toString(), path("qvsum.LOG"));
  EXPECT_TRUE(doc["limits"].toObject()["first"].isNull());
  EXPECT_EQ(doc["limits"].toObject()["last"].toString(), "2025-04-08");
  EXPECT_EQ(doc["period"].toObject()["shown"].toString(), "04-01-25 to 04-14-25");
  EXPECT_EQ(doc["runs_read"].toInt(), 12);
  const QJsonArray rows = doc["rows"].toArray();
  ASSERT_EQ(rows.size(), 6);
  // Weekend: Friday 4 April 23:30 alone (Saturday's 0.9 Kbps run never counts).
  const QJsonObject weekend = rows[4].toObject();
  EXPECT_EQ(weekend["day_part"].toString(), "Weekend");
  EXPECT_EQ(weekend["class"].toString(), "5");
  EXPECT_EQ(weekend["count"].toInt(), 1);
  EXPECT_EQ(weekend["avg_kbps"].toDouble(), 50.3);
  EXPECT_EQ(weekend["shown"].toArray()[2].toString(), "50.3");
  // Total up to 8 April: 100, 300, 250.5, 75, 50.25, 80, 120 (60.0 s a page still counts).
  const QJsonObject total = rows[5].toObject();
  EXPECT_TRUE(total["class"].isNull());
  EXPECT_EQ(total["count"].toInt(), 7);
  EXPECT_EQ(total["med_kbps"].toDouble(), 100);
  // The figures as computed, not as the table rounds them.
  EXPECT_EQ(total["avg_page_load_seconds"].toDouble(), 13.214286);
  EXPECT_EQ(float(total["avg_page_load_seconds"].toDouble()), float(92.5 / 7));
  EXPECT_EQ(total["shown"].toArray()[4].toString(), "13.2");
  EXPECT_TRUE(doc["chart_written"].toBool());
  EXPECT_TRUE(readFile(QStringLiteral("chart.dat")).startsWith("04-01-25 04-14-25\r\n 7\r\n"));
}

TEST_F(StatsCommand, WhatIsRefusedAndWhatCannotBeWritten) {
  writeFile(QStringLiteral("other.txt"), "just a text\r\n");
  writeFile(QStringLiteral("QVSum.log"), summaryLine(QDate(2026, 12, 1), 8, 0, 100, 4) + "\r\n");
  ASSERT_EQ(::mkfifo(path("pipe.log").toLocal8Bit().constData(), 0600), 0);
  const QString future = QDate::currentDate().addDays(2).toString("MM/dd/yyyy");
  struct Case {
    QStringList args;
    QString err;
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const CommandResult r = run(c.args);
    EXPECT_EQ(r.exitCode, kExitCannotStart);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(QString::fromUtf8(r.err), "quorvel: " + c.err + "\n");
  }
  EXPECT_FALSE(QFile::exists(path("chart.dat")));

  // A folder in the place of chart.dat: the table still comes, and the exit status says 3.
  ASSERT_TRUE(QDir(dir_.path()).mkdir("chart.dat"));
  const CommandResult r = run({"stats", "--csv"});
  EXPECT_EQ(r.exitCode, kExitNotWritten);
  EXPECT_TRUE(r.out.contains("\r\nTotal,1,100.0,100.0,4.0,4.0\r\n")) << r.out.toStdString();
  EXPECT_TRUE(r.err.startsWith("quorvel: Could not write the chart file " +
                               path("chart.dat").toUtf8() + ": "))
      << r.err.toStdString();
}

}  // namespace
}  // namespace quorvel
