#include "stats/statistics_history.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/number_format.h"
#include "stats/log_statistics.h"

namespace quorvel {

namespace {
QString scaleText(float low, float high) {
  return QStringLiteral(
             "Median Kbps of each hour: red %1 (slowest) to green %2 (fastest); "
             "blank hours have no runs.")
      .arg(formatMask(low, "###0.0"), formatMask(high, "###0.0"));
}

QString cellTip(const HourCell& c) {
  return QStringLiteral("%1 %2:00-%2:59\n%3 run(s)\nMedian %4 Kbps\nMedian page load %5 s")
      .arg(weekdayName(c.weekday))
      .arg(c.hour, 2, 10, QLatin1Char('0'))
      .arg(c.count)
      .arg(formatMask(c.medKbps, "###0.0"), formatMask(c.medPageLoad, "###0.0"));
}
}  // namespace

StatisticsHistory::StatisticsHistory(QWidget* parent) : QTabWidget(parent) {
  setObjectName(QStringLiteral("tabHistory"));
  addTab(makePercentilesTab(), QStringLiteral("&Percentiles"));
  addTab(makeHeatMapTab(), QStringLiteral("&Weekday by hour"));
  fitColumns();
}

QWidget* StatisticsHistory::makePercentilesTab() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  lvwPercentiles_ = new QTreeWidget(page);
  lvwPercentiles_->setObjectName(QStringLiteral("lvwPercentiles"));
  // Titles on two lines ("Kbps" over "p5") keep the thirteen columns narrow.
  QStringList titles{QStringLiteral("Day Part")};
  for (const QString& t : percentileColumnTitles()) {
    const qsizetype blank = t.lastIndexOf(QLatin1Char(' '));
    titles << t.left(blank) + QLatin1Char('\n') + t.mid(blank + 1);
  }
  lvwPercentiles_->setColumnCount(int(titles.size()));
  lvwPercentiles_->setHeaderLabels(titles);
  lvwPercentiles_->setRootIsDecorated(false);
  lvwPercentiles_->setUniformRowHeights(true);
  lvwPercentiles_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvwPercentiles_->setAllColumnsShowFocus(true);
  lvwPercentiles_->header()->setStretchLastSection(false);
  lvwPercentiles_->header()->setSectionsMovable(false);
  for (int c = 1; c < lvwPercentiles_->columnCount(); ++c)
    lvwPercentiles_->headerItem()->setTextAlignment(c, Qt::AlignCenter);
  lblPercentileNote_ = new QLabel(percentileNote(), page);
  lblPercentileNote_->setObjectName(QStringLiteral("lblPercentileNote"));
  lblPercentileNote_->setWordWrap(true);
  layout->addWidget(lvwPercentiles_);
  layout->addWidget(lblPercentileNote_);
  return page;
}

QWidget* StatisticsHistory::makeHeatMapTab() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  grdWeekdayHours_ = new QTableWidget(7, 24, page);
  grdWeekdayHours_->setObjectName(QStringLiteral("grdWeekdayHours"));
  QStringList days, hours;
  for (int d = 1; d <= 7; ++d) days << weekdayName(d);
  for (int h = 0; h < 24; ++h) hours << QString::number(h);
  grdWeekdayHours_->setVerticalHeaderLabels(days);
  grdWeekdayHours_->setHorizontalHeaderLabels(hours);
  grdWeekdayHours_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdWeekdayHours_->setSelectionMode(QAbstractItemView::SingleSelection);
  grdWeekdayHours_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grdWeekdayHours_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grdWeekdayHours_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grdWeekdayHours_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  lblHeatScale_ = new QLabel(page);
  lblHeatScale_->setObjectName(QStringLiteral("lblHeatScale"));
  lblHeatScale_->setWordWrap(true);
  layout->addWidget(grdWeekdayHours_);
  layout->addWidget(lblHeatScale_);
  return page;
}

