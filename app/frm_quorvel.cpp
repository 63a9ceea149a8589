#include "app/frm_quorvel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "core/app_icon.h"
#include "core/app_state.h"
#include "app/log_file.h"
#include "core/message_box.h"
#include "core/on_screen.h"
#include "app/shell.h"
#include "app/startup.h"
#include "core/twips.h"
#include "app/url_history.h"
#include "bench/browser_loader.h"
#include "core/value_box.h"
#include "core/window_place.h"
#include "bench/benchmark.h"
#include "bench/frm_run_requests.h"
#include "bench/totals_text.h"
#include "dialogs/frm_about.h"
#include "dialogs/frm_options.h"
#include "stats/frm_statistics.h"
#include "tools/frm_ftp.h"
#include "tools/frm_ping.h"
#include "tools/frm_tracert.h"

namespace quorvel {

namespace {

// Client area of the window, in twips.
constexpr int kClientWidth = 6480;
constexpr int kClientHeight = 4395;

const QString kRunCaption = QStringLiteral("&Run");
const QString kCancelCaption = QStringLiteral("&Cancel");

template <typename W>
W* make(QWidget* parent, const char* name) {
  auto* w = new W(parent);
  w->setObjectName(QLatin1String(name));
  return w;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption, int left, int top,
              int width, int height, Qt::Alignment align = Qt::AlignLeft) {
  auto* l = make<QLabel>(parent, name);
  l->setText(caption);
  l->setAlignment(align | Qt::AlignVCenter);
  placeTwips(l, left, top, width, height);
  return l;
}

QLineEdit* textBox(QWidget* parent, const char* name, int left, int top, int width, int height,
                   bool readOnly) {
  auto* t = make<QLineEdit>(parent, name);
  t->setReadOnly(readOnly);
  placeTwips(t, left, top, width, height);
  return t;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, int left, int top,
                    int width, int height) {
  auto* c = make<QCheckBox>(parent, name);
  c->setText(caption);
  placeTwips(c, left, top, width, height);
  return c;
}

// Pixels for twips in a layout grown by `scale`.
int scaledPixels(const QWidget* w, int twips, double scale) {
  return static_cast<int>(std::lround(twipsToPixels(w, twips) * scale));
}

// An etched horizontal rule across the window.
QFrame* rule(QWidget* parent, const char* name, int top, double scale = 1.0) {
  auto* f = make<QFrame>(parent, name);
  f->setFrameShape(QFrame::HLine);
  f->setFrameShadow(QFrame::Sunken);
  f->setLineWidth(1);
  const int height = 2;
  f->setGeometry(0, scaledPixels(parent, top, scale), scaledPixels(parent, kClientWidth, scale),
                 height);
  return f;
}

// Widens a label or check box whose caption does not fit the design width in the current
// font: a right-aligned one (and one that sits right in front of its box) grows to the left,
// the others to the right, into the free space beside them.
void fitCaption(QWidget* w, bool growLeft) {
  const int needed = w->sizeHint().width();
  if (needed <= w->width()) return;
  QRect r = w->geometry();
  if (growLeft)
    r.setLeft(r.right() + 1 - needed);
  else
    r.setWidth(needed);
  w->setGeometry(r);
}

// The widest text each totals box shows: counts of ten digits, up to 999,999,999,999 bytes,
// 10,000,000.0 Kbps, and times of up to 9,999,999.9 seconds (115 days).
struct WidestTotal {
  const char* box;
  const char* text;
};
constexpr WidestTotal kWidestTotals[] = {
    {"txtValidURLs", "9999999999"},         {"txtTotalErrors", "9999999999"},
    {"txtTotalBytes", "999,999,999,999"},   {"txtTotalSecs", "9,999,999.9"},
    {"txtThroughput", "10,000,000.0 Kbps"}, {"txtAvgPageLoad", "9,999,999.9 secs"}};

// Widens the totals boxes when the widest value of a column does not fit the design width in
// the current font; the boxes of a column keep one width. The left column grows into the gap
// before the right column's labels (and pushes the right column along when the gap is too
// small); when the right column then reaches beyond the design's right edge, the window grows by
// as much, and the status line, the URL box, the rules and the buttons follow, so the edges stay
// in line. Returns the client width.
int fitTotalsBoxes(QWidget* client, int clientWidth, double scale) {
  const int gap = scaledPixels(client, 120, scale);
  const int rightEdge = scaledPixels(client, 6135, scale);
  const int rightColumn = scaledPixels(client, 3480, scale);
  auto boxOf = [client](const WidestTotal& t) {
    return client->findChild<QLineEdit*>(QLatin1String(t.box));
  };
  int needed[2] = {0, 0};  // left and right column
  for (const WidestTotal& t : kWidestTotals) {
    QLineEdit* box = boxOf(t);
    int& column = needed[box->x() < rightColumn ? 0 : 1];
    column = std::max({column, box->width(), boxWidthFor(box, QLatin1String(t.text))});
  }
  int shift = 0;  // of the right column
  for (const WidestTotal& t : kWidestTotals) {
    QLineEdit* box = boxOf(t);
    const bool left = box->x() < rightColumn;
    box->resize(needed[left ? 0 : 1], box->height());
    if (left) shift = std::max(shift, box->geometry().right() + 1 + gap - rightColumn);
  }
  int right = rightEdge;
  for (QWidget* w : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const QRect r = w->geometry();
    if (r.top() < scaledPixels(client, 2160, scale) || r.left() < rightColumn) continue;
    w->move(r.left() + shift, r.top());
    right = std::max(right, w->geometry().right() + 1);
  }
  const int wider = right - rightEdge;
  if (wider <= 0) return clientWidth;
  for (const char* name : {"txtStatus", "cboURLToUse", "Line1", "Line2"}) {
    auto* w = client->findChild<QWidget*>(QLatin1String(name));
    w->resize(w->width() + wider, w->height());
  }
  for (const char* name : {"cmdGo", "cmdCancel"}) {
    auto* w = client->findChild<QWidget*>(QLatin1String(name));
    w->move(w->x() + wider / 2, w->y());
  }
  return clientWidth + wider;
}

QAction* menuEntry(QMenu* menu, const char* name, const QString& caption) {
  QAction* a = menu->addAction(caption);
  a->setObjectName(QLatin1String(name));
  return a;
}

// A read-only box shows its text from the first character.
void showText(QLineEdit* box, const QString& text) {
  if (box->text() == text) return;
  box->setText(text);
  box->setCursorPosition(0);
}

void setMenuEnabled(QMenu* menu, bool on) {
  menu->setEnabled(on);
  menu->menuAction()->setEnabled(on);
}

}  // namespace

frmQuorvel::frmQuorvel(QWidget* parent) : frmQuorvel(QString(), parent) {}

frmQuorvel::frmQuorvel(const QString& commandLine, QWidget* parent)
    : QMainWindow(parent),
      run_([this](RunView& view) {
        lastOutcome_ = RunBenchmark(view, [this](const RequestRecord& r) { lastRun_.add(r); });
      }) {
  setObjectName(QStringLiteral("frmQuorvel"));
  setWindowTitle(QStringLiteral("Quorvel"));
  // The program's own icon for this window and every window opened after it.
  QApplication::setWindowIcon(appIcon());
  buildControls();
  buildMenus();
  startUp(commandLine);
  currentUrl_ = cboURLToUse_->currentText();
  inNormalUse_ = true;
  restoreWindowPlace(this);
  if (appState().autoMode) {
    show();
    // The run starts from the event loop, so that closing the window at its end also ends
    // the event loop and with it the program.
    QTimer::singleShot(0, this, [this] {
      onGoClicked();
      if (!closeFromRun_) closeMainWindow();
    });
  }
}

frmQuorvel::~frmQuorvel() {
  if (busyCursor_) QApplication::restoreOverrideCursor();
}

void frmQuorvel::buildControls() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("client"));
  setCentralWidget(client);

  chkImagesOn_ = checkBox(client, "chkImagesOn", QStringLiteral("Get Images"), 240, 240, 1695, 315);
  chkSoundsOn_ =
      checkBox(client, "chkSoundsOn", QStringLiteral("Get Sounds"), 2400, 240, 1215, 315);
  lblIterations_ =
      label(client, "lblIterations", QStringLiteral("Iterations:"), 4680, 285, 735, 255,
            Qt::AlignRight);  // it stands right in front of its box
  txtIterations_ = textBox(client, "txtIterations", 5520, 280, 495, 285, false);
  chkLoggingOn_ =
      checkBox(client, "chkLoggingOn", QStringLiteral("Log Results"), 240, 600, 1935, 255);
  chkBrowserLoad_ = checkBox(client, "chkBrowserLoad", QStringLiteral("Load like a browser"),
                             2400, 600, 2535, 255);
  chkUseURLFile_ =
      checkBox(client, "chkUseURLFile", QStringLiteral("Use URLS.DAT file"), 240, 960, 1815, 255);
  lblURLToUse_ = label(client, "lblURLToUse", QStringLiteral("URL To Use:"), 2280, 960, 1095, 255,
                       Qt::AlignRight);
  cboURLToUse_ = make<QComboBox>(client, "cboURLToUse");
  cboURLToUse_->setEditable(true);
  cboURLToUse_->setInsertPolicy(QComboBox::NoInsert);
  cboURLToUse_->setMaxVisibleItems(10);
  // No inline completion: Enter must run exactly what was typed, not a completed history URL.
  cboURLToUse_->setCompleter(nullptr);
  placeTwips(cboURLToUse_, 3600, 960, 2535, 315);
  rule(client, "Line2", 1440);

  label(client, "lblStatus", QStringLiteral("Status:"), 240, 1680, 495, 255);
  txtStatus_ = textBox(client, "txtStatus", 960, 1680, 5175, 285, true);
  label(client, "lblValidURLs", QStringLiteral("Valid URLs:"), 240, 2160, 855, 255);
  txtValidURLs_ = textBox(client, "txtValidURLs", 1560, 2160, 1095, 285, true);
  label(client, "lblURLErrors", QStringLiteral("Total Errors:"), 3480, 2160, 975, 255);
  txtTotalErrors_ = textBox(client, "txtTotalErrors", 5040, 2160, 1095, 285, true);
  label(client, "lblTotalBytes", QStringLiteral("Total Bytes:"), 240, 2640, 1095, 255);
  txtTotalBytes_ = textBox(client, "txtTotalBytes", 1560, 2640, 1095, 285, true);
  label(client, "lblTotalSecs", QStringLiteral("Total Secs:"), 3480, 2640, 855, 255);
  txtTotalSecs_ = textBox(client, "txtTotalSecs", 5040, 2640, 1095, 285, true);
  label(client, "lblThroughput", QStringLiteral("Throughput:"), 240, 3120, 855, 255);
  txtThroughput_ = textBox(client, "txtThroughput", 1560, 3120, 1095, 285, true);
  label(client, "lblAvgPageLoad", QStringLiteral("Avg. Page Load:"), 3480, 3120, 1455, 255);
  txtAvgPageLoad_ = textBox(client, "txtAvgPageLoad", 5040, 3120, 1095, 285, true);

  cmdGo_ = make<QPushButton>(client, "cmdGo");
  cmdGo_->setText(kRunCaption);
  placeTwips(cmdGo_, 2097, 3720, 975, 375);
  cmdCancel_ = make<QPushButton>(client, "cmdCancel");
  cmdCancel_->setText(QStringLiteral("&Quit"));
  placeTwips(cmdCancel_, 3379, 3720, 975, 375);

  // Where the font needs more room than the twips give, the whole layout grows by one factor.
  client->resize(twipsToPixels(client, kClientWidth), twipsToPixels(client, kClientHeight));
  const double scale = neededScale(client);
  scalePlaced(client, scale);
  for (QLabel* l : client->findChildren<QLabel*>())
    fitCaption(l, l == lblIterations_ || (l->alignment() & Qt::AlignRight));
  for (QCheckBox* c : client->findChildren<QCheckBox*>()) fitCaption(c, false);

  // The run's progress, in the window's status bar.
  lblProgress_ = make<QLabel>(this, "lblProgress");
  statusBar()->setObjectName(QStringLiteral("sbrStatus"));
  statusBar()->setSizeGripEnabled(false);
  statusBar()->addWidget(lblProgress_, 1);

  // Created last so that it is drawn over the top edge of the client area.
  rule(client, "Line1", 0, scale);

  const int width = fitTotalsBoxes(client, scaledPixels(client, kClientWidth, scale), scale);
  for (QLineEdit* box : client->findChildren<QLineEdit*>())
    if (box->isReadOnly()) showFromStart(box);
  client->setMinimumSize(width, scaledPixels(client, kClientHeight, scale));
  laidOutWidth_ = width;
  for (const char* name : {"cboURLToUse", "txtStatus", "Line1", "Line2"}) {
    auto* w = client->findChild<QWidget*>(QLatin1String(name));
    widening_.emplace_back(w, w->width());
  }

  connect(cmdGo_, &QPushButton::clicked, this, &frmQuorvel::onGoClicked);
  connect(cmdCancel_, &QPushButton::clicked, this, &QWidget::close);
  connect(chkUseURLFile_, &QCheckBox::toggled, this, &frmQuorvel::onUseUrlFileToggled);
  // The choice is the setting URLInfo/BrowserLoad, which unattended runs read too.
  connect(chkBrowserLoad_, &QCheckBox::toggled, this, [](bool on) {
    AppState& s = appState();
    if (on != BrowserLoadSetting(s.settingsPath) && !StoreBrowserLoadSetting(s.settingsPath, on))
      s.settingsLost = true;
  });
  connect(cboURLToUse_, &QComboBox::editTextChanged, this, &frmQuorvel::onUrlTextChanged);
  cmdGo_->installEventFilter(this);
  // A double-click on the errors box shows why the last run's requests failed.
  txtTotalErrors_->installEventFilter(this);
  txtTotalErrors_->setToolTip(QStringLiteral("Double-click for the failures of the last run"));
  // The combo box itself has the focus and receives the user's keys; it passes them on to its
  // edit field by a direct call that no filter on the edit field sees. A key sent to the edit
  // field directly comes back to the box too, as the edit field leaves Enter unhandled.
  cboURLToUse_->installEventFilter(this);
}

