#include "tools/echo_tool_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "core/app_state.h"
#include "core/copy_text.h"
#include "core/message_box.h"
#include "core/on_screen.h"
#include "core/settings.h"
#include "core/twips.h"
#include "core/text_util.h"
#include "tools/diag_input.h"
#include "tools/tab_stops.h"

namespace quorvel {

namespace {
const QString kRun = QStringLiteral("&Run");
const QString kCancel = QStringLiteral("&Cancel");
const QString kWaitTimeoutKey = QStringLiteral("WaitTimeout");
const QString kNumRequestsKey = QStringLiteral("NumRequests");
const QString kUseIpv6Key = QStringLiteral("UseIPv6");
}  // namespace

EchoToolWindow::EchoToolWindow(const QString& section, QWidget* parent)
    : QDialog(parent), section_(section), opener_([](IpFamily f) { return OpenIcmpEcho(f); }) {}

void EchoToolWindow::setEchoOpener(IcmpOpener opener) {
  opener_ = std::move(opener);
}

void EchoToolWindow::makeAddressRow(const QString& caption) {
  lblAddress_ = makeControl<QLabel>("lblAddress");
  lblAddress_->setText(caption);
  cboAddress_ = makeControl<QComboBox>("cboAddress");
  cboAddress_->setEditable(true);
  cboAddress_->setInsertPolicy(QComboBox::NoInsert);
  // No inline completion from the list: Enter runs exactly what was typed.
  cboAddress_->setCompleter(nullptr);
}

void EchoToolWindow::makeTimeOutRow() {
  lblTimeOut_ = makeControl<QLabel>("lblTimeOut");
  lblTimeOut_->setText(QStringLiteral("Wait timeout (ms) to use for each reply:"));
  txtTimeOut_ = makeControl<QLineEdit>("txtTimeOut");
}

void EchoToolWindow::makeRequestsRow(const QString& caption) {
  lblNumRequests_ = makeControl<QLabel>("lblNumRequests");
  lblNumRequests_->setText(caption);
  txtNumRequests_ = makeControl<QLineEdit>("txtNumRequests");
}

void EchoToolWindow::makeResultsBox() {
  txtResults_ = makeControl<QPlainTextEdit>("txtResults");
  txtResults_->setLineWrapMode(QPlainTextEdit::NoWrap);
  txtResults_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txtResults_->setTabChangesFocus(true);
  makeResultsCopyable(txtResults_);
}

void EchoToolWindow::makeUseIpv6Check() {
  chkUseIPv6_ = makeControl<QCheckBox>("chkUseIPv6");
  chkUseIPv6_->setText(QStringLiteral("Use IPv6"));
}

void EchoToolWindow::makeButtons() {
  cmdRun_ = makeControl<QPushButton>("cmdRun");
  cmdRun_->setText(kRun);
  cmdClose_ = makeControl<QPushButton>("cmdClose");
  cmdClose_->setText(QStringLiteral("C&lose"));
  // Enter belongs to the address box; no button takes it as the dialog's default.
  cmdRun_->setAutoDefault(false);
  cmdClose_->setAutoDefault(false);
}

void EchoToolWindow::finishSetup(const QStringList& urlSources) {
  scale_ *= growToFit(this);
  connect(cmdRun_, &QPushButton::clicked, this, &EchoToolWindow::onRunClicked);
  connect(cmdClose_, &QPushButton::clicked, this, &EchoToolWindow::onCloseClicked);
  cboAddress_->installEventFilter(this);
  if (cboAddress_->lineEdit()) cboAddress_->lineEdit()->installEventFilter(this);
  cboAddress_->addItems(addressListFromSources(urlSources));
  cboAddress_->setCurrentIndex(0);
}

void EchoToolWindow::loadCommonSettings(int defaultTimeout, int defaultRequests) {
  txtTimeOut_->setText(QString::number(defaultTimeout));
  txtNumRequests_->setText(QString::number(defaultRequests));
  const QString& path = appState().settingsPath;
  const SettingValue timeout = ReadSetting(path, section_, kWaitTimeoutKey);
  if (timeout.length > 0) txtTimeOut_->setText(timeout.value);
  const SettingValue requests = ReadSetting(path, section_, kNumRequestsKey);
  if (requests.length > 0) txtNumRequests_->setText(requests.value);
  chkUseIPv6_->setChecked(leadingNumber(ReadSetting(path, section_, kUseIpv6Key).value) != 0);
}

void EchoToolWindow::saveCommonSettings() {
  const QString& path = appState().settingsPath;
  WriteSetting(path, section_, kWaitTimeoutKey, txtTimeOut_->text());
  WriteSetting(path, section_, kNumRequestsKey, txtNumRequests_->text());
  WriteSetting(path, section_, kUseIpv6Key,
               chkUseIPv6_->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

AddressChoice EchoToolWindow::addressChoice() const {
  return chkUseIPv6_->isChecked() ? AddressChoice::V6 : AddressChoice::Automatic;
}

int EchoToolWindow::ipv6AddressUnits() const {
  return textWidthDialogUnits(txtResults_, QString::fromLatin1(kWidestIpv6Text));
}

void EchoToolWindow::onRunClicked() {
  if (running_) {
    appState().CancelRequested = true;
    return;
  }
  const QString typed = cboAddress_->currentText();
  if (hasPort(typed)) {
    // Said once, instead of a failed request for every line of the report.
    txtResults_->setPlainText(typed.trimmed() +
                              QStringLiteral(" is not a valid address (a host without a port)"));
    return;
  }
  running_ = true;
  cmdRun_->setText(kCancel);
  cmdClose_->setEnabled(false);
  QApplication::setOverrideCursor(Qt::BusyCursor);
  appState().CancelRequested = false;
  runOperation();
  showResults();
  cmdRun_->setText(kRun);
  cmdClose_->setEnabled(true);
  QApplication::restoreOverrideCursor();
  running_ = false;
  if (closePending_) {
    closePending_ = false;
    close();
  }
}

void EchoToolWindow::onCloseClicked() {
  close();
}

bool EchoToolWindow::eventFilter(QObject* watched, QEvent* event) {
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

// Every way of closing the window ends here (Close button, close box, Escape). A running
// operation is asked to stop first; the window closes when it has.
void EchoToolWindow::done(int result) {
  if (running_) {
    appState().CancelRequested = true;
    closePending_ = true;
    return;
  }
  saveSettings();
  QDialog::done(result);
}

void EchoToolWindow::closeEvent(QCloseEvent* event) {
  if (running_) {
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

bool EchoToolWindow::pumpEvents() {
  if (display_.due() && seenOnScreen(this)) showResults();
  QCoreApplication::processEvents();
  return !appState().CancelRequested;
}

void EchoToolWindow::setResultsText(const QString& text) {
  replaceResults_ = true;
  pendingResults_ = text;
  display_.changed();
}

void EchoToolWindow::appendText(const QString& text) {
  pendingResults_ += text;
  display_.changed();
}

void EchoToolWindow::showResults() {
  if (replaceResults_) {
    txtResults_->setPlainText(pendingResults_);
  } else if (!pendingResults_.isEmpty()) {
    QTextCursor c = txtResults_->textCursor();
    c.movePosition(QTextCursor::End);
    c.insertText(pendingResults_);
  }
  replaceResults_ = false;
  pendingResults_.clear();
  txtResults_->moveCursor(QTextCursor::End);
  txtResults_->ensureCursorVisible();
  showLiveFigures();
  display_.shown();
}

void EchoToolWindow::showSocketsFailure() {
  showMessage(this, QStringLiteral("Oops"), QStringLiteral("Error initializing windows sockets"),
              MsgIcon::None);
}

}  // namespace quorvel
