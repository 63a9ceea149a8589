#pragma once

#include <QDialog>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "tools/icmp_echo.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quorvel {

// Window "Quorvel - TraceRoute".
// urlSources: the main window's URL box, its current text first, then its list entries.
//
// Sends echo requests with a TTL of 1, 2, 3, ... and lists, hop by hop, the answering address,
// the time of each request and, on request, the host name. Keeps its three options in section
// "TraceRoute" of the settings file: read when the window opens, written when it closes.
class frmTraceRt : public QDialog {
  Q_OBJECT
 public:
  explicit frmTraceRt(const QStringList& urlSources, QWidget* parent = nullptr);

  // Where the echo endpoint of each trace comes from (the real sockets unless a test says so).
  void setEchoOpener(IcmpOpener opener);

  bool isTracing() const { return tracing_; }
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
  void TraceRt();
  int ProbeHop(IcmpEcho& echo, std::uint32_t destination, int dataSize, int n, int timeoutMs,
               int ttl, QString& hopAddress);
  void AddHopLine(int ttl, const std::vector<std::int32_t>& hopTimes, const QString& hopAddress,
                  const QString& hostName);
  void appendText(const QString& text);
  void caretToEnd();

  QLabel* lblAddress_;
  QComboBox* cboAddress_;
  QLabel* lblTimeOut_;
  QLineEdit* txtTimeOut_;
  QCheckBox* chkResolve_;
  QLabel* lblNumRequests_;
  QLineEdit* txtNumRequests_;
  QPlainTextEdit* txtResults_;
  QPushButton* cmdRun_;
  QPushButton* cmdClose_;

  IcmpOpener opener_;
  double scale_ = 1.0;
  bool tracing_ = false;
  bool closePending_ = false;
};

}  // namespace quorvel