void frmQuorvel::buildMenus() {
  QMenuBar* bar = menuBar();
  mnuFile_ = bar->addMenu(QStringLiteral("&File"));
  mnuFile_->setObjectName(QStringLiteral("mnuFile"));
  mnuFile_->menuAction()->setObjectName(QStringLiteral("mnuFile"));
  connect(menuEntry(mnuFile_, "mnuViewLogFile", QStringLiteral("&View log file")),
          &QAction::triggered, this, &frmQuorvel::onViewLogFile);
  connect(menuEntry(mnuFile_, "mnuClearLogFile", QStringLiteral("&Clear log file")),
          &QAction::triggered, this, &frmQuorvel::onClearLogFile);
  connect(menuEntry(mnuFile_, "mnuRunRequests", QStringLiteral("Last &run's requests...")),
          &QAction::triggered, this, &frmQuorvel::onRunRequests);
  mnuFile_->addSeparator()->setObjectName(QStringLiteral("mnuSep1"));
  connect(menuEntry(mnuFile_, "mnuExit", QStringLiteral("E&xit")), &QAction::triggered, this,
          &QWidget::close);

  mnuOptions_ = bar->addAction(QStringLiteral("&Options"));
  mnuOptions_->setObjectName(QStringLiteral("mnuOptions"));
  connect(mnuOptions_, &QAction::triggered, this, &frmQuorvel::onOptions);

  mnuTools_ = bar->addMenu(QStringLiteral("&Tools"));
  mnuTools_->setObjectName(QStringLiteral("mnuTools"));
  mnuTools_->menuAction()->setObjectName(QStringLiteral("mnuTools"));
  connect(menuEntry(mnuTools_, "mnuFTP", QStringLiteral("&FTP")), &QAction::triggered, this,
          &frmQuorvel::onFtp);
  connect(menuEntry(mnuTools_, "mnuPing", QStringLiteral("&Ping")), &QAction::triggered, this,
          &frmQuorvel::onPing);
  connect(menuEntry(mnuTools_, "mnuTraceRoute", QStringLiteral("&TraceRoute")), &QAction::triggered,
          this, &frmQuorvel::onTraceRoute);
  mnuTools_->addSeparator()->setObjectName(QStringLiteral("mnuSep2"));
  connect(menuEntry(mnuTools_, "mnuLogFileStatistics", QStringLiteral("&Log File Statistics")),
          &QAction::triggered, this, &frmQuorvel::onLogFileStatistics);

  mnuAbout_ = bar->addAction(QStringLiteral("&About"));
  mnuAbout_->setObjectName(QStringLiteral("mnuAbout"));
  connect(mnuAbout_, &QAction::triggered, this, &frmQuorvel::onAbout);
}

