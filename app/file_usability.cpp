#include "app/file_usability.h"

#include <QFile>
#include <QFileInfo>

namespace quorvel {

bool FileUsable(const QString& path, int mode) {
  const QFileInfo info(path);
  if (!info.exists() || !info.isFile() || !info.lastModified().isValid()) return false;
  if (mode == kFileExists) return true;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  f.close();
  return true;
}

}  // namespace quorvel
