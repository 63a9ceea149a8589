// The counters of a benchmark run: for the whole run and for one URL list entry.
//
// Byte counts and times are 64-bit: a long run over a fast line moves more than 2 GB. Times
// are in microseconds, so that a fetch of well under a millisecond still counts what it took.
#pragma once

#include <cstdint>

namespace quorvel {

struct RunTotals {
  std::int64_t bytes = 0;
  std::int64_t micros = 0;
  std::int64_t validUrls = 0;
  std::int64_t files = 0;
  std::int64_t errors = 0;
};

struct UrlTotals {
  std::int64_t files = 0;
  std::int64_t bytes = 0;
  std::int64_t micros = 0;
  std::int64_t errors = 0;
};

}  // namespace quorvel
