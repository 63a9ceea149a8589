#pragma once

#include <QDialog>

class QLabel;
class QTabWidget;
class QTreeWidget;

namespace quorvel {

class RunRequests;
class WaterfallTab;

// "Quorvel - Last Run": why the last run's requests failed, every request's figures, and each
// page's requests in time (the waterfall). A tab each.
class frmRunRequests : public QDialog {
  Q_OBJECT
 public:
  explicit frmRunRequests(const RunRequests& requests, QWidget* parent = nullptr);

 private:
  QLabel* lblSummary_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QTreeWidget* lvwFailures_ = nullptr;
  QTreeWidget* lvwRequests_ = nullptr;
  WaterfallTab* waterfall_ = nullptr;
};

}  // namespace quorvel
