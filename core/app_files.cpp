#include "core/app_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/app_state.h"

namespace quorvel {

namespace {

constexpr int kCommonFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

FileStatus trouble(FileTrouble t, int error = 0) {
  return FileStatus{t, error};
}

// What stands at `native` without following a link: nothing, a regular file, or trouble.
FileStatus lstatTrouble(const QByteArray& native, struct stat* st, bool* exists) {
  *exists = false;
  if (::lstat(native.constData(), st) != 0) {
    if (errno == ENOENT) return {};
    return trouble(FileTrouble::Error, errno);
  }
  *exists = true;
  if (S_ISLNK(st->st_mode)) return trouble(FileTrouble::SymbolicLink);
  if (!S_ISREG(st->st_mode)) return trouble(FileTrouble::NotRegular);
  return {};
}

// Why an open failed: the thing in the file's place when that explains it, else the error.
FileStatus openTrouble(int error, const QByteArray& native) {
  struct stat st;
  bool exists = false;
  const FileStatus found = lstatTrouble(native, &st, &exists);
  if (found.trouble == FileTrouble::SymbolicLink || found.trouble == FileTrouble::NotRegular)
    return found;
  if (error == ENOENT) return trouble(FileTrouble::Missing);
  return trouble(FileTrouble::Error, error);
}

// After an open that did not block: the descriptor must be a regular file; blocking is then
// switched back on. Closes the descriptor when it is not one.
FileStatus checkDescriptor(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return trouble(FileTrouble::NotRegular);
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return {};
}

FileStatus adopt(QFile& file, int fd, QIODevice::OpenMode mode) {
  file.close();
  if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return trouble(FileTrouble::Error, EIO);
  }
  return {};
}

bool writeAll(int fd, const char* data, qint64 size, off_t at, int* error) {
  while (size > 0) {
    const ssize_t n =
        at >= 0 ? ::pwrite(fd, data, size_t(size), at) : ::write(fd, data, size_t(size));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = n < 0 ? errno : ENOSPC;
      return false;
    }
    data += n;
    size -= n;
    if (at >= 0) at += n;
  }
  return true;
}

mode_t currentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

QString FileStatus::reason() const {
  switch (trouble) {
    case FileTrouble::None:
      return {};
    case FileTrouble::Missing:
      return QStringLiteral("it does not exist");
    case FileTrouble::SymbolicLink:
      return QStringLiteral("it is a symbolic link");
    case FileTrouble::NotRegular:
      return QStringLiteral("it is not a regular file");
    case FileTrouble::Error:
      break;
  }
  return QString::fromLocal8Bit(std::strerror(error));
}

FileStatus openForReading(QFile& file, const QString& path) {
  const QByteArray native = QFile::encodeName(path);
  struct stat st;
  if (::stat(native.constData(), &st) != 0)
    return errno == ENOENT ? trouble(FileTrouble::Missing) : trouble(FileTrouble::Error, errno);
  // Checked before the open: opening some devices does something by itself.
  if (!S_ISREG(st.st_mode)) return trouble(FileTrouble::NotRegular);
  const int fd = ::open(native.constData(), O_RDONLY | kCommonFlags);
  if (fd < 0) return errno == ENOENT ? trouble(FileTrouble::Missing) : openTrouble(errno, native);
  const FileStatus s = checkDescriptor(fd);
  if (!s.ok()) return s;
  return adopt(file, fd, QIODevice::ReadOnly);
}

FileStatus openForWriting(QFile& file, const QString& path, WriteOpen how) {
  const QByteArray native = QFile::encodeName(path);
  struct stat st;
  bool exists = false;
  const FileStatus found = lstatTrouble(native, &st, &exists);
  if (!found.ok()) return found;
  if (exists && how == WriteOpen::CreateNew) return trouble(FileTrouble::Error, EEXIST);

  int flags = O_CREAT | O_NOFOLLOW | kCommonFlags;
  QIODevice::OpenMode mode = QIODevice::WriteOnly;
  switch (how) {
    case WriteOpen::Append:
      flags |= O_WRONLY | O_APPEND;
      mode |= QIODevice::Append;
      break;
    case WriteOpen::ReadAndAppend:
      flags |= O_RDWR | O_APPEND;
      mode = QIODevice::ReadWrite | QIODevice::Append;
      break;
    case WriteOpen::Truncate:
      flags |= O_WRONLY;
      break;
    case WriteOpen::CreateNew:
      flags |= O_WRONLY | O_EXCL;
      break;
  }
  const int fd = ::open(native.constData(), flags, 0666);
  if (fd < 0) return openTrouble(errno, native);
  const FileStatus s = checkDescriptor(fd);
  if (!s.ok()) return s;
  // Emptied only now that it is known to be a regular file of its own.
  if (how == WriteOpen::Truncate && ::ftruncate(fd, 0) != 0) {
    const int e = errno;
    ::close(fd);
    return trouble(FileTrouble::Error, e);
  }
  return adopt(file, fd, mode);
}

// --- ReplacingFile -------------------------------------------------------------------------

