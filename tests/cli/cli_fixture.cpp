#include "cli/cli_fixture.h"

#include <QJsonDocument>
#include <cstdio>

#include "core/app_state.h"
#include "cli/commands.h"

namespace quorvel::testing {

void CommandLineTest::SetUp() {
  AppFolderTest::SetUp();
  appState().settingsPath = appState().filePath(QStringLiteral("Quorvel.ini"));
}

Ended CommandLineTest::run(const QStringList& args) {
  std::FILE* files[] = {std::tmpfile(), std::tmpfile()};
  Ended r;
  {
    cli::Console console(files[0], files[1]);
    console.setProgress(false);
    r.code = cli::RunCommandLine(args, console);
    r.finished = true;
  }
  for (int i = 0; i < 2; ++i) {
    std::rewind(files[i]);
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, files[i])) > 0;)
      (i ? r.err : r.out).append(buf, qsizetype(n));
    std::fclose(files[i]);
  }
  return r;
}

QJsonObject jsonOf(const QByteArray& text) {
  return QJsonDocument::fromJson(text).object();
}

}  // namespace quorvel::testing
