#pragma once

#include <QDialog>


namespace quorvel {

// Window "Quorvel - FTP".
class frmFTP : public QDialog {
  Q_OBJECT
 public:
  explicit frmFTP(QWidget* parent = nullptr);
};

}  // namespace quorvel
