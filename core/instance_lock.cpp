#include "core/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>

namespace quorvel {

namespace {

enum class Locked { Yes, HeldElsewhere, NotPossible };

Locked lockDescriptor(int fd) {
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc == 0) return Locked::Yes;
  return errno == EWOULDBLOCK ? Locked::HeldElsewhere : Locked::NotPossible;
}

// The lock file of a folder that cannot be locked itself: a regular file, never a link.
int openLockFile(const QString& folder) {
  const QByteArray native = QFile::encodeName(folder + QStringLiteral("/Quorvel.lock"));
  const int fd =
      ::open(native.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

InstanceLock::~InstanceLock() {
  release();
}

bool InstanceLock::acquire(const QString& folder) {
  release();
  const QByteArray native = QFile::encodeName(folder);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int fd = attempt == 0 ? ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                : openLockFile(folder);
    if (fd < 0) continue;
    switch (lockDescriptor(fd)) {
      case Locked::Yes:
        fd_ = fd;
        return true;
      case Locked::HeldElsewhere:
        ::close(fd);
        return false;
      case Locked::NotPossible:
        ::close(fd);
        break;
    }
  }
  return true;
}

void InstanceLock::release() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace quorvel
