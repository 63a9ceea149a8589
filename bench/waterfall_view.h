// The "Waterfall" tab of the last run's window: a page chooser (when the run loaded more than
// one page), one row per request with its bar in time, a legend and the selected request's
// details under the list. Only the rows in sight are drawn, so a page of ten thousand requests
// opens as fast as a small one.
#pragma once

#include <QColor>
#include <QWidget>

#include "bench/run_waterfall.h"

class QComboBox;
class QLabel;
class QTreeView;

namespace quorvel {

class RunRequests;
class WaterfallModel;

// The colour of each phase, and of a failed request's bar where nothing of it was measured.
QColor PhaseColor(Phase phase);
QColor FailedBarColor();
// The colours of the page's marks: first byte, DOMContentLoaded, load.
QColor FirstByteColor();
QColor ContentLoadColor();
QColor LoadColor();

class WaterfallTab : public QWidget {
  Q_OBJECT
 public:
  explicit WaterfallTab(const RunRequests& run, QWidget* parent = nullptr);

  // The page shown, by its place among the run's pages.
  void showPage(int index);

 private:
  void showDetails();

  const RunRequests& run_;
  QList<WaterfallPage> pages_;
  QLabel* lblPage_ = nullptr;
  QComboBox* cboPage_ = nullptr;
  QTreeView* lvwWaterfall_ = nullptr;
  WaterfallModel* model_ = nullptr;
  QLabel* lblDetails_ = nullptr;
};

}  // namespace quorvel
