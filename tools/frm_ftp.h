#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>

#include "core/display_throttle.h"
#include "tools/ftp_client.h"
#include "tools/ftp_recent.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace quorvel {

// Window "Quorvel - FTP": downloads one remote file by anonymous FTP into Quorvel.tmp in the
// application folder and reports bytes, seconds and throughput. Keeps the ten most recent
// remote files in the settings file (section FTP, File1..File10).
class frmFTP : public QDialog {
  Q_OBJECT
 public:
  explicit frmFTP(QWidget* parent = nullptr);
  ~frmFTP() override;

  // The connection used by the next run (the window owns it; by default one over libcurl).
  void setClient(std::unique_ptr<FtpClient> client);

  const RemoteFileList& remoteFiles() const { return remoteFiles_; }

 public slots:
  void onRunClicked();
  void onCloseClicked();
  void onRemoteFileChanged(const QString& text);

  // One download test for the text of cboRemoteFile, written into txtResults.
  void RunFTPTest();

  // Moves the text of cboRemoteFile to the top of the recent list, shows the list and
  // saves it.
  void UpdateFTPIniStuff();

 public:
  void done(int result) override;

 private:
  void fillList();  // the list control from the recent list, slot 1 in the edit field
  void showResults(const QString& text);
  void showTransfer();     // the transfer's bytes and time in the status line, once past a second
  void dropInputOfTransfer();  // keys and clicks given while the transfer ran
  void unload();

  QLabel* lblFTPFileName_;
  QComboBox* cboRemoteFile_;
  QLabel* lblResults_;
  QPlainTextEdit* txtResults_;
  QPushButton* cmdRun_;
  QPushButton* cmdClose_;
  QLabel* lblProgress_;

  std::int64_t transferStart_ = -1;  // monotonic clock; -1 when no transfer runs
  QString localFile_;
  DisplayThrottle display_;

  std::unique_ptr<FtpClient> client_;
  RemoteFileList remoteFiles_;
  QString previousText_;
  bool listReady_ = false;  // false while the window itself fills the list
  bool busy_ = false;       // a transfer runs
};

}  // namespace quorvel
