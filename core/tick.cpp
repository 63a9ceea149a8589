#include "core/tick.h"

#include <time.h>

namespace quorvel {

namespace {
timespec monotonicNow() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts;
}
}  // namespace

std::uint32_t tickCount() {
  const timespec ts = monotonicNow();
  const std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                           static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

std::int64_t monotonicMicros() {
  const timespec ts = monotonicNow();
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

}  // namespace quorvel
