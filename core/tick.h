// The program's clocks, both monotonic.
//
// tickCount(): milliseconds read as 32 bits; durations are differences of two readings and stay
// right across the wrap-around. monotonicMicros(): microseconds as 64 bits, for every interval
// that is measured (a fetch on a LAN takes well under a millisecond).
#pragma once

#include <cstdint>

namespace quorvel {

std::uint32_t tickCount();

inline std::uint32_t ticksBetween(std::uint32_t start, std::uint32_t end) {
  return end - start;
}

std::int64_t monotonicMicros();

// A duration in microseconds as (fractional) milliseconds, the unit of every figure shown.
inline double microsToMs(std::int64_t micros) {
  return static_cast<double>(micros) / 1000.0;
}

}  // namespace quorvel