void frmQuorvel::startUp(const QString& commandLine) {
  const WindowChoices c = LoadStartupState(commandLine);
  const AppState& s = appState();
  txtIterations_->setText(QString::number(s.iterations));
  chkLoggingOn_->setChecked(c.logResults);
  chkImagesOn_->setChecked(c.getImages);
  chkSoundsOn_->setChecked(c.getSounds);
  chkBrowserLoad_->setChecked(BrowserLoadSetting(s.settingsPath));
  chkUseURLFile_->setChecked(c.useUrlFile);
  onUseUrlFileToggled(c.useUrlFile);
  fillUrlBox(HistoryListEntries(s.urlHistory), s.urlHistory[1]);
  txtStatus_->clear();
}

void frmQuorvel::fillUrlBox(const QStringList& entries, const QString& editText) {
  const bool wasInUse = inNormalUse_;
  inNormalUse_ = false;
  cboURLToUse_->clear();
  cboURLToUse_->addItems(entries);
  cboURLToUse_->setEditText(editText);
  cboURLToUse_->lineEdit()->setCursorPosition(0);
  inNormalUse_ = wasInUse;
}

WindowChoices frmQuorvel::choices() const {
  WindowChoices c;
  c.logResults = chkLoggingOn_->isChecked();
  c.getImages = chkImagesOn_->isChecked();
  c.getSounds = chkSoundsOn_->isChecked();
  c.useUrlFile = chkUseURLFile_->isChecked();
  return c;
}

