#pragma once

#include <QDialog>

class QLabel;
class QTabWidget;
class QTreeWidget;

namespace quorvel {

class RunRequests;

// "Quorvel - Last Run": why the last run's requests failed, and every request's figures. A tab
// each, so that other views of the run can join them.
class frmRunRequests : public QDialog {
  Q_OBJECT
 public:
  explicit frmRunRequests(const RunRequests& requests, QWidget* parent = nullptr);

 private:
  QLabel* lblSummary_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QTreeWidget* lvwFailures_ = nullptr;
  QTreeWidget* lvwRequests_ = nullptr;
};

}  // namespace quorvel
