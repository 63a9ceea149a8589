#pragma once

#include <QDialog>


namespace quorvel {

// Window "About Quorvel".
class frmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit frmAbout(QWidget* parent = nullptr);
};

}  // namespace quorvel
