#include <QApplication>
#include <QStringList>
#include <QtGlobal>

#include "app/app_files.h"
#include "app/app_folder.h"
#include "app/app_state.h"
#include "app/frm_quorvel.h"
#include "app/instance_lock.h"
#include "app/message_box.h"
#include "bench/benchmark.h"

int main(int argc, char** argv) {
  // With no display the program still runs (an unattended run from cron or a terminal).
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel"));

  quorvel::resetAppState(quorvel::locateAppFolder(QCoreApplication::applicationDirPath()));

  // The first step of start-up: one running instance per application folder.
  quorvel::InstanceLock lock;
  if (!lock.acquire(quorvel::appState().appFolder)) {
    quorvel::showMessage(nullptr, QStringLiteral("Oops"),
                         QStringLiteral("Quorvel is already running!"),
                         quorvel::MsgIcon::Exclamation);
    return quorvel::kExitAlreadyRunning;
  }

  // Trouble with the settings file or debug.txt is told once, in a message box.
  quorvel::setFileTroubleReporter([](const QString& text) {
    quorvel::showMessage(nullptr, QStringLiteral("Oops"), text, quorvel::MsgIcon::Exclamation);
  });

  // The command line as one text: the arguments after the program's name.
  const QStringList words = QCoreApplication::arguments().mid(1);
  quorvel::frmQuorvel w(words.join(QLatin1Char(' ')));
  // The outcome of the last run, for the exit code of an unattended one.
  quorvel::RunOutcome outcome;
  w.setRunFunction([&outcome](quorvel::RunView& view) { outcome = quorvel::RunBenchmark(view); });
  w.show();
  const int rc = QApplication::exec();
  if (!quorvel::appState().autoMode) return rc;
  return quorvel::UnattendedExitCode(outcome, quorvel::appState().settingsLost);
}
