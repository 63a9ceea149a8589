#include "stats/frm_graph.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>
#include <algorithm>

#include "core/app_state.h"
#include "core/message_box.h"
#include "core/number_format.h"
#include "core/twips.h"
#include "stats/chart_file.h"

namespace quorvel {

namespace {
// A step between labelled rows that keeps the labels to about `maxLabels`: 1, 2, 5, 10, 20...
std::int64_t labelStep(std::int64_t rows, int maxLabels) {
  for (std::int64_t scale = 1;; scale *= 10)
    for (int m : {1, 2, 5})
      if (rows / (m * scale) < maxLabels) return m * scale;
}

QList<QPointF> plotPoints(const std::vector<ChartPoint>& pts) {
  QList<QPointF> out;
  out.reserve(static_cast<qsizetype>(pts.size()));
  for (const ChartPoint& p : pts) out.append(QPointF(p.row, p.value));
  return out;
}
}  // namespace

frmGraph::frmGraph(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmGraph"));
  setWindowTitle(QStringLiteral("Log File Graph"));

  lblTitle_ = new QLabel(QStringLiteral("Title"), this);
  lblTitle_->setObjectName(QStringLiteral("lblTitle"));
  lblTitle_->setAlignment(Qt::AlignCenter);
  auto* view = new QChartView(this);
  view->setObjectName(QStringLiteral("MSChart1"));
  view->setRenderHint(QPainter::Antialiasing);
  MSChart1_ = view;
  cmdClose_ = new QPushButton(QStringLiteral("&Close"), this);
  cmdClose_->setObjectName(QStringLiteral("cmdClose"));

  placeTwips(lblTitle_, 240, 120, 7695, 255);
  placeTwips(MSChart1_, 240, 600, 7695, 3015);
  placeTwips(cmdClose_, 3480, 3840, 1095, 375);
  resizeTwips(this, 8175, 4695);
  growToFit(this);

  connect(cmdClose_, &QPushButton::clicked, this, &frmGraph::onCloseClicked);
  loadChart();
}

void frmGraph::loadChart() {
  MSChart1_->hide();
  const QString file = QStringLiteral("chart.dat");
  const ChartData runs = readChartFile(appState().filePath(file), kChartRunCap, kGraphMaxPoints);
  QString title = chartTitle(runs.firstDate, runs.lastDate);
  if (runs.capped)
    title += QStringLiteral(" (first %1 runs)").arg(formatMask(double(runs.rows), "#,##0"));
  lblTitle_->setText(title);
  if (!runs.status.ok() && runs.status.trouble != FileTrouble::Missing)
    showMessage(this, QStringLiteral("Oops"),
                QStringLiteral("%1 could not be read (%2).").arg(file, runs.status.reason()),
                MsgIcon::Exclamation);

  auto* chart = new QChart();
  chart->legend()->hide();
  chart->setMargins(QMargins(4, 4, 4, 4));
  chart->setBackgroundRoundness(0);

  auto* series = new QLineSeries();
  series->setName(QStringLiteral("Kbps"));
  series->replace(plotPoints(runs.points));
  series->setPointsVisible(runs.points.size() <= 60);
  chart->addSeries(series);

  const int rows = std::max(1, runs.rows);
  auto* axisX = new QCategoryAxis();
  axisX->setTitleText(QStringLiteral("Time"));
  axisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  axisX->setRange(rows > 1 ? 1 : 0, rows > 1 ? rows : 2);
  if (runs.rows > 0) {
    const std::int64_t step = labelStep(runs.rows, kGraphMaxLabels);
    for (std::int64_t r = 1; r <= runs.rows; r += step)
      axisX->append(chartRowLabel(std::int32_t(r)), double(r));
  }
  chart->addAxis(axisX, Qt::AlignBottom);
  series->attachAxis(axisX);

  double top = 0.0;
  for (const ChartPoint& p : runs.points) top = std::max(top, p.value);
  auto* axisY = new QValueAxis();
  axisY->setTitleText(QStringLiteral("Kbps"));
  axisY->setRange(0.0, top > 0.0 ? top * 1.1 : 1.0);
  axisY->applyNiceNumbers();
  axisY->setLabelFormat(QStringLiteral("%g"));
  chart->addAxis(axisY, Qt::AlignLeft);
  series->attachAxis(axisY);

  static_cast<QChartView*>(MSChart1_)->setChart(chart);
  MSChart1_->show();
}

void frmGraph::onCloseClicked() {
  close();
}

}  // namespace quorvel
