// What a long request calls now and then while it waits, so that the window stays alive and
// sees a Cancel click: at most once per interval, and never during a request that ends sooner
// (so a quick fetch measures the network alone, not the window).
#pragma once

#include <cstdint>
#include <functional>

namespace quorvel {

class EventPump {
 public:
  // The function processes pending events; it returns false when the request is to be
  // abandoned (the user cancelled). An empty function never abandons anything.
  using Function = std::function<bool()>;

  static constexpr std::int64_t kDefaultIntervalMicros = 50'000;

  void set(Function function) { function_ = std::move(function); }
  bool active() const { return static_cast<bool>(function_); }
  void setInterval(std::int64_t micros) { intervalMicros_ = micros; }
  std::int64_t intervalMicros() const { return intervalMicros_; }

  // At the start of a request: the first call is due one interval from now.
  void restart();
  // Calls the function when an interval has passed since the last call (or the restart).
  // False when the request is to be abandoned.
  bool pumpIfDue();
  // Microseconds until the next call is due (0 when it is due now).
  std::int64_t microsUntilDue() const;

 private:
  Function function_;
  std::int64_t intervalMicros_ = kDefaultIntervalMicros;
  std::int64_t last_ = 0;
};

// Waits until the monotonic clock reaches `deadlineMicros`, calling `pump` at least every
// 50 ms meanwhile (the pause between two requests of a series); false as soon as the pump says
// the user has cancelled. An empty pump is never asked.
bool pauseUntil(std::int64_t deadlineMicros, const std::function<bool()>& pump);

}  // namespace quorvel
