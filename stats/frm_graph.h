#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace quorvel {

// Window "Log File Graph": the throughput of each run of chart.dat, one after the other.
class frmGraph : public QDialog {
  Q_OBJECT
 public:
  explicit frmGraph(QWidget* parent = nullptr);

  // More runs than this are drawn as the lowest and highest value of each of at most
  // kGraphMaxPoints / 2 equal groups of consecutive runs (ChartThinner), so that the chart
  // stays quick and its memory bounded however long chart.dat is; every run is drawn.
  static constexpr int kGraphMaxPoints = 4000;
  // At most this many row labels ("x  1", ...) stand under the time axis.
  static constexpr int kGraphMaxLabels = 12;

 public slots:
  void onCloseClicked();

 private:
  void loadChart();

  QLabel* lblTitle_;
  QWidget* MSChart1_;
  QPushButton* cmdClose_;
};

}  // namespace quorvel
