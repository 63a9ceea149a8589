#include "app/log_file.h"

#include <QFile>
#include <cstdint>

#include "core/app_state.h"
#include "core/file_usability.h"
#include "app/shell.h"

namespace quorvel {

namespace {

const QString kLocked = QStringLiteral("Log file is currently locked by another program");

bool test(const UsabilityTest& usable, const QString& path, int mode) {
  return usable ? usable(path, mode) : FileUsable(path, mode);
}

// Shell results are 16-bit values; anything above 32 means success.
int asShort(int value) {
  return static_cast<std::int16_t>(value);
}

}  // namespace

QString ViewLogFile(const QString& name, Shell& shell, const UsabilityTest& usable,
                    QString* pathToOffer) {
  const QString path = appState().filePath(name);
  if (!test(usable, path, kFileExists)) return QStringLiteral("Could not locate a log file");
  if (!test(usable, path, kFileCanOpen)) return kLocked;
  QString program;
  int rc = asShort(shell.findExecutable(path, &program));
  if (rc <= 32) {
    QString text = QStringLiteral("Error %1 encountered when attempting to view log file").arg(rc);
    if (rc == kShellNoAssociation) {
      text += QStringLiteral("\n\nNo program is set to open text files. The log file is\n") + path;
      if (pathToOffer) *pathToOffer = path;
    }
    return text;
  }
  rc = asShort(shell.execute(program, path));
  if (rc > 32) return {};
  return QStringLiteral("Error %1 encountered when opening log file").arg(rc);
}

QString ClearLogFile(const UsabilityTest& usable) {
  const QString path = appState().filePath(kMainLogName);
  if (!test(usable, path, kFileExists)) return {};
  if (!test(usable, path, kFileCanOpen)) return kLocked;
  // A file that cannot be deleted (a read-only folder) is reported like a held one.
  if (!QFile::remove(path) && QFile::exists(path)) return kLocked;
  return {};
}

}  // namespace quorvel
