#pragma once

#include <QDialog>
#include <QStringList>
#include <array>

#include "tools/icmp_echo.h"
#include "tools/ping_report.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quorvel {

// Window "Quorvel - Ping".
// urlSources: the main window's URL box, its current text first, then its list entries.
//
// Sends a series of echo requests to one host, one line per request, with running statistics.
// Keeps its time-out and request count in section "Ping" of the settings file: read when the
// window opens, written when it closes.
class frmPing : public QDialog {
  Q_OBJECT
 public:
  explicit frmPing(const QStringList& urlSources, QWidget* parent = nullptr);

  // Where the echo endpoint of each series comes from (the real sockets unless a test says so).
  void setEchoOpener(IcmpOpener opener);

  bool isRunning() const { return running_; }
  const PingStats& stats() const { return stats_; }
  // How much the twips layout was enlarged to fit the font (1 when it fits as designed).
  double layoutScale() const { return scale_; }

 public slots:
  void onRunClicked();
  void onCloseClicked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void done(int result) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void loadSettings();
  void saveSettings();
  void RunPingSeries();
  // One request: -1 for an address that is not dotted IPv4 (nothing is sent), otherwise the
  // status of the exchange, with `reply` filled in.
  int Ping(IcmpEcho* echo, const QString& address, int dataSize, int timeoutMs, EchoResult& reply);
  void appendText(const QString& text);
  void showStats();

  QLabel* lblAddress_;
  QComboBox* cboAddress_;
  QLabel* lblNumRequests_;
  QLineEdit* txtNumRequests_;
  QLabel* lblTimeOut_;
  QLineEdit* txtTimeOut_;
  QPlainTextEdit* txtResults_;
  std::array<QLabel*, 5> lblStats_{};
  std::array<QLineEdit*, 5> txtStats_{};
  QPushButton* cmdRun_;
  QPushButton* cmdClose_;

  IcmpOpener opener_;
  PingStats stats_;
  double scale_ = 1.0;
  bool running_ = false;
  bool closePending_ = false;
};

}  // namespace quorvel
