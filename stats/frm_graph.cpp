#include "stats/frm_graph.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
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

// The time of a run's date and hour, in milliseconds as QDateTimeAxis takes them.
double hourMillis(std::int64_t hour) {
  const QDateTime t(QDate::fromJulianDay(hour / 24), QTime(int(hour % 24), 0));
  return double(t.toMSecsSinceEpoch());
}

// Every point has its date and hour: the chart can be drawn over time.
bool allDated(const std::vector<ChartPoint>& pts) {
  return !pts.empty() &&
         std::all_of(pts.begin(), pts.end(), [](const ChartPoint& p) { return p.hour != kNoHour; });
}

// In time order (a log edited by hand may not be), each at its date and hour, or else at its row.
QList<QPointF> plotPoints(std::vector<ChartPoint> pts, bool dated) {
  if (dated)
    std::stable_sort(pts.begin(), pts.end(),
                     [](const ChartPoint& a, const ChartPoint& b) { return a.hour < b.hour; });
  QList<QPointF> out;
  out.reserve(static_cast<qsizetype>(pts.size()));
  for (const ChartPoint& p : pts) out.append(QPointF(dated ? hourMillis(p.hour) : p.row, p.value));
  return out;
}

// A level line across the chart, named for the legend.
QLineSeries* levelLine(const QString& name, double level, double from, double to,
                       Qt::PenStyle style, const QColor& colour) {
  auto* line = new QLineSeries();
  line->setName(name + QLatin1Char(' ') + formatMask(level, "###0.0"));
  line->append(from, level);
  line->append(to, level);
  QPen pen(colour, 1.5, style);
  line->setPen(pen);
  return line;
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
  chart->setMargins(QMargins(4, 4, 4, 4));
  chart->setBackgroundRoundness(0);
  chart->legend()->setAlignment(Qt::AlignBottom);

  const bool dated = allDated(runs.points);
  auto* series = new QLineSeries();
  series->setName(QStringLiteral("Kbps"));
  series->replace(plotPoints(runs.points, dated));
  series->setPointsVisible(runs.points.size() <= 60);
  chart->addSeries(series);

  QAbstractAxis* axisX = dated ? dateAxis(series) : rowAxis(runs.rows);
  axisX->setTitleText(QStringLiteral("Time"));
  chart->addAxis(axisX, Qt::AlignBottom);

  double top = runs.mean;
  for (const ChartPoint& p : runs.points) top = std::max(top, p.value);
  auto* axisY = new QValueAxis();
  axisY->setTitleText(QStringLiteral("Kbps"));
  axisY->setRange(0.0, top > 0.0 ? top * 1.1 : 1.0);
  axisY->applyNiceNumbers();
  axisY->setLabelFormat(QStringLiteral("%g"));
  chart->addAxis(axisY, Qt::AlignLeft);

  // The period's mean and median as level lines across the whole axis, named in the legend.
  std::vector<QLineSeries*> all{series};
  if (runs.valued > 0) {
    const double from = dated ? static_cast<QDateTimeAxis*>(axisX)->min().toMSecsSinceEpoch()
                              : static_cast<QValueAxis*>(axisX)->min();
    const double to = dated ? static_cast<QDateTimeAxis*>(axisX)->max().toMSecsSinceEpoch()
                            : static_cast<QValueAxis*>(axisX)->max();
    all.push_back(
        levelLine(QStringLiteral("Mean"), runs.mean, from, to, Qt::DashLine, QColor(200, 60, 40)));
    if (runs.medianKnown)
      all.push_back(levelLine(QStringLiteral("Median"), runs.median, from, to, Qt::DotLine,
                              QColor(40, 140, 60)));
  }
  for (QLineSeries* s : all) {
    if (s != series) chart->addSeries(s);
    s->attachAxis(axisX);
    s->attachAxis(axisY);
  }
  chart->legend()->setVisible(all.size() > 1);

  static_cast<QChartView*>(MSChart1_)->setChart(chart);
  MSChart1_->show();
}

QAbstractAxis* frmGraph::dateAxis(const QLineSeries* series) const {
  auto* axis = new QDateTimeAxis();
  double first = series->at(0).x(), last = first;
  for (const QPointF& p : series->points())
    first = std::min(first, p.x()), last = std::max(last, p.x());
  constexpr double kHour = 3600.0 * 1000.0;
  if (last - first < kHour) first -= kHour, last += kHour;  // one hour of runs: room either side
  axis->setRange(QDateTime::fromMSecsSinceEpoch(qint64(first)),
                 QDateTime::fromMSecsSinceEpoch(qint64(last)));
  // Days within a week or so show their hours too; longer periods their dates alone.
  const bool hours = last - first <= 8 * 24 * kHour;
  axis->setFormat(hours ? QStringLiteral("MM-dd hh:mm") : QStringLiteral("MM-dd-yy"));
  // As many labels as fit the chart's width, two at least.
  const int labelWidth = fontMetrics().horizontalAdvance(hours ? QStringLiteral("00-00 00:00")
                                                               : QStringLiteral("00-00-00"));
  const int fit = MSChart1_->width() / (labelWidth + fontMetrics().averageCharWidth() * 4);
  axis->setTickCount(std::clamp(fit, 2, kGraphMaxLabels));
  return axis;
}

QAbstractAxis* frmGraph::rowAxis(std::int32_t rowCount) const {
  const int rows = std::max(1, rowCount);
  auto* axis = new QCategoryAxis();
  axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  axis->setRange(rows > 1 ? 1 : 0, rows > 1 ? rows : 2);
  if (rowCount > 0) {
    const std::int64_t step = labelStep(rowCount, kGraphMaxLabels);
    for (std::int64_t r = 1; r <= rowCount; r += step)
      axis->append(chartRowLabel(std::int32_t(r)), double(r));
  }
  return axis;
}

void frmGraph::onCloseClicked() {
  close();
}

}  // namespace quorvel
