#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "common/test_support.h"
#include "stats/frm_graph.h"
#include "stats/frm_statistics.h"
#include "summary_log_writer.h"

namespace quorvel {
namespace {

using testing::summaryLine;

class FrmStatisticsTest : public testing::AppFolderTest {
 protected:
  void TearDown() override {
    frmStatistics::setLogFileChooser({});
    AppFolderTest::TearDown();
  }
  template <typename T>
  T* child(QWidget& w, const char* name) {
    T* c = w.findChild<T*>(QLatin1String(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  QStringList row(QWidget& w, int r) {
    QTreeWidgetItem* item = child<QTreeWidget>(w, "lvwStatistics")->topLevelItem(r);
    QStringList out;
    if (!item) return out;
    for (int c = 0; c < 6; ++c) out << item->text(c);
    return out;
  }
  void writeSampleLog() {
    QByteArray data;
    // Tuesday 1 Dec 2026 morning (two runs), Friday 4 Dec 23:30 (weekend), Monday 30 Nov 03:00
    // (late night), and a failed run on Saturday 5 Dec that never counts.
    for (const QByteArray& l : {summaryLine(QDate(2026, 11, 30), 3, 0, 80, 6),
                                summaryLine(QDate(2026, 12, 1), 8, 0, 100, 4),
                                summaryLine(QDate(2026, 12, 1), 9, 0, 300, 2),
                                summaryLine(QDate(2026, 12, 4), 23, 30, 50.25, 10),
                                summaryLine(QDate(2026, 12, 5), 10, 0, 0, 0)})
      data += l + "\r\n";
    writeFile(QStringLiteral("QVSum.log"), data);
  }
};

TEST_F(FrmStatisticsTest, LoadsWithItsControls) {
  frmStatistics w;
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Log File Statistics"));
  EXPECT_EQ(child<QLineEdit>(w, "txtLogFileName")->text(), path(QStringLiteral("QVSum.log")));
  EXPECT_FALSE(child<QPushButton>(w, "cmdGraph")->isEnabled());
  EXPECT_TRUE(child<QCheckBox>(w, "chkAllDates")->isChecked());
  EXPECT_FALSE(child<QLineEdit>(w, "txtFirstDate")->isEnabled());
  EXPECT_FALSE(child<QLineEdit>(w, "txtLastDate")->isEnabled());
  EXPECT_TRUE(child<QLabel>(w, "lblTimePeriodStat")->text().isEmpty());
  EXPECT_EQ(child<QPushButton>(w, "cmdLogFileBrowse")->text(), QStringLiteral("&Browse"));
  EXPECT_EQ(child<QPushButton>(w, "cmdCompute")->text(), QStringLiteral("&Compute"));
  EXPECT_EQ(child<QPushButton>(w, "cmdQuit")->text(), QStringLiteral("&Quit"));
  EXPECT_EQ(child<QLabel>(w, "lblTimePeriod")->text(), QStringLiteral("Time Period of Log File:"));
  EXPECT_EQ(child<QLineEdit>(w, "txtFirstDate")->toolTip(), QStringLiteral("MM/DD/YYYY"));
  auto* lvw = child<QTreeWidget>(w, "lvwStatistics");
  ASSERT_EQ(lvw->columnCount(), 6);
  const QStringList headers{"Day Part", "N", "Avg Kbps", "Med Kbps", "Avg Pg Load", "Med Pg Load"};
  for (int c = 0; c < 6; ++c) EXPECT_EQ(lvw->headerItem()->text(c), headers[c]);
  EXPECT_EQ(lvw->headerItem()->textAlignment(1) & Qt::AlignHCenter, Qt::AlignHCenter);
  EXPECT_GT(lvw->columnWidth(0), lvw->columnWidth(1));
  w.show();
  EXPECT_GE(lvw->header()->sectionSize(5), lvw->header()->sectionSizeHint(5));

  // All ticked off enables the date boxes, and back.
  child<QCheckBox>(w, "chkAllDates")->click();
  EXPECT_TRUE(child<QLineEdit>(w, "txtFirstDate")->isEnabled());
  EXPECT_TRUE(child<QLineEdit>(w, "txtLastDate")->isEnabled());
  child<QCheckBox>(w, "chkAllDates")->click();
  EXPECT_FALSE(child<QLineEdit>(w, "txtLastDate")->isEnabled());
}

TEST_F(FrmStatisticsTest, LogNameFollowsTheFileThatExists) {
  writeFile(QStringLiteral("qvsum.LOG"), "x");
  EXPECT_EQ(frmStatistics::defaultLogPath(), path(QStringLiteral("qvsum.LOG")));
  writeFile(QStringLiteral("QVSum.log"), "x");
  EXPECT_EQ(frmStatistics::defaultLogPath(), path(QStringLiteral("QVSum.log")));
}

TEST_F(FrmStatisticsTest, ComputeFillsSixRows) {
  writeSampleLog();
  frmStatistics w;
  w.onComputeClicked();
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(row(w, 0), QStringList({"Weekday morning", "2", "200.0", "300.0", "3.0", "4.0"}));
  EXPECT_EQ(row(w, 1), QStringList({"Weekday afternoon", "0", "0.0", "0.0", "0.0", "0.0"}));
  EXPECT_EQ(row(w, 2), QStringList({"Weekday evening", "0", "0.0", "0.0", "0.0", "0.0"}));
  EXPECT_EQ(row(w, 3), QStringList({"Weekday late night", "1", "80.0", "80.0", "6.0", "6.0"}));
  EXPECT_EQ(row(w, 4), QStringList({"Weekend", "1", "50.3", "50.3", "10.0", "10.0"}));
  EXPECT_EQ(row(w, 5), QStringList({"Total", "4", "132.6", "80.0", "5.5", "4.0"}));
  EXPECT_EQ(child<QTreeWidget>(w, "lvwStatistics")->topLevelItemCount(), 6);
  EXPECT_EQ(child<QLabel>(w, "lblTimePeriodStat")->text(), QStringLiteral("11-30-26 to 12-05-26"));
  EXPECT_TRUE(child<QPushButton>(w, "cmdGraph")->isEnabled());
  EXPECT_EQ(child<QLineEdit>(w, "txtFirstDate")->text(), QStringLiteral("11-30-26"));
  EXPECT_EQ(child<QLineEdit>(w, "txtLastDate")->text(), QStringLiteral("12-05-26"));
  EXPECT_TRUE(readFile(QStringLiteral("chart.dat")).startsWith("11-30-26 12-05-26\r\n 4\r\n"));

  // The boxes, read back as limits (the log's own form), give one day.
  child<QCheckBox>(w, "chkAllDates")->click();
  child<QLineEdit>(w, "txtFirstDate")->setText(QStringLiteral("12/1/2026"));
  child<QLineEdit>(w, "txtLastDate")->setText(QStringLiteral("12-01-26"));
  w.onComputeClicked();
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(row(w, 5), QStringList({"Total", "2", "200.0", "300.0", "3.0", "4.0"}));
  EXPECT_EQ(child<QLabel>(w, "lblTimePeriodStat")->text(), QStringLiteral("11-30-26 to 12-05-26"));
  EXPECT_EQ(child<QLineEdit>(w, "txtFirstDate")->text(), QStringLiteral("12/1/2026"));

  // The graph window opens modally over the statistics and closes.
  QTimer::singleShot(0, [] {
    if (QWidget* m = QApplication::activeModalWidget()) m->close();
  });
  w.onGraphClicked();
}

// A summary log whose lines end with CR alone (or any mix) counts every run, as with CR LF.
TEST_F(FrmStatisticsTest, LogWithOtherLineEndsCountsEveryRun) {
  const QByteArray a = summaryLine(QDate(2026, 12, 1), 8, 0, 100, 4);
  const QByteArray b = summaryLine(QDate(2026, 12, 1), 9, 0, 300, 2);
  const QByteArray c = summaryLine(QDate(2026, 12, 2), 10, 0, 200, 3);
  for (const QByteArray& log : {a + "\r" + b + "\r" + c + "\r", a + "\n" + b + "\r\n" + c}) {
    writeFile(QStringLiteral("QVSum.log"), log);
    messages_.clear();
    frmStatistics w;
    w.show();
    child<QPushButton>(w, "cmdCompute")->click();
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(row(w, 5), QStringList({"Total", "3", "200.0", "200.0", "3.0", "3.0"}));
    EXPECT_EQ(child<QLabel>(w, "lblTimePeriodStat")->text(),
              QStringLiteral("12-01-26 to 12-02-26"));
  }
}

TEST_F(FrmStatisticsTest, RefusesMissingAndForeignFiles) {
  writeSampleLog();
  frmStatistics w;
  w.onComputeClicked();
  ASSERT_TRUE(messages_.empty());
  const QStringList total = row(w, 5);

  auto* name = child<QLineEdit>(w, "txtLogFileName");
  name->setText(path(QStringLiteral("missing.log")));
  w.onComputeClicked();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].title, QStringLiteral("Oops"));
  EXPECT_EQ(messages_[0].text, QStringLiteral("Invalid log file name!"));
  EXPECT_EQ(messages_[0].icon, MsgIcon::Exclamation);

  for (const QByteArray& content :
       {QByteArray(), QByteArray("hello\r\n"), QByteArray(5000, '\0')}) {
    writeFile(QStringLiteral("other.txt"), content);
    name->setText(path(QStringLiteral("other.txt")));
    messages_.clear();
    w.onComputeClicked();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].title, QStringLiteral("Oops"));
    EXPECT_EQ(messages_[0].text, QStringLiteral("File does not appear to be an Quorvel log file!"));
    EXPECT_EQ(messages_[0].icon, MsgIcon::Exclamation);
  }
  EXPECT_EQ(row(w, 5), total) << "the table keeps the last computation";
}

TEST_F(FrmStatisticsTest, RefusesBadDatesBeforeAnyPass) {
  writeSampleLog();
  frmStatistics w;
  child<QCheckBox>(w, "chkAllDates")->click();
  const QString tomorrow = QDate::currentDate().addDays(1).toString(QStringLiteral("MM/dd/yyyy"));
  struct Case {
    QString first, last, message;
  } cases[] = {{"13/45/2003", "", "Invalid date!"},
               {"", "yesterday", "Invalid date!"},
               {tomorrow, "", "Date can not be in the future!"},
               {"01/05/2003", tomorrow, "Date can not be in the future!"}};
  for (const Case& c : cases) {
    messages_.clear();
    child<QLineEdit>(w, "txtFirstDate")->setText(c.first);
    child<QLineEdit>(w, "txtLastDate")->setText(c.last);
    w.onComputeClicked();
    ASSERT_EQ(messages_.size(), 1u) << c.first.toStdString();
    EXPECT_EQ(messages_[0].title, QStringLiteral("Oops"));
    EXPECT_EQ(messages_[0].text, c.message);
    EXPECT_EQ(messages_[0].icon, MsgIcon::Exclamation);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("chart.dat")))) << "no pass ran";
    EXPECT_EQ(child<QTreeWidget>(w, "lvwStatistics")->topLevelItemCount(), 0);
    EXPECT_FALSE(child<QPushButton>(w, "cmdGraph")->isEnabled());
  }
  // First after last: accepted, no run falls in the range.
  messages_.clear();
  child<QLineEdit>(w, "txtFirstDate")->setText(QStringLiteral("12/05/2026"));
  child<QLineEdit>(w, "txtLastDate")->setText(QStringLiteral("11/30/2026"));
  w.onComputeClicked();
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(row(w, 5), QStringList({"Total", "0", "0.0", "0.0", "0.0", "0.0"}));
}

