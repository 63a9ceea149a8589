#include "hardening/small_fs.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <vector>

namespace quorvel::testing {

SmallFs::SmallFs(qint64 bytes) {
  if (!dir_.isValid()) {
    reason_ = QStringLiteral("no temporary folder");
    return;
  }
  if (geteuid() != 0) {
    reason_ = QStringLiteral("needs root to mount a small tmpfs (not running as root)");
    return;
  }
  const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
  if (mount("quorvel-test", dir_.path().toLocal8Bit().constData(), "tmpfs", MS_NOSUID | MS_NODEV,
            options.constData()) != 0) {
    reason_ =
        QStringLiteral("cannot mount a tmpfs here: ") + QString::fromLocal8Bit(strerror(errno));
    return;
  }
  mounted_ = true;
}

SmallFs::~SmallFs() {
  if (mounted_) umount2(dir_.path().toLocal8Bit().constData(), MNT_DETACH);
}

bool SmallFs::fill() {
  if (!mounted_) return false;
  const int fd = ::open(file(QStringLiteral(".filler")).toLocal8Bit().constData(),
                        O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0) return false;
  // Large pieces first, then single bytes, until not even one more fits.
  std::vector<char> block(4096, 'f');
  for (size_t piece : {size_t(4096), size_t(1)}) {
    for (;;) {
      const ssize_t n = ::write(fd, block.data(), piece);
      if (n <= 0) break;
    }
  }
  const bool full = errno == ENOSPC;
  ::close(fd);
  return full;
}

bool SmallFs::makeReadOnly() {
  if (!mounted_) return false;
  return mount("quorvel-test", dir_.path().toLocal8Bit().constData(), "tmpfs",
               MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0;
}

}  // namespace quorvel::testing
