#include "core/event_pump.h"

#include "core/tick.h"

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

}  // namespace quorvel
