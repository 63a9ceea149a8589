// One running instance per application folder.
//
// The lock is an flock() on a file in the application folder, held for the life of the
// process. The kernel drops it when the process ends in any way (crash, kill -9), so a dead
// instance never blocks the next start. The descriptor is close-on-exec: programs we start
// (the log viewer) do not inherit it.
#pragma once

#include <QString>

namespace quorvel {

class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // False only when another live process holds the lock. When the lock file cannot be made
  // at all (read-only folder), the start is not refused.
  bool acquire(const QString& lockPath);
  void release();

 private:
  int fd_ = -1;
};

}  // namespace quorvel
