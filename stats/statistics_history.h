// Below the statistics table: the percentiles of its rows and the runs by weekday and hour as
// a heat map, each on a tab of its own, filled by the same computation as the table.
#pragma once

#include <QTabWidget>
#include <array>

#include "stats/percentiles.h"
#include "stats/weekday_hours.h"

class QLabel;
class QTableWidget;
class QTreeWidget;

namespace quorvel {

class StatisticsHistory : public QTabWidget {
  Q_OBJECT
 public:
  explicit StatisticsHistory(QWidget* parent = nullptr);

  void showResults(const std::array<Percentiles, 6>& percentiles, const WeekdayHours& cells);
  void clearResults();

  // The heat map's colour for a median throughput within [low, high]: red for the slowest
  // hour of the week, through yellow, to green for the fastest.
  static QColor heatColour(float kbps, float low, float high);

  // The size that shows both tabs whole.
  QSize sizeHint() const override;

 private:
  QWidget* makePercentilesTab();
  QWidget* makeHeatMapTab();
  void fitColumns();

  QTreeWidget* lvwPercentiles_;
  QLabel* lblPercentileNote_;
  QTableWidget* grdWeekdayHours_;
  QLabel* lblHeatScale_;
};

}  // namespace quorvel
