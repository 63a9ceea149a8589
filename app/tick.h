// The millisecond tick count: a monotonic clock, read as 32 bits; durations are differences
// of two readings and stay right across the wrap-around.
#pragma once

#include <cstdint>

namespace quorvel {

std::uint32_t tickCount();

inline std::uint32_t ticksBetween(std::uint32_t start, std::uint32_t end) { return end - start; }

}  // namespace quorvel
