// chart.dat and the graph window that draws it. That any file reads safely, that thinning keeps
// the highs and lows and that what is written reads back is fuzz_chart_file's.
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QPushButton>
#include <QTest>

#include "common/test_support.h"
#include "stats/chart_file.h"
#include "stats/frm_graph.h"

namespace quorvel {
namespace {

using testing::shown;
using testing::widget;

class ChartTest : public testing::AppFolderTest {
 protected:
  // What the graph window draws of a chart file.
  struct Drawn {
    QString title;
    qsizetype points = 0;
    double axisEnd = 0, lastX = 0, top = 0;
    QStringList labels;  // of an axis of rows
    QStringList legend;  // the runs' line, then the mean's and the median's
    bool dated = false;
    QDateTime first, last;  // of a date axis
    int ticks = 0;
  };
  Drawn draw(const QByteArray& chartFile) {
    writeFile("chart.dat", chartFile);
    frmGraph g;
    g.show();
    Drawn d;
    d.title = shown(&g, "lblTitle");
    QChart* chart = widget<QChartView>(&g, "MSChart1")->chart();
    for (QAbstractSeries* s : chart->series()) d.legend << s->name();
    auto* line = qobject_cast<QLineSeries*>(chart->series().value(0));
    d.points = line->count();
    for (const QPointF& p : line->points())
      d.lastX = std::max(d.lastX, p.x()), d.top = std::max(d.top, p.y());
    QAbstractAxis* time = chart->axes(Qt::Horizontal).value(0);
    if (auto* x = qobject_cast<QCategoryAxis*>(time)) {
      d.labels = x->categoriesLabels();
      d.axisEnd = x->max();
    } else if (auto* dates = qobject_cast<QDateTimeAxis*>(time)) {
      d.dated = true;
      d.first = dates->min();
      d.last = dates->max();
      d.ticks = dates->tickCount();
    }
    EXPECT_EQ(time->titleText() + " " + chart->axes(Qt::Vertical).value(0)->titleText(),
              "Time Kbps");
    QTest::mouseClick(widget<QPushButton>(&g, "cmdClose"), Qt::LeftButton);
    EXPECT_FALSE(g.isVisible());
    return d;
  }
};

// Over the runs' dates and hours, with the period's mean and its median (the table's: one run).
TEST_F(ChartTest, TheGraphDrawsTheRunsOverTheirDatesUnderTheirTitle) {
  const Drawn d =
      draw("01-05-03 02-10-03\r\n 3\r\n01-05-03 09 100\r\n01-06-03 10 25.5\r\n02-10-03 21 60\r\n");
  EXPECT_EQ(d.title, "Average Download Speed for Period 01-05-03 to 02-10-03");
  EXPECT_EQ(d.points, 3);
  EXPECT_TRUE(d.dated);
  EXPECT_EQ(d.first, QDateTime(QDate(2003, 1, 5), QTime(9, 0)));
  EXPECT_EQ(d.last, QDateTime(QDate(2003, 2, 10), QTime(21, 0)));
  EXPECT_GE(d.ticks, 2);
  EXPECT_LE(d.ticks, frmGraph::kGraphMaxLabels);
  EXPECT_EQ(d.legend, QStringList({"Kbps", "Mean 61.8", "Median 60.0"}));
  EXPECT_EQ(d.top, 100.0);
  // Lines without dates are drawn one after the other, as "x  1", "x  2", ...
  const Drawn rows = draw("a b\r\n 3\r\nx 09 100\r\ny 10 25.5\r\n02-10-03 21 60\r\n");
  EXPECT_FALSE(rows.dated);
  EXPECT_EQ(rows.labels, QStringList({"x  1", "x  2", "x  3"}));
  EXPECT_EQ(rows.legend.size(), 3);
}

// What a broken file still shows: the rows there are, up to the count, each with a number.
// (Files of any bytes and counts of any size are fuzz_chart_file's.)
TEST_F(ChartTest, BrokenChartFilesShowWhatTheyCan) {
  const QByteArray head = "01-05-03 02-10-03\r\n", three = "a 01 10\r\nb 02 20\r\nc 03 30\r\n";
  const std::pair<QByteArray, qsizetype> files[] = {
      {"", 0},
      {head + " 0\r\n" + three, 0},
      {head + " 2\r\n" + three, 2},  // the surplus is left out
      {head + " 9\r\n" + three, 3},  // fewer lines than the count
      {"x y\n 99999999999999999999999999\n" + three, 3},
      {head + " lots\r\n" + three, 0},
      {head + " 4\r\na 09 fast\r\nb 10\r\n\r\nc 11 30.5kbps\r\n", 1},
      {"a b\r\n 3\r\n" + QByteArray(200000, '7') + "\r\nb 10 20\r\n", 1},
  };
  for (const auto& [file, points] : files)
    EXPECT_EQ(draw(file).points, points) << file.left(40).data();
  EXPECT_EQ(draw("").title, "Average Download Speed for Period  to ");
}

// Runs beyond the millionth are drawn too: the chart spans every run its title's period names,
// thinned for drawing, with few labels; the mean and median are of every run.
TEST_F(ChartTest, EveryRunOfALongPeriodIsDrawn) {
  constexpr int kRuns = 1'200'000;
  QByteArray data = "01-05-03 02-10-03\r\n " + QByteArray::number(kRuns) + "\r\n";
  data.reserve(kRuns * 16);
  for (int i = 1; i <= kRuns; ++i)
    data += i > 1'100'000 ? "02-10-03 21 9000\r\n" : "01-05-03 09 100\r\n";
  const Drawn d = draw(data);
  EXPECT_LE(d.points, frmGraph::kGraphMaxPoints);
  EXPECT_GT(d.points, 100);
  EXPECT_LE(d.ticks, frmGraph::kGraphMaxLabels);
  EXPECT_EQ(d.first, QDateTime(QDate(2003, 1, 5), QTime(9, 0)));
  EXPECT_EQ(d.last, QDateTime(QDate(2003, 2, 10), QTime(21, 0)));
  EXPECT_EQ(d.top, 9000.0);
  EXPECT_EQ(d.legend, QStringList({"Kbps", "Mean 841.7", "Median 100.0"}));
}

TEST_F(ChartTest, ALineEndAcrossTheReadersBlocksEndsOneLine) {
  constexpr qsizetype kBlock = 1 << 20;
  QByteArray data = "a b\r\n 999999\r\n";
  while (data.size() + 8 + 20 < kBlock) data += "d 01 5\r\n";
  data += "d 01 6" + QByteArray(kBlock - 1 - data.size() - 6, ' ');
  data += "\r\nd 01 7\rd 01 8\n";
  writeFile("chart.dat", data);
  const ChartData c = readChartFile(path("chart.dat"));
  const qsizetype lines = data.count('\n') + 1 - 2;  // "\r" alone ends one line too
  EXPECT_EQ(c.rows, lines);
  EXPECT_DOUBLE_EQ(c.points.back().value, 8.0);
}

}  // namespace
}  // namespace quorvel
