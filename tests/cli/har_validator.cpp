#include "cli/har_validator.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace quorvel::testing {

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