FileStatus ReplacingFile::open() {
  cancel();
  const QByteArray native = QFile::encodeName(path_);
  struct stat st;
  bool exists = false;
  const FileStatus found = lstatTrouble(native, &st, &exists);
  if (!found.ok()) return found;
  // mkostemp creates the file exclusively: it never opens anything that is already there.
  QByteArray name = native + ".XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return trouble(FileTrouble::Error, errno);
  // The new file keeps the old one's permissions (and, for root, its owner).
  ::fchmod(fd, exists ? (st.st_mode & 07777) : (0666 & ~currentUmask()));
  // (When that fails, the file belongs to root, as any new file would.)
  if (exists && ::geteuid() == 0) (void)!::fchown(fd, st.st_uid, st.st_gid);
  fd_ = fd;
  temp_ = name;
  writeError_ = 0;
  return {};
}

bool ReplacingFile::write(const char* data, qint64 size) {
  if (fd_ < 0) return false;
  if (writeError_ != 0) return false;
  return writeAll(fd_, data, size, -1, &writeError_);
}

FileStatus ReplacingFile::commit() {
  if (fd_ < 0) return trouble(FileTrouble::Error, EBADF);
  int error = writeError_;
  if (error == 0 && ::fsync(fd_) != 0) error = errno;
  if (::close(fd_) != 0 && error == 0) error = errno;
  fd_ = -1;
  if (error != 0) {
    cancel();
    return trouble(FileTrouble::Error, error);
  }
  // rename() replaces the name itself: even a link put there meanwhile is replaced, not
  // followed. Refusing it here keeps the rule that a link is left alone.
  const QByteArray native = QFile::encodeName(path_);
  struct stat st;
  bool exists = false;
  const FileStatus found = lstatTrouble(native, &st, &exists);
  if (!found.ok()) {
    cancel();
    return found;
  }
  if (::rename(temp_.constData(), native.constData()) != 0) {
    error = errno;
    cancel();
    return trouble(FileTrouble::Error, error);
  }
  temp_.clear();
  return {};
}

void ReplacingFile::cancel() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.isEmpty()) ::unlink(temp_.constData());
  temp_.clear();
}

FileStatus replaceFile(const QString& path, const QByteArray& data) {
  ReplacingFile f(path);
  const FileStatus opened = f.open();
  if (!opened.ok()) return opened;
  f.write(data);
  return f.commit();
}

// --- In place ------------------------------------------------------------------------------

FileStatus rewriteInPlace(const QString& path, const QByteArray& data) {
  // More than a settings file ever holds; the old contents are kept in memory meanwhile.
  constexpr off_t kMaxOld = 64 * 1024 * 1024;
  const QByteArray native = QFile::encodeName(path);
  struct stat st;
  bool exists = false;
  const FileStatus found = lstatTrouble(native, &st, &exists);
  if (!found.ok()) return found;
  if (!exists) return trouble(FileTrouble::Missing);
  const int fd = ::open(native.constData(), O_RDWR | O_NOFOLLOW | kCommonFlags);
  if (fd < 0) return openTrouble(errno, native);
  FileStatus s = checkDescriptor(fd);
  if (!s.ok()) return s;
  auto fail = [fd](int error) {
    ::close(fd);
    return trouble(FileTrouble::Error, error);
  };
  if (::fstat(fd, &st) != 0) return fail(errno);
  if (st.st_size > kMaxOld) return fail(EFBIG);

  QByteArray old(qsizetype(st.st_size), Qt::Uninitialized);
  qsizetype got = 0;
  while (got < old.size()) {
    const ssize_t n = ::pread(fd, old.data() + got, size_t(old.size() - got), got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += n;
  }
  old.truncate(got);

  // Room first: a full disk then refuses the longer text before anything is overwritten.
  if (data.size() > old.size()) {
    const int r = ::posix_fallocate(fd, 0, off_t(data.size()));
    if (r != 0 && r != EOPNOTSUPP && r != EINVAL) return fail(r);
  }
  int error = 0;
  if (!writeAll(fd, data.constData(), data.size(), 0, &error) ||
      ::ftruncate(fd, off_t(data.size())) != 0) {
    if (error == 0) error = errno;
    int ignored = 0;
    if (writeAll(fd, old.constData(), old.size(), 0, &ignored))
      (void)!::ftruncate(fd, off_t(old.size()));
    return fail(error);
  }
  if (::fsync(fd) != 0) return fail(errno);
  if (::close(fd) != 0) return trouble(FileTrouble::Error, errno);
  return {};
}

// --- Telling ---------------------------------------------------------------------------------

namespace {
std::function<void(const QString&)>& reporter() {
  static std::function<void(const QString&)> r;
  return r;
}
}  // namespace

void setFileTroubleReporter(std::function<void(const QString&)> r) {
  reporter() = std::move(r);
}

void tellFileTrouble(const QString& fileName, const QString& sentence) {
  QStringList& told = appState().troubleTold;
  if (told.contains(fileName, Qt::CaseInsensitive)) return;
  told << fileName;
  if (reporter()) reporter()(sentence);
}

}  // namespace quorvel
