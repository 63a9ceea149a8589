// One running instance per application folder.
//
// The lock is an flock() on the application folder itself, held for the life of the process.
// It needs no file of its own, so it works in a read-only folder too; only where the folder
// cannot be locked (some network file systems) a lock file "Quorvel.lock" in it is locked
// instead (never through a link). The kernel drops the lock when the process ends in any way
// (crash, kill -9), so a dead instance never blocks the next start. The descriptor is
// close-on-exec: programs we start (the log viewer) do not inherit it.
#pragma once

#include <QString>

namespace quorvel {

class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // False only when another live process holds the lock of `folder`. When the folder cannot
  // be locked at all (it does not exist), the start is not refused.
  bool acquire(const QString& folder);
  void release();

 private:
  int fd_ = -1;
};

}  // namespace quorvel
