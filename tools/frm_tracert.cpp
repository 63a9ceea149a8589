#include "tools/frm_tracert.h"

#include <arpa/inet.h>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/app_state.h"
#include "app/message_box.h"
#include "app/settings.h"
#include "app/text_util.h"
#include "tools/diag_input.h"
#include "tools/tab_stops.h"
#include "tools/tool_layout.h"
#include "tools/trace_report.h"
#include "tools/trace_rt.h"

namespace quorvel {

namespace {
const QString kSection = QStringLiteral("TraceRoute");
const QString kRun = QStringLiteral("&Run");
const QString kCancel = QStringLiteral("&Cancel");
constexpr int kEchoDataSize = 32;

template <typename W>
W* makeControl(QWidget* parent, const char* name) {
  auto* w = new W(parent);
  w->setObjectName(QString::fromLatin1(name));
  return w;
}
}  // namespace

frmTraceRt::frmTraceRt(const QStringList& urlSources, QWidget* parent)
    : QDialog(parent), opener_([] { return OpenIcmpEcho(); }) {
  setObjectName(QStringLiteral("frmTraceRt"));
  setWindowTitle(QStringLiteral("Quorvel - TraceRoute"));

  lblAddress_ = makeControl<QLabel>(this, "lblAddress");
  lblAddress_->setText(QStringLiteral("Address to trace:"));
  cboAddress_ = makeControl<QComboBox>(this, "cboAddress");
  cboAddress_->setEditable(true);
  cboAddress_->setInsertPolicy(QComboBox::NoInsert);
  lblTimeOut_ = makeControl<QLabel>(this, "lblTimeOut");
  lblTimeOut_->setText(QStringLiteral("Wait timeout (ms) to use for each reply:"));
  txtTimeOut_ = makeControl<QLineEdit>(this, "txtTimeOut");
  chkResolve_ = makeControl<QCheckBox>(this, "chkResolve");
  chkResolve_->setText(QStringLiteral("Resolve IP Addresses"));
  lblNumRequests_ = makeControl<QLabel>(this, "lblNumRequests");
  lblNumRequests_->setText(QStringLiteral("Number of requests to send at each hop:"));
  txtNumRequests_ = makeControl<QLineEdit>(this, "txtNumRequests");
  txtResults_ = makeControl<QPlainTextEdit>(this, "txtResults");
  txtResults_->setLineWrapMode(QPlainTextEdit::NoWrap);
  txtResults_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txtResults_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txtResults_->setTabChangesFocus(true);
  cmdRun_ = makeControl<QPushButton>(this, "cmdRun");
  cmdRun_->setText(kRun);
  cmdClose_ = makeControl<QPushButton>(this, "cmdClose");
  cmdClose_->setText(QStringLiteral("C&lose"));
  // Enter belongs to the address box; no button takes it as the dialog's default.
  cmdRun_->setAutoDefault(false);
  cmdClose_->setAutoDefault(false);

  // The positions in twips; the whole layout grows when the font needs more room.
  scale_ = fitScale({{lblAddress_, 1335},
                     {lblTimeOut_, 2775},
                     {chkResolve_, 2055},
                     {lblNumRequests_, 3015},
                     {cmdRun_, 1095},
                     {cmdClose_, 1095}});
  resizeScaledTwips(this, scale_, 6885, 5910);
  setFixedSize(size());
  placeScaledTwips(lblAddress_, scale_, 240, 240, 1335, 255);
  placeScaledTwips(cboAddress_, scale_, 1800, 240, 4695, 315);
  placeScaledTwips(lblTimeOut_, scale_, 240, 720, 2775, 255);
  placeScaledTwips(txtTimeOut_, scale_, 3360, 720, 615, 285);
  placeScaledTwips(chkResolve_, scale_, 4440, 720, 2055, 255);
  placeScaledTwips(lblNumRequests_, scale_, 240, 1200, 3015, 255);
  placeScaledTwips(txtNumRequests_, scale_, 3360, 1200, 615, 285);
  placeScaledTwips(txtResults_, scale_, 240, 1680, 6375, 3375);
  placeScaledTwips(cmdRun_, scale_, 2040, 5280, 1095, 375);
  placeScaledTwips(cmdClose_, scale_, 3600, 5280, 1095, 375);

  setTabOrder(chkResolve_, txtTimeOut_);
  setTabOrder(txtTimeOut_, txtNumRequests_);
  setTabOrder(txtNumRequests_, txtResults_);
  setTabOrder(txtResults_, cmdRun_);
  setTabOrder(cmdRun_, cmdClose_);
  setTabOrder(cmdClose_, cboAddress_);
  chkResolve_->setFocus();

  connect(cmdRun_, &QPushButton::clicked, this, &frmTraceRt::onRunClicked);
  connect(cmdClose_, &QPushButton::clicked, this, &frmTraceRt::onCloseClicked);
  cboAddress_->installEventFilter(this);
  if (cboAddress_->lineEdit()) cboAddress_->lineEdit()->installEventFilter(this);

  loadSettings();
  cboAddress_->addItems(addressListFromSources(urlSources));
  cboAddress_->setCurrentIndex(0);
}

void frmTraceRt::setEchoOpener(IcmpOpener opener) {
  opener_ = std::move(opener);
}

void frmTraceRt::loadSettings() {
  txtTimeOut_->setText(QString::number(kTraceDefaultTimeout));
  txtNumRequests_->setText(QString::number(kTraceDefaultRequests));
  chkResolve_->setChecked(false);
  const QString& path = appState().settingsPath;
  const SettingValue timeout = ReadSetting(path, kSection, QStringLiteral("WaitTimeout"));
  if (timeout.length > 0) txtTimeOut_->setText(timeout.value);
  const SettingValue requests = ReadSetting(path, kSection, QStringLiteral("NumRequests"));
  if (requests.length > 0) txtNumRequests_->setText(requests.value);
  const SettingValue resolve = ReadSetting(path, kSection, QStringLiteral("ResolveIPAddresses"));
  if (leadingNumber(resolve.value) != 0) chkResolve_->setChecked(true);
}

void frmTraceRt::saveSettings() {
  const QString& path = appState().settingsPath;
  WriteSetting(path, kSection, QStringLiteral("WaitTimeout"), txtTimeOut_->text());
  WriteSetting(path, kSection, QStringLiteral("NumRequests"), txtNumRequests_->text());
  WriteSetting(path, kSection, QStringLiteral("ResolveIPAddresses"),
               chkResolve_->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void frmTraceRt::onRunClicked() {
  if (tracing_) {
    appState().CancelRequested = true;
    return;
  }
  tracing_ = true;
  cmdRun_->setText(kCancel);
  cmdClose_->setEnabled(false);
  QApplication::setOverrideCursor(Qt::BusyCursor);
  appState().CancelRequested = false;
  TraceRt();
  cmdRun_->setText(kRun);
  cmdClose_->setEnabled(true);
  QApplication::restoreOverrideCursor();
  tracing_ = false;
  if (closePending_) {
    closePending_ = false;
    close();
  }
}

void frmTraceRt::onCloseClicked() {
  close();
}

bool frmTraceRt::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == cboAddress_ || watched == cboAddress_->lineEdit()) &&
      event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      onRunClicked();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

// Every way of closing the window ends here (Close button, close box, Escape). A running trace
// is asked to stop first; the window closes when it has.
void frmTraceRt::done(int result) {
  if (tracing_) {
    appState().CancelRequested = true;
    closePending_ = true;
    return;
  }
  saveSettings();
  QDialog::done(result);
}

void frmTraceRt::closeEvent(QCloseEvent* event) {
  if (tracing_) {
    appState().CancelRequested = true;
    closePending_ = true;
    event->ignore();
    return;
  }
  if (!isVisible()) {  // never shown: QDialog would not pass through done()
    saveSettings();
    event->accept();
    return;
  }
  QDialog::closeEvent(event);
}

void frmTraceRt::appendText(const QString& text) {
  QTextCursor c = txtResults_->textCursor();
  c.movePosition(QTextCursor::End);
  c.insertText(text);
  txtResults_->setTextCursor(c);
  txtResults_->ensureCursorVisible();
}

void frmTraceRt::caretToEnd() {
  txtResults_->moveCursor(QTextCursor::End);
  txtResults_->ensureCursorVisible();
}

void frmTraceRt::TraceRt() {
  const int timeoutMs = traceTimeout(txtTimeOut_->text());
  const int n = traceRequests(txtNumRequests_->text());
  setTabStopsDialogUnits(txtResults_, {});
  setTabStopsDialogUnits(txtResults_, traceTabStops(n));

  if (!StartSockets()) {
    showMessage(this, QStringLiteral("Oops"), QStringLiteral("Error initializing windows sockets"),
                MsgIcon::None);
    caretToEnd();
    return;
  }

  const QString typed = cboAddress_->currentText();
  const QString destText = GetHostAddress(typed);
  if (destText.isEmpty()) {
    // Without an address there is nothing to trace: say so rather than report a route.
    txtResults_->setPlainText(QStringLiteral("Unable to resolve host name ") + typed);
    txtResults_->repaint();
    StopSockets();
    caretToEnd();
    return;
  }
  txtResults_->setPlainText(QStringLiteral("Tracing route to ") + destText +
                            QStringLiteral("\n\n"));
  txtResults_->repaint();

  in_addr dest{};
  inet_pton(AF_INET, destText.toLatin1().constData(), &dest);
  IcmpOpenResult opened = opener_ ? opener_() : OpenIcmpEcho();
  if (!opened.echo) {
    QString text = QStringLiteral("Error initiating the trace");
    if (!opened.error.isEmpty()) text += QStringLiteral("\n\n") + opened.error;
    showMessage(this, QStringLiteral("Oops"), text, MsgIcon::None);
    StopSockets();
    caretToEnd();
    return;
  }

  int silentHops = 0;
  for (int ttl = 1; ttl <= kTraceMaximumHops; ++ttl) {
    QString hopAddress;
    if (ProbeHop(*opened.echo, dest.s_addr, kEchoDataSize, n, timeoutMs, ttl, hopAddress) == 1)
      ++silentHops;
    else
      silentHops = 0;
    QCoreApplication::processEvents();
    if (hopAddress == destText) {
      appendText(QStringLiteral("\nTrace route complete"));
      txtResults_->repaint();
      break;
    }
    if (silentHops >= 2) {
      appendText(QStringLiteral("\nTrace timed out"));
      break;
    }
    if (appState().CancelRequested) {
      appendText(QStringLiteral("\nTrace cancelled by user"));
      break;
    }
  }
  opened.echo.reset();
  StopSockets();
  caretToEnd();
}

int frmTraceRt::ProbeHop(IcmpEcho& echo, std::uint32_t destination, int dataSize, int n,
                         int timeoutMs, int ttl, QString& hopAddress) {
  hopAddress.clear();
  QString hostName;
  bool anyReply = false;
  std::vector<std::int32_t> hopTimes(static_cast<std::size_t>(n), timeoutMs);
  for (int i = 0; i < n; ++i) {
    const EchoResult r = echo.SendEcho(destination, dataSize, ttl, timeoutMs);
    if (!r.answered) continue;
    hopTimes[static_cast<std::size_t>(i)] =
        static_cast<std::int32_t>(r.roundTripMs > 0x7fffffffU ? 0x7fffffffU : r.roundTripMs);
    if (!anyReply) {
      hopAddress = GetAddressText(r.address);
      if (chkResolve_->isChecked()) hostName = GetHostNameFromAddress(r.address);
    }
    anyReply = true;
  }
  AddHopLine(ttl, hopTimes, hopAddress, hostName);
  return anyReply ? 0 : 1;
}

void frmTraceRt::AddHopLine(int ttl, const std::vector<std::int32_t>& hopTimes,
                            const QString& hopAddress, const QString& hostName) {
  appendText(hopLine(ttl, hopTimes, hopAddress, chkResolve_->isChecked(), hostName) +
             QLatin1Char('\n'));
  QCoreApplication::processEvents();
}

}  // namespace quorvel
