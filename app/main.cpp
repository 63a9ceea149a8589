#include <QApplication>
#include <QStringList>
#include <QtGlobal>
#include <cstdio>

#include "core/app_files.h"
#include "core/app_folder.h"
#include "core/app_state.h"
#include "core/exit_codes.h"
#include "app/frm_quorvel.h"
#include "core/instance_lock.h"
#include "core/message_box.h"
#include "core/quiet_qt.h"
#include "core/text_util.h"
#include "app/startup.h"
#include "bench/benchmark.h"
#include "cli/commands.h"

namespace {

QStringList argumentsOf(int argc, char** argv) {
  QStringList args;
  // Arguments are UTF-8; bytes that are not keep their value (a URL sends them as they came).
  for (int i = 1; i < argc; ++i) args << quorvel::FromUtf8KeepingBytes(argv[i]);
  return args;
}

bool haveDisplay() {
  return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
  quorvel::cli::HoldStandardStreams();
  const QStringList args = argumentsOf(argc, argv);
  // A command runs one tool without any window (and needs no display).
  if (quorvel::cli::IsCommandLine(args)) return quorvel::cli::RunCommandLine(argc, argv);

  const quorvel::CommandWords words = quorvel::ParseCommandWords(args.join(QLatin1Char(' ')));
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !haveDisplay()) {
    // With no display the unattended run still works (cron, a terminal); the windows do not.
    if (!words.autoMode) {
      std::fputs(
          "quorvel: There is no display for the windows. Run \"quorvel auto\" for the "
          "unattended benchmark of URLS.DAT, or a command without a window (\"quorvel "
          "--help\").\n",
          stderr);
      return quorvel::kExitCannotStart;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  quorvel::InstallQuietQtMessages();
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
  quorvel::frmQuorvel w(args.join(QLatin1Char(' ')));
  w.show();
  const int rc = QApplication::exec();
  if (!quorvel::appState().autoMode) return rc;
  // The outcome of the last run, for the exit code of an unattended one.
  return quorvel::UnattendedExitCode(w.lastOutcome(), quorvel::appState().settingsLost);
}
