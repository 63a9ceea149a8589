// File-system faults for tests: a small tmpfs that the test mounts itself and can fill up or
// turn read-only. Tests run as root on CI, where permission bits stop no write, so a full or
// read-only file system is the only honest stand-in for a full disk or a read-only folder.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace quorvel::testing {

class SmallFs {
 public:
  // Mounts a tmpfs of `bytes` on a fresh folder. When that is not possible (not root, no
  // mount permission), mounted() is false and skipReason() says why.
  explicit SmallFs(qint64 bytes = 64 * 1024);
  ~SmallFs();
  SmallFs(const SmallFs&) = delete;
  SmallFs& operator=(const SmallFs&) = delete;

  bool mounted() const { return mounted_; }
  QString skipReason() const { return reason_; }
  QString path() const { return dir_.path(); }
  QString file(const QString& name) const { return path() + QLatin1Char('/') + name; }

  // Writes a filler file until the file system has no room left for one more byte.
  bool fill();
  // Remounts the file system read-only: no write reaches it, not even root's.
  bool makeReadOnly();

 private:
  QTemporaryDir dir_;
  bool mounted_ = false;
  QString reason_;
};

}  // namespace quorvel::testing

// Skips the test with the reason when the file system could not be made.
#define REQUIRE_SMALL_FS(fs)                                              \
  do {                                                                    \
    if (!(fs).mounted()) GTEST_SKIP() << (fs).skipReason().toStdString(); \
  } while (0)
