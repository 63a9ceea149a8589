#pragma once

#include <QDialog>


namespace quorvel {

// Window "Log File Statistics".
class frmStatistics : public QDialog {
  Q_OBJECT
 public:
  explicit frmStatistics(QWidget* parent = nullptr);
};

}  // namespace quorvel