QStringList frmQuorvel::urlSources() const {
  QStringList list{cboURLToUse_->currentText()};
  for (int i = 0; i < cboURLToUse_->count(); ++i) list.append(cboURLToUse_->itemText(i));
  return list;
}

// --- Run control ---------------------------------------------------------------------------

void frmQuorvel::setRunning(bool on) {
  cmdGo_->setText(on ? kCancelCaption : kRunCaption);
  cmdCancel_->setEnabled(!on);
  setMenuEnabled(mnuFile_, !on);
  setMenuEnabled(mnuTools_, !on);
  mnuAbout_->setEnabled(!on);
}

void frmQuorvel::onGoClicked() {
  if (cmdGo_->text() != kRunCaption) {
    showCancelling();
    return;
  }
  setRunning(true);
  running_ = true;
  lastRun_.clear();
  if (run_) run_(*this);
  running_ = false;
  figures_.progress.clear();
  showFigures();
  if (busyCursor_) setBusyCursor(false);
  setRunning(false);
  if (closeAfterRun_) {
    closeAfterRun_ = false;
    close();
  }
}

// A Cancel click is shown at once.
void frmQuorvel::showCancelling() {
  figures_.status = QStringLiteral("Cancelling...");
  showText(txtStatus_, figures_.status);
  txtStatus_->repaint();
  appState().CancelRequested = true;
}

