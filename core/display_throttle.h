// How often a window shows the figures of work that is going on: at most once per interval
// (about 30 ms: a person sees no difference, and the work is not slowed by painting), and
// always the last figures once the work is over.
#pragma once

#include <cstdint>

namespace quorvel {

class DisplayThrottle {
 public:
  static constexpr std::int64_t kDefaultIntervalMicros = 30'000;

  explicit DisplayThrottle(std::int64_t intervalMicros = kDefaultIntervalMicros)
      : intervalMicros_(intervalMicros) {}

  // Something new waits to be shown.
  void changed() { pending_ = true; }
  bool pending() const { return pending_; }

  // True when what waits may be shown now; the caller then shows it and calls shown().
  bool due() const;
  void shown();

 private:
  std::int64_t intervalMicros_;
  std::int64_t lastShown_ = INT64_MIN / 2;
  bool pending_ = false;
};

}  // namespace quorvel
