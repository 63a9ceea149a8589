#pragma once

#include <QDialog>
#include <QStringList>

#include "core/display_throttle.h"
#include "tools/icmp_echo.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quorvel {

// What the Ping and TraceRoute windows have in common: an address box, a time-out and a
// request count kept in one section of the settings file, a results box, and a Run button that
// turns into Cancel while the window's operation runs. Enter in the address box runs it. While
// it runs Close is disabled and every way of closing the window asks the operation to stop; the
// window closes once it has. The settings are written when the window closes.
class EchoToolWindow : public QDialog {
  Q_OBJECT
 public:
  // Where the echo endpoint of each run comes from (the real sockets unless a test says so).
  void setEchoOpener(IcmpOpener opener);

  bool isRunning() const { return running_; }
  // How much the twips layout was enlarged to fit the font (1 when it fits as designed).
  double layoutScale() const { return scale_; }

 public slots:
  void onRunClicked();
  void onCloseClicked();

 protected:
  // section: where the window keeps its options in the settings file.
  EchoToolWindow(const QString& section, QWidget* parent);

  // The window's own work, run with the busy cursor; it stops early when CancelRequested is set.
  virtual void runOperation() = 0;
  virtual void saveSettings() = 0;

  bool eventFilter(QObject* watched, QEvent* event) override;
  void done(int result) override;
  void closeEvent(QCloseEvent* event) override;

  template <typename W>
  W* makeControl(const char* name) {
    auto* w = new W(this);
    w->setObjectName(QString::fromLatin1(name));
    return w;
  }
  // The controls both windows have, made in the order the window wants them.
  void makeAddressRow(const QString& caption);
  void makeTimeOutRow();
  void makeRequestsRow(const QString& caption);
  void makeResultsBox();
  void makeUseIpv6Check();
  void makeButtons();
  // Connects the buttons and the address box and fills the address list; the constructor's
  // last step.
  void finishSetup(const QStringList& urlSources);

  // The time-out, the request count and "Use IPv6": the defaults, then what the settings file
  // has.
  void loadCommonSettings(int defaultTimeout, int defaultRequests);
  void saveCommonSettings();

  // Where the endpoint of a run comes from; the run makes its waits keep the window alive.
  IcmpOpener echoOpener() const { return opener_; }

  // The results box while the window's work goes on: what is written here is shown at most
  // once per DisplayThrottle interval (and not while nobody can see the window), always with
  // the caret at the end; all of it is shown when the work is over.
  void setResultsText(const QString& text);
  void appendText(const QString& text);
  // Shows what waits to be shown when it is due, then lets the window system process pending
  // events (a Cancel click is seen here). False when the user has cancelled.
  bool pumpEvents();
  void showResults();
  // Shows the window's other live figures (the ping statistics); part of showResults().
  virtual void showLiveFigures() {}
  void liveFiguresChanged() { display_.changed(); }
  // Says that the sockets could not be started.
  void showSocketsFailure();

  // The family to resolve the address to: IPv6 when "Use IPv6" is checked.
  AddressChoice addressChoice() const;
  // The width of the widest IPv6 address in the results box, in dialog units.
  int ipv6AddressUnits() const;

  static constexpr int kEchoDataSize = 32;

  const QString section_;
  QLabel* lblAddress_ = nullptr;
  QComboBox* cboAddress_ = nullptr;
  QLabel* lblTimeOut_ = nullptr;
  QLineEdit* txtTimeOut_ = nullptr;
  QLabel* lblNumRequests_ = nullptr;
  QLineEdit* txtNumRequests_ = nullptr;
  QPlainTextEdit* txtResults_ = nullptr;
  QCheckBox* chkUseIPv6_ = nullptr;
  QPushButton* cmdRun_ = nullptr;
  QPushButton* cmdClose_ = nullptr;
  double scale_ = 1.0;

 private:
  IcmpOpener opener_;
  DisplayThrottle display_;
  bool replaceResults_ = false;  // the text waiting replaces the box's text
  QString pendingResults_;
  bool running_ = false;
  bool closePending_ = false;
};

}  // namespace quorvel
