#include "core/event_pump.h"

#include "core/tick.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace quorvel {

void EventPump::restart() {
  last_ = monotonicMicros();
}

bool EventPump::pumpIfDue() {
  const std::int64_t now = monotonicMicros();
  if (now - last_ < intervalMicros_) return true;
  last_ = now;
  return function_ ? function_() : true;
}

std::int64_t EventPump::microsUntilDue() const {
  const std::int64_t left = intervalMicros_ - (monotonicMicros() - last_);
  return left > 0 ? left : 0;
}

bool pauseUntil(std::int64_t deadlineMicros, const std::function<bool()>& pump) {
  for (std::int64_t now = monotonicMicros(); now < deadlineMicros; now = monotonicMicros()) {
    const std::int64_t step = std::min(deadlineMicros - now, EventPump::kDefaultIntervalMicros);
    std::this_thread::sleep_for(std::chrono::microseconds(step));
    if (pump && !pump()) return false;
  }
  return true;
}

}  // namespace quorvel
