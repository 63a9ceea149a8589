#include "tools/frm_ftp.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "core/app_state.h"
#include "core/copy_text.h"
#include "core/limit_setting.h"
#include "core/number_format.h"
#include "core/tick.h"
#include "core/twips.h"
#include "tools/ftp_curl.h"
#include "tools/ftp_download.h"

namespace quorvel {

namespace {
const QString kTempFile = QStringLiteral("Quorvel.tmp");
}

frmFTP::frmFTP(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmFTP"));
  setWindowTitle(QStringLiteral("Quorvel - FTP"));

  lblFTPFileName_ = new QLabel(QStringLiteral("FTP File:"), this);
  lblFTPFileName_->setObjectName(QStringLiteral("lblFTPFileName"));
  cboRemoteFile_ = new QComboBox(this);
  cboRemoteFile_->setObjectName(QStringLiteral("cboRemoteFile"));
  cboRemoteFile_->setEditable(true);
  cboRemoteFile_->setInsertPolicy(QComboBox::NoInsert);
  // No inline completion from the list: Enter runs exactly what was typed.
  cboRemoteFile_->setCompleter(nullptr);
  lblFTPFileName_->setBuddy(cboRemoteFile_);
  lblResults_ = new QLabel(QStringLiteral("Results:"), this);
  lblResults_->setObjectName(QStringLiteral("lblResults"));
  txtResults_ = new QPlainTextEdit(this);
  txtResults_->setObjectName(QStringLiteral("txtResults"));
  txtResults_->setReadOnly(true);
  txtResults_->setLineWrapMode(QPlainTextEdit::NoWrap);
  makeResultsCopyable(txtResults_);
  lblResults_->setBuddy(txtResults_);
  cmdRun_ = new QPushButton(QStringLiteral("&Run"), this);
  cmdRun_->setObjectName(QStringLiteral("cmdRun"));
  cmdRun_->setDefault(true);
  cmdClose_ = new QPushButton(QStringLiteral("C&lose"), this);
  cmdClose_->setObjectName(QStringLiteral("cmdClose"));

  lblProgress_ = new QLabel(this);
  lblProgress_->setObjectName(QStringLiteral("lblProgress"));
  lblProgress_->setFrameShape(QFrame::StyledPanel);
  lblProgress_->setFrameShadow(QFrame::Sunken);

  resizeTwips(this, 6885, 5280);
  setFixedSize(size());
  placeTwips(lblFTPFileName_, 240, 285, 855, 255);
  placeTwips(cboRemoteFile_, 1140, 240, 5475, 315);
  placeTwips(lblResults_, 240, 780, 1095, 255);
  placeTwips(txtResults_, 240, 1050, 6375, 3435);
  placeTwips(cmdRun_, 2040, 4680, 1095, 375);
  placeTwips(cmdClose_, 3600, 4680, 1095, 375);
  growToFit(this);
  // The status line below the twips layout.
  const int statusHeight = lblProgress_->sizeHint().height();
  lblProgress_->setGeometry(0, height(), width(), statusHeight);
  setFixedSize(width(), height() + statusHeight);
  setTabOrder(cboRemoteFile_, cmdRun_);
  setTabOrder(cmdRun_, cmdClose_);
  setTabOrder(cmdClose_, txtResults_);

  connect(cmdRun_, &QPushButton::clicked, this, &frmFTP::onRunClicked);
  connect(cmdClose_, &QPushButton::clicked, this, &frmFTP::onCloseClicked);
  connect(cboRemoteFile_, &QComboBox::editTextChanged, this, &frmFTP::onRemoteFileChanged);

  FtpTimeouts limits;
  limits.transferLimit = TransferLimitSetting(appState().settingsPath);
  client_ = std::make_unique<CurlFtpClient>(limits);

  // Load: the recent list, or the built-in entries when the settings hold none.
  remoteFiles_.load(appState().settingsPath);
  fillList();
  previousText_ = cboRemoteFile_->currentText();
  listReady_ = true;
  cboRemoteFile_->setFocus();
}

frmFTP::~frmFTP() {
  unload();
}

void frmFTP::setClient(std::unique_ptr<FtpClient> client) {
  if (client) client_ = std::move(client);
}

void frmFTP::fillList() {
  const bool ready = listReady_;
  listReady_ = false;
  cboRemoteFile_->clear();
  cboRemoteFile_->addItems(remoteFiles_.entries());
  cboRemoteFile_->setEditText(remoteFiles_.slot(1));
  listReady_ = ready;
}

void frmFTP::onRemoteFileChanged(const QString& text) {
  if (!listReady_) return;
  if (!text.trimmed().isEmpty()) {
    previousText_ = text;
    return;
  }
  // The user emptied the field: the entry it held leaves the list. The settings file sees
  // the removal with the next successful transfer.
  if (remoteFiles_.remove(previousText_)) {
    fillList();
    // What the user types next replaces the entry brought up, instead of joining it.
    cboRemoteFile_->lineEdit()->selectAll();
  }
  previousText_ = cboRemoteFile_->currentText();
}

void frmFTP::showResults(const QString& text) {
  txtResults_->setPlainText(text);
  txtResults_->repaint();
  // The transfer's clock starts as its line is shown, just before the timed transfer.
  transferStart_ = text.endsWith(QLatin1String(" ...")) && text.contains(QLatin1Char('\n'))
                       ? monotonicMicros()
                       : -1;
}

void frmFTP::showTransfer() {
  if (transferStart_ < 0) return;
  const std::int64_t elapsed = monotonicMicros() - transferStart_;
  if (elapsed < 1'000'000 || !display_.due()) return;
  lblProgress_->setText(
      QStringLiteral("%1 bytes in %2 secs")
          .arg(formatMask(static_cast<double>(QFileInfo(localFile_).size()), "#,##0"),
               formatMask(static_cast<double>(elapsed) / 1e6, "#,##0.0")));
  lblProgress_->repaint();
  display_.shown();
}

// Keys and clicks that came while the transfer ran wait in the window system's queue; they are
// handed out now and dropped, so that an Escape pressed during the transfer does not close the
// window after it.
void frmFTP::dropInputOfTransfer() {
  class DropInput : public QObject {
   public:
    bool eventFilter(QObject*, QEvent* e) override {
      switch (e->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
          return true;
        default:
          return false;
      }
    }
  } drop;
  qApp->installEventFilter(&drop);
  QCoreApplication::processEvents();
  qApp->removeEventFilter(&drop);
}

void frmFTP::RunFTPTest() {
  const QString entry = cboRemoteFile_->currentText();
  localFile_ = appState().filePath(kTempFile);
  client_->setEventPump([this] {
    showTransfer();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return true;  // a transfer has no cancel
  });
  const FtpTestResult result =
      quorvel::RunFTPTest(*client_, entry, appState().filePath(kTempFile),
                          [this](const QString& text) { showResults(text); });
  client_->setEventPump({});
  transferStart_ = -1;
  lblProgress_->clear();
  dropInputOfTransfer();
  if (result.success) UpdateFTPIniStuff();
  showResults(result.text);
}

void frmFTP::UpdateFTPIniStuff() {
  remoteFiles_.moveToTop(cboRemoteFile_->currentText());
  remoteFiles_.save(appState().settingsPath);
  fillList();
  previousText_ = cboRemoteFile_->currentText();
}

void frmFTP::onRunClicked() {
  if (busy_) return;
  busy_ = true;
  QApplication::setOverrideCursor(Qt::BusyCursor);
  cmdRun_->setEnabled(false);
  cmdClose_->setEnabled(false);
  RunFTPTest();
  cmdRun_->setEnabled(true);
  cmdClose_->setEnabled(true);
  QApplication::restoreOverrideCursor();
  busy_ = false;
}

void frmFTP::onCloseClicked() {
  close();
}

void frmFTP::done(int result) {
  if (busy_) return;  // no way out while a transfer runs
  unload();
  QDialog::done(result);
}

void frmFTP::unload() {
  if (client_) client_->Close();
  QFile::remove(appState().filePath(kTempFile));
}

}  // namespace quorvel