void frmQuorvel::onUrlTextChanged(const QString& text) {
  if (!inNormalUse_) return;
  if (!text.trimmed().isEmpty()) {
    currentUrl_ = text;
    return;
  }
  AppState& s = appState();
  if (RemoveFromHistory(s.urlHistory, currentUrl_)) {
    // The deletion is stored at once, so that the URL does not come back at the next start.
    SaveHistory(s.urlHistory);
    fillUrlBox(HistoryListEntries(s.urlHistory), s.urlHistory[1]);
    // What the user types next replaces the URL brought up, instead of going in front of it.
    cboURLToUse_->lineEdit()->selectAll();
  }
  currentUrl_ = cboURLToUse_->currentText();
}

void frmQuorvel::onUseUrlFileToggled(bool checked) {
  cboURLToUse_->setEnabled(!checked);
}

bool frmQuorvel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == cmdGo_ && event->type() == QEvent::MouseButtonPress) {
    const Qt::KeyboardModifiers mods = static_cast<QMouseEvent*>(event)->modifiers();
    if (mods & Qt::ControlModifier) appState().debug1 = true;
    if (mods & Qt::AltModifier) appState().debug2 = true;
  } else if (watched == cboURLToUse_ && event->type() == QEvent::KeyPress) {
    // Return and the keypad's Enter act as a click on Run; the key still goes on to the box.
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) onGoClicked();
  } else if (watched == txtTotalErrors_ && event->type() == QEvent::MouseButtonDblClick &&
             !running_) {
    onRunRequests();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void frmQuorvel::closeEvent(QCloseEvent* event) {
  if (running_ && !closeFromRun_) {
    // Closing in the middle of a run: stop the run first; the window closes when it returns.
    closeAfterRun_ = true;
    showCancelling();
    event->ignore();
    return;
  }
  SaveWindowChoices(choices());
  saveWindowPlace(this);
  event->accept();
}

// A wider window gives its width to the URL box and the status line; every control stays where
// the layout put it.
void frmQuorvel::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  const int wider = std::max(0, centralWidget()->width() - laidOutWidth_);
  for (const auto& [w, width] : widening_) w->resize(width + wider, w->height());
}

// --- RunView -------------------------------------------------------------------------------

