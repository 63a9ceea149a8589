#pragma once

#include <QDialog>


namespace quorvel {

// Window "Log File Graph".
class frmGraph : public QDialog {
  Q_OBJECT
 public:
  explicit frmGraph(QWidget* parent = nullptr);
};

}  // namespace quorvel
