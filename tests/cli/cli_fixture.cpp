#include "cli/cli_fixture.h"

#include <cstdio>

#include "app/app_state.h"
#include "cli/commands.h"

namespace quorvel::testing {

namespace {
QByteArray readAll(std::FILE* f) {
  QByteArray data;
  std::rewind(f);
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, qsizetype(n));
  std::fclose(f);
  return data;
}
}  // namespace

void CommandLineTest::SetUp() {
  AppFolderTest::SetUp();
  appState().settingsPath = appState().filePath(QStringLiteral("Quorvel.ini"));
}

CommandResult CommandLineTest::run(const QStringList& args) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  CommandResult r;
  {
    cli::Console console(out, err);
    console.setProgress(false);
    r.exitCode = cli::RunCommandLine(args, console);
  }
  r.out = readAll(out);
  r.err = readAll(err);
  return r;
}

CommandResult CommandLineTest::runProgram(const QStringList& args, int timeoutMs) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QUORVEL_HOME"), dir_.path());
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.remove(QStringLiteral("QT_QPA_PLATFORM"));
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(QUORVEL_EXE), args);
  CommandResult r;
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished();
    return r;
  }
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = p.readAllStandardOutput();
  r.err = p.readAllStandardError();
  return r;
}

}  // namespace quorvel::testing
