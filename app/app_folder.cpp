#include "app/app_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtGlobal>
#include <unistd.h>

namespace quorvel {

QString locateAppFolder(const QString& executableDir) {
  const QString home = qEnvironmentVariable("QUORVEL_HOME");
  if (!home.isEmpty()) {
    QDir().mkpath(home);
    return QDir(home).absolutePath();
  }
  if (!executableDir.isEmpty()) {
    const QByteArray native = QFile::encodeName(executableDir);
    if (::access(native.constData(), W_OK) == 0) return QDir(executableDir).absolutePath();
  }
  QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (data.isEmpty()) data = QDir::homePath() + QStringLiteral("/.local/share/Quorvel");
  QDir().mkpath(data);
  return QDir(data).absolutePath();
}

}  // namespace quorvel
