#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvel {

// Window "Quorvel Options": whether the benchmark goes through a proxy server, and which.
// Loads the shared proxy state at every opening; OK validates, stores and saves it, Cancel and
// the close box leave everything as it was.
class frmOptions : public QDialog {
  Q_OBJECT
 public:
  explicit frmOptions(QWidget* parent = nullptr);

 public slots:
  void onOKClicked();
  void onCancelClicked();
  void onUseProxyServerClicked();

 private:
  void enableProxyFields();

  QGroupBox* fraProxyServer;
  QCheckBox* chkUseProxyServer;
  QLabel* lblAddress;
  QLineEdit* txtAddress;
  QLabel* lblPort;
  QLineEdit* txtPort;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;
};

}  // namespace quorvel
