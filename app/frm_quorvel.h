#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <utility>
#include <vector>

#include "core/display_throttle.h"
#include "bench/run_outcome.h"
#include "bench/run_requests.h"
#include "bench/run_view.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace quorvel {

class Shell;
struct WindowChoices;

// The main window "Quorvel": benchmark choices, status, totals, Run/Cancel and the menus.
//
// Creating it runs the start-up routine; closing it stores its check boxes and ends the
// program. A run is started by the Run button (or Enter in the URL box) and lasts for the
// whole click handler; the run talks to the window through RunView.
class frmQuorvel : public QMainWindow, public RunView {
  Q_OBJECT
 public:
  // Start-up with an empty command line.
  explicit frmQuorvel(QWidget* parent = nullptr);
  // Start-up with the program's command line (its arguments, joined by blanks).
  explicit frmQuorvel(const QString& commandLine, QWidget* parent = nullptr);
  ~frmQuorvel() override;

  // The run the Run button starts; RunBenchmark unless a test replaces it.
  using RunFunction = std::function<void(RunView&)>;
  void setRunFunction(RunFunction run) { run_ = std::move(run); }

  // How the other windows are shown; exec() unless a test replaces it.
  using ModalRunner = std::function<void(QDialog&)>;
  void setModalRunner(ModalRunner runner) { modal_ = std::move(runner); }

  // The shell that opens the log file; the desktop's own unless a test replaces it.
  void setShell(Shell* shell) { shell_ = shell; }

  // The URL box: its current text first, then its list entries.
  QStringList urlSources() const;
  // The URL box's text as last seen by the history editing.
  QString currentUrl() const { return currentUrl_; }
  bool running() const { return running_; }
  // The requests of the last run (of the run that goes on, while it does).
  const RunRequests& lastRun() const { return lastRun_; }
  // How the last run of RunBenchmark ended (for the exit code of an unattended run).
  const RunOutcome& lastOutcome() const { return lastOutcome_; }

  // RunView
  bool useUrlFile() const override;
  QString urlBoxText() const override;
  QString iterationsText() const override;
  bool loggingOn() const override;
  bool imagesOn() const override;
  bool soundsOn() const override;
  bool browserLoadOn() const override;
  void setUrlList(const QStringList& entries, const QString& editText) override;
  void setStatus(const QString& text) override;
  void setTotals(const RunTotals& totals) override;
  void setProgress(const RunProgress& progress) override;
  void processEvents() override;
  void setBusyCursor(bool busy) override;
  void message(const QString& title, const QString& text, MsgIcon icon) override;
  void closeMainWindow() override;

 public slots:
  void onGoClicked();
  void onUrlTextChanged(const QString& text);
  void onUseUrlFileToggled(bool checked);
  void onViewLogFile();
  void onClearLogFile();
  void onRunRequests();
  void onOptions();
  void onFtp();
  void onPing();
  void onTraceRoute();
  void onLogFileStatistics();
  void onAbout();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildControls();
  void buildMenus();
  void startUp(const QString& commandLine);
  void fillUrlBox(const QStringList& entries, const QString& editText);
  void setRunning(bool on);
  void showModal(QDialog& dialog);
  void figuresChanged();
  void showFigures();
  void showCancelling();
  WindowChoices choices() const;

  QCheckBox* chkImagesOn_ = nullptr;
  QCheckBox* chkSoundsOn_ = nullptr;
  QCheckBox* chkBrowserLoad_ = nullptr;
  QLabel* lblIterations_ = nullptr;
  QLineEdit* txtIterations_ = nullptr;
  QCheckBox* chkLoggingOn_ = nullptr;
  QCheckBox* chkUseURLFile_ = nullptr;
  QLabel* lblURLToUse_ = nullptr;
  QComboBox* cboURLToUse_ = nullptr;
  QLineEdit* txtStatus_ = nullptr;
  QLineEdit* txtValidURLs_ = nullptr;
  QLineEdit* txtTotalErrors_ = nullptr;
  QLineEdit* txtTotalBytes_ = nullptr;
  QLineEdit* txtTotalSecs_ = nullptr;
  QLineEdit* txtThroughput_ = nullptr;
  QLineEdit* txtAvgPageLoad_ = nullptr;
  QPushButton* cmdGo_ = nullptr;
  QPushButton* cmdCancel_ = nullptr;
  QLabel* lblProgress_ = nullptr;  // in the status bar
  // The width of the client area as laid out, and of the controls that take up what a wider
  // window gives (the URL box, the status line, the rules).
  int laidOutWidth_ = 0;
  std::vector<std::pair<QWidget*, int>> widening_;

  QMenu* mnuFile_ = nullptr;
  QMenu* mnuTools_ = nullptr;
  QAction* mnuOptions_ = nullptr;
  QAction* mnuAbout_ = nullptr;

  // False while the start-up routine (or a run) fills the URL box, so that those changes
  // never edit the history; true in normal use.
  bool inNormalUse_ = false;
  QString currentUrl_;
  bool running_ = false;
  bool busyCursor_ = false;
  bool closeFromRun_ = false;   // the run closes the window (unattended mode)
  bool closeAfterRun_ = false;  // the user closed the window during a run

  // The status and totals the run last gave, and when they were last shown.
  struct Figures {
    QString status;
    RunTotals totals;
    QString progress;
  } figures_;
  DisplayThrottle display_;

  RunRequests lastRun_;
  RunOutcome lastOutcome_;
  RunFunction run_;
  ModalRunner modal_;
  Shell* shell_ = nullptr;
};

}  // namespace quorvel
