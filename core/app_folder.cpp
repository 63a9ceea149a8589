#include "core/app_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtGlobal>
#include <unistd.h>

namespace quorvel {

namespace {

// Folders where installed programs live: even where they are writable (for root), they are no
// place for a user's settings and logs.
bool isInstalledProgramsFolder(const QString& dir) {
  const QString d = QDir::cleanPath(QDir(dir).absolutePath()) + QLatin1Char('/');
  for (const char* prefix : {"/usr/", "/bin/", "/sbin/", "/opt/", "/snap/"})
    if (d.startsWith(QLatin1String(prefix))) return true;
  return false;
}

}  // namespace

QString locateAppFolder(const QString& executableDir) {
  const QString home = qEnvironmentVariable("QUORVEL_HOME");
  if (!home.isEmpty()) {
    QDir().mkpath(home);
    return QDir(home).absolutePath();
  }
  if (!executableDir.isEmpty()) {
    const QByteArray native = QFile::encodeName(executableDir);
    if (::access(native.constData(), W_OK) == 0 && !isInstalledProgramsFolder(executableDir))
      return QDir(executableDir).absolutePath();
  }
  QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (data.isEmpty()) data = QDir::homePath() + QStringLiteral("/.local/share/Quorvel");
  QDir().mkpath(data);
  return QDir(data).absolutePath();
}

}  // namespace quorvel