bool frmQuorvel::useUrlFile() const {
  return chkUseURLFile_->isChecked();
}
QString frmQuorvel::urlBoxText() const {
  return cboURLToUse_->currentText();
}
QString frmQuorvel::iterationsText() const {
  return txtIterations_->text();
}
bool frmQuorvel::loggingOn() const {
  return chkLoggingOn_->isChecked();
}
bool frmQuorvel::imagesOn() const {
  return chkImagesOn_->isChecked();
}
bool frmQuorvel::soundsOn() const {
  return chkSoundsOn_->isChecked();
}
bool frmQuorvel::browserLoadOn() const {
  return chkBrowserLoad_->isChecked();
}

void frmQuorvel::setUrlList(const QStringList& entries, const QString& editText) {
  fillUrlBox(entries, editText);
  currentUrl_ = cboURLToUse_->currentText();
}

// During a run the status and totals are shown at most once per DisplayThrottle interval, and
// not at all while nobody can see the window; the last ones are always shown when the run
// returns. Outside a run they are shown at once.
void frmQuorvel::setStatus(const QString& text) {
  figures_.status = text;
  figuresChanged();
}

void frmQuorvel::setTotals(const RunTotals& t) {
  figures_.totals = t;
  figuresChanged();
}

void frmQuorvel::setProgress(const RunProgress& p) {
  figures_.progress = ProgressText(p);
  figuresChanged();
}

void frmQuorvel::figuresChanged() {
  display_.changed();
  if (!running_)
    showFigures();
  else if (display_.due() && seenOnScreen(this))
    showFigures();
}

void frmQuorvel::showFigures() {
  const TotalsText t = MakeTotalsText(figures_.totals);
  showText(txtStatus_, figures_.status);
  showText(txtValidURLs_, t.validUrls);
  showText(txtTotalErrors_, t.totalErrors);
  showText(txtTotalBytes_, t.totalBytes);
  showText(txtTotalSecs_, t.totalSecs);
  showText(txtThroughput_, t.throughput);
  showText(txtAvgPageLoad_, t.avgPageLoad);
  lblProgress_->setText(figures_.progress);
  display_.shown();
}

void frmQuorvel::processEvents() {
  if (display_.due() && seenOnScreen(this)) showFigures();
  QCoreApplication::processEvents();
}

void frmQuorvel::setBusyCursor(bool busy) {
  if (busy == busyCursor_) return;
  busyCursor_ = busy;
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void frmQuorvel::message(const QString& title, const QString& text, MsgIcon icon) {
  showMessage(this, title, text, icon);
}

void frmQuorvel::closeMainWindow() {
  closeFromRun_ = true;
  close();
}

// --- Menus ---------------------------------------------------------------------------------

void frmQuorvel::showModal(QDialog& dialog) {
  restoreWindowPlace(&dialog);
  if (modal_)
    modal_(dialog);
  else
    dialog.exec();
  saveWindowPlace(&dialog);
}

void frmQuorvel::onViewLogFile() {
  QString path;
  const QString text = ViewLogFile(kMainLogName, shell_ ? *shell_ : desktopShell(), {}, &path);
  if (text.isEmpty()) return;
  if (path.isEmpty()) {
    showMessage(this, QStringLiteral("Oops"), text, MsgIcon::Exclamation);
  } else if (askMessage(this, QStringLiteral("Oops"), text, MsgIcon::Exclamation,
                        QStringLiteral("&Copy Path"))) {
    QGuiApplication::clipboard()->setText(path);
  }
}

void frmQuorvel::onClearLogFile() {
  const QString text = ClearLogFile();
  if (!text.isEmpty()) showMessage(this, QStringLiteral("Oops"), text, MsgIcon::Exclamation);
}

void frmQuorvel::onRunRequests() {
  frmRunRequests dlg(lastRun_, this);
  showModal(dlg);
}

void frmQuorvel::onOptions() {
  frmOptions dlg(this);
  showModal(dlg);
}

void frmQuorvel::onFtp() {
  frmFTP dlg(this);
  showModal(dlg);
}

void frmQuorvel::onPing() {
  frmPing dlg(urlSources(), this);
  showModal(dlg);
}

void frmQuorvel::onTraceRoute() {
  frmTraceRt dlg(urlSources(), this);
  showModal(dlg);
}

void frmQuorvel::onLogFileStatistics() {
  frmStatistics dlg(this);
  showModal(dlg);
}

void frmQuorvel::onAbout() {
  frmAbout dlg(this);
  showModal(dlg);
}

}  // namespace quorvel
