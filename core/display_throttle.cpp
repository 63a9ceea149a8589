#include "core/display_throttle.h"

#include "core/tick.h"

namespace quorvel {

bool DisplayThrottle::due() const {
  return pending_ && monotonicMicros() - lastShown_ >= intervalMicros_;
}

void DisplayThrottle::shown() {
  pending_ = false;
  lastShown_ = monotonicMicros();
}

}  // namespace quorvel
