#pragma once

#include <QDialog>


namespace quorvel {

// Window "Quorvel Options".
class frmOptions : public QDialog {
  Q_OBJECT
 public:
  explicit frmOptions(QWidget* parent = nullptr);
};

}  // namespace quorvel
