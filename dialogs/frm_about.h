#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace quorvel {

class HyperText;
class SysInfoPlatform;

// Window "About Quorvel": name, version, copyright, the support links and a button that starts
// the desktop's system-information program.
class frmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit frmAbout(QWidget* parent = nullptr);
  ~frmAbout() override;

  // The system on which StartSysInfo() looks for and starts its program; tests put a fake here.
  // Not owned; nullptr puts the real system back.
  void setSysInfoPlatform(SysInfoPlatform* platform);

 public slots:
  // Starts the system-information program, or says that there is none.
  void StartSysInfo();

 private:
  QLabel* picIcon;
  QLabel* lblTitle;
  QLabel* lblVersion;
  QLabel* lblDescription;
  QLabel* lblTechSupport;
  QLabel* lblEMail;
  QLabel* lblEMailLink;
  QLabel* lblWeb;
  QLabel* lblWebLink;
  QFrame* linSeparator1;
  QFrame* linSeparator2;
  QPushButton* cmdOK;
  QPushButton* cmdSysInfo;

  HyperText* webLink_;
  HyperText* emailLink_;
  SysInfoPlatform* sysInfo_ = nullptr;
};

}  // namespace quorvel