void StatisticsHistory::fitColumns() {
  QTreeWidget* lvw = lvwPercentiles_;
  const int pad = 14;
  const int number = lvw->fontMetrics().horizontalAdvance(QStringLiteral("00000.0")) + pad;
  int label = lvw->header()->sectionSizeHint(0);
  for (const DayPartRow& row : kDayPartRows)
    label =
        std::max(label, lvw->fontMetrics().horizontalAdvance(QString::fromLatin1(row.label)) + pad);
  lvw->setColumnWidth(0, label);
  for (int c = 1; c < lvw->columnCount(); ++c)
    lvw->setColumnWidth(c, std::max(number, lvw->header()->sectionSizeHint(c)));

  QTableWidget* grid = grdWeekdayHours_;
  const int cell = grid->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 8;
  for (int h = 0; h < 24; ++h) grid->setColumnWidth(h, cell);
  const int row = grid->fontMetrics().height() + 6;
  for (int d = 0; d < 7; ++d) grid->setRowHeight(d, row);
  grid->setFixedSize(
      grid->verticalHeader()->sizeHint().width() + 24 * cell + 2 * grid->frameWidth() + 1,
      grid->horizontalHeader()->sizeHint().height() + 7 * row + 2 * grid->frameWidth() + 1);
}

QSize StatisticsHistory::sizeHint() const {
  int columns = 2 * lvwPercentiles_->frameWidth() + 2;
  for (int c = 0; c < lvwPercentiles_->columnCount(); ++c)
    columns += lvwPercentiles_->columnWidth(c);
  const int rows = lvwPercentiles_->header()->sizeHint().height() +
                   6 * (lvwPercentiles_->fontMetrics().height() + 6) +
                   2 * lvwPercentiles_->frameWidth() + 2;
  const int margins = 24;
  const int note = 2 * fontMetrics().height() + 8;
  const int width = std::max(columns, grdWeekdayHours_->width()) + margins;
  const int height =
      std::max(rows, grdWeekdayHours_->height()) + note + margins + tabBar()->sizeHint().height();
  return {width, height};
}

QColor StatisticsHistory::heatColour(float kbps, float low, float high) {
  const double share = high > low ? std::clamp((double(kbps) - low) / (high - low), 0.0, 1.0) : 1.0;
  return QColor::fromHsv(int(120 * share), 150, 235);
}

void StatisticsHistory::showResults(const std::array<Percentiles, 6>& percentiles,
                                    const WeekdayHours& cells) {
  clearResults();
  for (size_t i = 0; i < kDayPartRows.size(); ++i) {
    auto* item = new QTreeWidgetItem(QStringList{QString::fromLatin1(kDayPartRows[i].label)} +
                                     percentileRowTexts(percentiles[i]));
    for (int c = 1; c < item->columnCount(); ++c) item->setTextAlignment(c, Qt::AlignCenter);
    lvwPercentiles_->addTopLevelItem(item);
  }

  float low = 0.0f, high = 0.0f;
  bool any = false;
  for (const HourCell& c : cells) {
    if (c.count == 0) continue;
    low = any ? std::min(low, c.medKbps) : c.medKbps;
    high = any ? std::max(high, c.medKbps) : c.medKbps;
    any = true;
  }
  for (const HourCell& c : cells) {
    if (c.count == 0) continue;
    auto* item = new QTableWidgetItem();
    item->setBackground(heatColour(c.medKbps, low, high));
    item->setToolTip(cellTip(c));
    item->setData(Qt::UserRole, double(c.medKbps));
    grdWeekdayHours_->setItem(c.weekday - 1, c.hour, item);
  }
  lblHeatScale_->setText(any ? scaleText(low, high) : QStringLiteral("No runs counted."));
}

void StatisticsHistory::clearResults() {
  lvwPercentiles_->clear();
  grdWeekdayHours_->clearContents();
  lblHeatScale_->clear();
}

}  // namespace quorvel