TEST_F(FrmStatisticsTest, ChartWriteFailureIsReported) {
  writeSampleLog();
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("chart.dat")));
  frmStatistics w;
  w.onComputeClicked();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].text.startsWith(QStringLiteral("Could not write the chart file")));
  EXPECT_EQ(row(w, 5).value(1), QStringLiteral("4")) << "the table is still shown";
  EXPECT_FALSE(child<QPushButton>(w, "cmdGraph")->isEnabled());
}

TEST_F(FrmStatisticsTest, BrowseChoosesAnotherLog) {
  writeSampleLog();
  writeFile(QStringLiteral("Other.log"), "x");
  frmStatistics w;
  w.onComputeClicked();
  ASSERT_TRUE(child<QPushButton>(w, "cmdGraph")->isEnabled());

  QString start;
  frmStatistics::setLogFileChooser([&](QWidget*, const QString& s) -> std::optional<QString> {
    start = s;
    return std::nullopt;  // cancelled
  });
  w.onBrowseClicked();
  EXPECT_EQ(start, path(QStringLiteral("QVSum.log")));
  EXPECT_TRUE(child<QPushButton>(w, "cmdGraph")->isEnabled()) << "cancel changes nothing";

  // The same file again keeps the results.
  frmStatistics::setLogFileChooser(
      [&](QWidget*, const QString&) { return std::optional<QString>(path("QVSum.log")); });
  w.onBrowseClicked();
  EXPECT_EQ(child<QTreeWidget>(w, "lvwStatistics")->topLevelItemCount(), 6);

  // Another file resets the window.
  frmStatistics::setLogFileChooser(
      [&](QWidget*, const QString&) { return std::optional<QString>(path("Other.log")); });
  w.onBrowseClicked();
  EXPECT_EQ(child<QLineEdit>(w, "txtLogFileName")->text(), path(QStringLiteral("Other.log")));
  EXPECT_EQ(child<QTreeWidget>(w, "lvwStatistics")->topLevelItemCount(), 0);
  EXPECT_FALSE(child<QPushButton>(w, "cmdGraph")->isEnabled());
  EXPECT_TRUE(child<QLabel>(w, "lblTimePeriodStat")->text().isEmpty());
  EXPECT_TRUE(child<QCheckBox>(w, "chkAllDates")->isChecked());
  EXPECT_TRUE(child<QLineEdit>(w, "txtFirstDate")->text().isEmpty());

  // A missing current file starts the dialog with no name.
  child<QLineEdit>(w, "txtLogFileName")->setText(path(QStringLiteral("gone.log")));
  frmStatistics::setLogFileChooser([&](QWidget*, const QString& s) -> std::optional<QString> {
    start = s;
    return std::nullopt;
  });
  w.onBrowseClicked();
  EXPECT_TRUE(start.isEmpty());
}

}  // namespace
}  // namespace quorvel
