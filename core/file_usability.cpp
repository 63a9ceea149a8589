#include "core/file_usability.h"

#include <QFile>
#include <QFileInfo>

#include "core/app_files.h"

namespace quorvel {

bool FileUsable(const QString& path, int mode) {
  const QFileInfo info(path);
  if (!info.exists() || !info.isFile() || !info.lastModified().isValid()) return false;
  if (mode == kFileExists) return true;
  // Opened as every file of the program is: never a FIFO or a device, never blocking.
  QFile f;
  return openForReading(f, path).ok();
}

}  // namespace quorvel
