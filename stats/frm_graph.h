#pragma once

#include <QDialog>
#include <cstdint>

class QAbstractAxis;
class QLineSeries;

class QLabel;
class QPushButton;

namespace quorvel {

// Window "Log File Graph": the throughput of each run of chart.dat over the runs' dates and
// hours, with the period's mean and median. A chart file whose lines carry no usable date is
// drawn one run after the other, the time axis labelled "x  1", "x  2", ...
class frmGraph : public QDialog {
  Q_OBJECT
 public:
  explicit frmGraph(QWidget* parent = nullptr);

  // More runs than this are drawn as the lowest and highest value of each of at most
  // kGraphMaxPoints / 2 equal groups of consecutive runs (ChartThinner), so that the chart
  // stays quick and its memory bounded however long chart.dat is; every run is drawn.
  static constexpr int kGraphMaxPoints = 4000;
  // At most this many labels (dates, or "x  1", ...) stand under the time axis.
  static constexpr int kGraphMaxLabels = 12;

 public slots:
  void onCloseClicked();

 private:
  void loadChart();
  // The time axis: the runs' dates over the range of the series, labels as many as fit.
  QAbstractAxis* dateAxis(const QLineSeries* series) const;
  // The time axis without dates: rows 1 to n, every so many labelled.
  QAbstractAxis* rowAxis(std::int32_t rows) const;

  QLabel* lblTitle_;
  QWidget* MSChart1_;
  QPushButton* cmdClose_;
};

}  // namespace quorvel
