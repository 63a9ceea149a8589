// The statistics window as a user works it: limits typed, Compute and Browse clicked, the
// table read as it shows.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "common/test_support.h"
#include "stats/frm_statistics.h"
#include "summary_log_writer.h"

namespace quorvel {
namespace {

using testing::click;
using testing::shown;
using testing::summaryLine;
using testing::type;
using testing::widget;

class FrmStatisticsTest : public testing::AppFolderTest {
 protected:
  void TearDown() override {
    frmStatistics::setLogFileChooser({});
    AppFolderTest::TearDown();
  }
  // Monday 30 Nov 2026 03:00 (late night), Tuesday 1 Dec morning twice, Friday 4 Dec 23:30
  // (weekend), and a failed run on Saturday 5 Dec that never counts.
  void writeSampleLog() {
    QByteArray data;
    for (const QByteArray& l : {summaryLine(QDate(2026, 11, 30), 3, 0, 80, 6),
                                summaryLine(QDate(2026, 12, 1), 8, 0, 100, 4),
                                summaryLine(QDate(2026, 12, 1), 9, 0, 300, 2),
                                summaryLine(QDate(2026, 12, 4), 23, 30, 50.25, 10),
                                summaryLine(QDate(2026, 12, 5), 10, 0, 0, 0)})
      data += l + "\r\n";
    writeFile("QVSum.log", data);
  }
  static QStringList rows(QWidget& w) { return testing::tableRows(&w, "lvwStatistics"); }
  static void typeDates(QWidget& w, const QString& first, const QString& last) {
    type(&w, "txtFirstDate", first);
    type(&w, "txtLastDate", last);
  }
};

TEST_F(FrmStatisticsTest, ComputeFillsSixRowsAndTheDatesLimitThem) {
  writeSampleLog();
  frmStatistics w;
  w.show();
  EXPECT_EQ(shown(&w, "txtLogFileName"), path("QVSum.log"));
  EXPECT_FALSE(widget(&w, "cmdGraph")->isEnabled());
  EXPECT_FALSE(widget(&w, "txtFirstDate")->isEnabled() || widget(&w, "txtLastDate")->isEnabled());
  click(&w, "cmdCompute");
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(
      rows(w),
      QStringList({"Weekday morning 2 200.0 300.0 3.0 4.0", "Weekday afternoon 0 0.0 0.0 0.0 0.0",
                   "Weekday evening 0 0.0 0.0 0.0 0.0", "Weekday late night 1 80.0 80.0 6.0 6.0",
                   "Weekend 1 50.3 50.3 10.0 10.0", "Total 4 132.6 80.0 5.5 4.0"}));
  EXPECT_EQ(shown(&w, "lblTimePeriodStat"), "11-30-26 to 12-05-26");
  EXPECT_EQ(shown(&w, "txtFirstDate") + " " + shown(&w, "txtLastDate"), "11-30-26 12-05-26");
  EXPECT_TRUE(widget(&w, "cmdGraph")->isEnabled());
  EXPECT_TRUE(readFile("chart.dat").startsWith("11-30-26 12-05-26\r\n 4\r\n"));

  // All unticked: the dates typed, in any usual form, give one day.
  click(&w, "chkAllDates");
  typeDates(w, "12/1/2026", "12-01-26");
  click(&w, "cmdCompute");
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(rows(w).value(5), "Total 2 200.0 300.0 3.0 4.0");
  EXPECT_EQ(shown(&w, "lblTimePeriodStat"), "11-30-26 to 12-05-26");
  EXPECT_EQ(shown(&w, "txtFirstDate"), "12/1/2026");
  // First after last: no run falls in the range.
  typeDates(w, "12/05/2026", "11/30/2026");
  click(&w, "cmdCompute");
  EXPECT_EQ(rows(w).value(5), "Total 0 0.0 0.0 0.0 0.0");

  // The graph opens modally over the statistics, and closes.
  QTimer::singleShot(0, [] {
    if (QWidget* m = QApplication::activeModalWidget()) m->close();
  });
  click(&w, "cmdGraph");
}

// Below the table, from the same computation: the percentiles of its rows (p50 of four runs is
// the average of the middle two, where the median column takes the second), and the hours of
// the week that had runs coloured from the slowest to the fastest, their figures in tooltips.
TEST_F(FrmStatisticsTest, PercentilesAndTheHeatMapBesideTheTable) {
  writeSampleLog();
  frmStatistics w;
  w.show();
  click(&w, "cmdCompute");
  EXPECT_EQ(rows(w).value(5), "Total 4 132.6 80.0 5.5 4.0");
  const QStringList percentiles = testing::tableRows(&w, "lvwPercentiles");
  ASSERT_EQ(percentiles.size(), 6);
  EXPECT_EQ(percentiles[5], "Total 54.8 59.2 72.6 90.0 150.0 240.0 270.0 5.0 7.0 8.8 9.4 9.9");
  EXPECT_EQ(percentiles[1], "Weekday afternoon 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0");
  EXPECT_TRUE(shown(&w, "lblPercentileNote").contains("p50 may differ from Med"));

  auto* tabs = widget<QTabWidget>(&w, "tabHistory");
  QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
  ASSERT_EQ(tabs->currentIndex(), 1);
  auto* map = widget<QTableWidget>(&w, "grdWeekdayHours");
  ASSERT_TRUE(map->isVisible());
  ASSERT_EQ(map->rowCount() * 100 + map->columnCount(), 724);
  QStringList filled;
  for (int day = 0; day < 7; ++day)
    for (int hour = 0; hour < 24; ++hour)
      if (const QTableWidgetItem* cell = map->item(day, hour))
        filled << map->verticalHeaderItem(day)->text() + " " + QString::number(hour) + ": " +
                      cell->toolTip().replace('\n', ", ") + ", hue " +
                      QString::number(cell->background().color().hsvHue());
  EXPECT_EQ(filled,
            QStringList({"Monday 3: Monday 03:00-03:59, 1 run(s), Median 80.0 Kbps, Median page "
                         "load 6.0 s, hue 14",
                         "Tuesday 8: Tuesday 08:00-08:59, 1 run(s), Median 100.0 Kbps, Median "
                         "page load 4.0 s, hue 23",
                         "Tuesday 9: Tuesday 09:00-09:59, 1 run(s), Median 300.0 Kbps, Median "
                         "page load 2.0 s, hue 120",
                         "Friday 23: Friday 23:00-23:59, 1 run(s), Median 50.3 Kbps, Median page "
                         "load 10.0 s, hue 0"}))
      << "Saturday's failed run leaves its hour blank";
  EXPECT_EQ(shown(&w, "lblHeatScale"),
            "Median Kbps of each hour: red 50.3 (slowest) to green 300.0 (fastest); blank hours "
            "have no runs.");

  // Another log clears them with the table.
  writeFile("Other.log", "x");
  frmStatistics::setLogFileChooser([&](QWidget*, const QString&) { return path("Other.log"); });
  click(&w, "cmdLogFileBrowse");
  EXPECT_TRUE(testing::tableRows(&w, "lvwPercentiles").isEmpty());
  EXPECT_EQ(map->item(4, 23), nullptr);
}

// (The command refuses the same, other files and dates; test_stats_command.cpp.)
TEST_F(FrmStatisticsTest, WhatIsRefusedBeforeAnyPass) {
  writeSampleLog();
  writeFile("empty.txt", "");
  writeFile("binary.txt", QByteArray(5000, '\0'));
  const QString tomorrow = QDate::currentDate().addDays(1).toString("MM/dd/yyyy");
  struct Case {
    QString log, first, last;  // no dates: All ticked
    const char* said;
  };
  const Case cases[] = {
      {"missing.log", {}, {}, "Invalid log file name!"},
      {"empty.txt", {}, {}, "File does not appear to be an Quorvel log file!"},
      {"binary.txt", {}, {}, "File does not appear to be an Quorvel log file!"},
      {"QVSum.log", "", "yesterday", "Invalid date!"},
      {"QVSum.log", "01/05/2003", tomorrow, "Date can not be in the future!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE((c.log + " " + c.first + " " + c.last).toStdString());
    messages_.clear();
    frmStatistics w;
    w.show();
    type(&w, "txtLogFileName", path(c.log));
    if (!c.first.isNull()) {
      click(&w, "chkAllDates");
      typeDates(w, c.first, c.last);
    }
    click(&w, "cmdCompute");
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].title + ": " + messages_[0].text, QStringLiteral("Oops: ") + c.said);
    EXPECT_EQ(messages_[0].icon, MsgIcon::Exclamation);
    EXPECT_FALSE(QFile::exists(path("chart.dat"))) << "no pass ran";
    EXPECT_TRUE(rows(w).isEmpty());
    EXPECT_FALSE(widget(&w, "cmdGraph")->isEnabled());
  }
}

TEST_F(FrmStatisticsTest, BrowseChoosesAnotherLog) {
  writeSampleLog();
  writeFile("Other.log", "x");
  frmStatistics w;
  w.show();
  click(&w, "cmdCompute");
  QString start;
  std::optional<QString> choice;
  frmStatistics::setLogFileChooser([&](QWidget*, const QString& s) {
    start = s;
    return choice;
  });
  click(&w, "cmdLogFileBrowse");  // cancelled
  EXPECT_EQ(start, path("QVSum.log"));
  EXPECT_TRUE(widget(&w, "cmdGraph")->isEnabled()) << "cancel changes nothing";
  choice = path("QVSum.log");  // the same file keeps the results
  click(&w, "cmdLogFileBrowse");
  EXPECT_EQ(rows(w).size(), 6);
  choice = path("Other.log");  // another resets the window
  click(&w, "cmdLogFileBrowse");
  EXPECT_EQ(shown(&w, "txtLogFileName"), path("Other.log"));
  EXPECT_TRUE(rows(w).isEmpty());
  EXPECT_FALSE(widget(&w, "cmdGraph")->isEnabled());
  EXPECT_EQ(shown(&w, "lblTimePeriodStat") + shown(&w, "txtFirstDate"), "");
  EXPECT_TRUE(widget<QCheckBox>(&w, "chkAllDates")->isChecked());
  // A current file that is gone starts the dialog with no name.
  QFile::remove(path("Other.log"));
  choice.reset();
  click(&w, "cmdLogFileBrowse");
  EXPECT_TRUE(start.isEmpty());
}

// The table copies whole, with its header, tab-separated: Ctrl+C in the list, or Copy from its
// context menu.
TEST_F(FrmStatisticsTest, TheTableCopiesWhole) {
  writeSampleLog();
  frmStatistics w;
  w.show();
  click(&w, "cmdCompute");
  const QString expected =
      "Day Part\tN\tAvg Kbps\tMed Kbps\tAvg Pg Load\tMed Pg Load\n"
      "Weekday morning\t2\t200.0\t300.0\t3.0\t4.0\n"
      "Weekday afternoon\t0\t0.0\t0.0\t0.0\t0.0\n"
      "Weekday evening\t0\t0.0\t0.0\t0.0\t0.0\n"
      "Weekday late night\t1\t80.0\t80.0\t6.0\t6.0\n"
      "Weekend\t1\t50.3\t50.3\t10.0\t10.0\n"
      "Total\t4\t132.6\t80.0\t5.5\t4.0\n";
  QApplication::clipboard()->clear();
  QTest::keyClick(testing::tabTo(&w, "lvwStatistics"), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), expected);
  QApplication::clipboard()->clear();
  auto* list = widget(&w, "lvwStatistics");
  ASSERT_EQ(list->contextMenuPolicy(), Qt::ActionsContextMenu);
  ASSERT_EQ(list->actions().size(), 1);
  EXPECT_EQ(list->actions()[0]->text(), "&Copy");
  list->actions()[0]->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), expected);
}

}  // namespace
}  // namespace quorvel
