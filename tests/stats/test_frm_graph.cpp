#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>

#include "common/test_support.h"
#include "stats/frm_graph.h"

namespace quorvel {
namespace {

class FrmGraphTest : public testing::AppFolderTest {
 protected:
  struct Shown {
    QString title;
    qsizetype points = 0;
    QStringList labels;
    QString xTitle, yTitle;
  };
  Shown show(const QByteArray& chartFile) {
    writeFile(QStringLiteral("chart.dat"), chartFile);
    frmGraph g;
    Shown s;
    s.title = g.findChild<QLabel*>(QStringLiteral("lblTitle"))->text();
    auto* view = g.findChild<QChartView*>(QStringLiteral("MSChart1"));
    EXPECT_NE(view, nullptr);
    if (!view) return s;
    EXPECT_FALSE(view->isHidden());
    QChart* chart = view->chart();
    const auto series = chart->series();
    EXPECT_EQ(series.size(), 1);
    if (auto* line = qobject_cast<QLineSeries*>(series.value(0))) s.points = line->count();
    for (QAbstractAxis* a : chart->axes(Qt::Horizontal)) {
      s.xTitle = a->titleText();
      if (auto* c = qobject_cast<QCategoryAxis*>(a)) s.labels = c->categoriesLabels();
    }
    for (QAbstractAxis* a : chart->axes(Qt::Vertical)) s.yTitle = a->titleText();
    return s;
  }
};

TEST_F(FrmGraphTest, DrawsTheRunsUnderTheirTitle) {
  const Shown s = show(
      "01-05-03 02-10-03\r\n 3\r\n01-05-03 09 100\r\n01-06-03 10 25.5\r\n"
      "02-10-03 21 60\r\n");
  EXPECT_EQ(s.title, QStringLiteral("Average Download Speed for Period 01-05-03 to 02-10-03"));
  EXPECT_EQ(s.points, 3);
  EXPECT_EQ(s.labels, QStringList({"x  1", "x  2", "x  3"}));
  EXPECT_EQ(s.xTitle, QStringLiteral("Time"));
  EXPECT_EQ(s.yTitle, QStringLiteral("Kbps"));

  frmGraph g;
  EXPECT_EQ(g.windowTitle(), QStringLiteral("Log File Graph"));
  auto* close = g.findChild<QPushButton*>(QStringLiteral("cmdClose"));
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(close->text(), QStringLiteral("&Close"));
  g.show();
  close->click();
  EXPECT_FALSE(g.isVisible());
}

TEST_F(FrmGraphTest, ManyRunsStayQuickAndLabelsStayFew) {
  QByteArray data = "01-05-03 02-10-03\r\n 200000\r\n";
  for (int i = 0; i < 200000; ++i)
    data += "01-05-03 09 " + QByteArray::number(i % 500 + 1) + "\r\n";
  const Shown s = show(data);
  EXPECT_LE(s.points, frmGraph::kGraphMaxPoints);
  EXPECT_GT(s.points, 100);
  EXPECT_LE(s.labels.size(), frmGraph::kGraphMaxLabels);
  EXPECT_EQ(s.labels.value(0), QStringLiteral("x  1"));
}

// Runs beyond the millionth are drawn too: the chart spans every run its title's period names.
TEST_F(FrmGraphTest, EveryRunOfALongPeriodIsDrawn) {
  constexpr int kRuns = 1'200'000;
  QByteArray data = "01-05-03 02-10-03\r\n " + QByteArray::number(kRuns) + "\r\n";
  data.reserve(kRuns * 16);
  for (int i = 1; i <= kRuns; ++i)
    data += i > 1'100'000 ? "02-10-03 21 9000\r\n" : "01-05-03 09 100\r\n";
  writeFile(QStringLiteral("chart.dat"), data);
  frmGraph g;
  auto* view = g.findChild<QChartView*>(QStringLiteral("MSChart1"));
  ASSERT_NE(view, nullptr);
  auto* line = qobject_cast<QLineSeries*>(view->chart()->series().value(0));
  ASSERT_NE(line, nullptr);
  EXPECT_LE(line->count(), frmGraph::kGraphMaxPoints);
  double lastX = 0, top = 0;
  for (const QPointF& p : line->points()) {
    lastX = std::max(lastX, p.x());
    top = std::max(top, p.y());
  }
  EXPECT_GT(lastX, 1'199'000.0);
  EXPECT_EQ(top, 9000.0);
  for (QAbstractAxis* a : view->chart()->axes(Qt::Horizontal))
    EXPECT_EQ(static_cast<QCategoryAxis*>(a)->max(), double(kRuns));
  EXPECT_EQ(g.findChild<QLabel*>(QStringLiteral("lblTitle"))->text(),
            QStringLiteral("Average Download Speed for Period 01-05-03 to 02-10-03"));
}

TEST_F(FrmGraphTest, BrokenChartFilesShowWhatTheyCan) {
  // Missing file: no dates, no runs.
  Shown s = show({});
  EXPECT_EQ(s.title, QStringLiteral("Average Download Speed for Period  to "));
  EXPECT_EQ(s.points, 0);
  const QByteArray head = "01-05-03 02-10-03\r\n";
  const QByteArray three = "a 01 10\r\nb 02 20\r\nc 03 30\r\n";
  EXPECT_EQ(show(head + " 0\r\n" + three).points, 0);
  EXPECT_EQ(show(head + " 2\r\n" + three).points, 2);
  EXPECT_EQ(show(head + " 9\r\n" + three).points, 3);
  EXPECT_EQ(show(head + " 2000000000\r\n" + three).points, 3);
  EXPECT_EQ(show(head + " lots\r\n" + three).points, 0);
  EXPECT_EQ(show(head + " 3\r\na 01 fast\r\nb\r\nc 03 30\r\n").points, 1);
  EXPECT_EQ(show(QByteArray(10000, '\0')).points, 0);
}

}  // namespace
}  // namespace quorvel
