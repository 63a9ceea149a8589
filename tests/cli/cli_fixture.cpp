#include "cli/cli_fixture.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
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

QString harValidatorMissing() {
  if (QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty())
    return QStringLiteral("node is not installed (scripts/install-deps.sh)");
  if (!QFile::exists(QStringLiteral(QUORVEL_NPM_DIR "/node_modules/har-validator/package.json")))
    return QStringLiteral("har-validator is not in " QUORVEL_NPM_DIR " (scripts/install-npm.sh)");
  return {};
}

QString harVerdict(const QString& harFile) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(QStandardPaths::findExecutable(QStringLiteral("node")),
          {QStringLiteral(QUORVEL_TEST_SOURCE_DIR "/validate_har.js"),
           QStringLiteral(QUORVEL_NPM_DIR), harFile});
  if (!p.waitForFinished(60000)) return QStringLiteral("node did not finish");
  const QString out = QString::fromUtf8(p.readAll()).trimmed();
  return p.exitCode() == 0 ? out : QStringLiteral("exit %1: %2").arg(p.exitCode()).arg(out);
}

}  // namespace quorvel::testing
