// The benchmark run over a given Internet session, clock and output: RunBenchmark(RunView&)
// uses the real ones; tests and benchmark programs pass their own.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>

#include "bench/internet.h"
#include "bench/run_outcome.h"
#include "bench/run_view.h"

namespace quorvel {

struct RunEnvironment {
  // The monotonic microsecond clock that times every download.
  std::function<std::int64_t()> clockMicros;
  // The local date and time written into the logs.
  std::function<QDateTime()> now;
  // Where an unattended run prints its summary line (standard output by default).
  std::function<void(const QString&)> printSummary;
  // Called with each measured interval (URL, microseconds); for benchmark programs.
  std::function<void(const QString&, std::int64_t)> onInterval;
};

// The environment of a real run: monotonicMicros(), the local clock, standard output.
RunEnvironment DefaultRunEnvironment();

// The largest number of iterations and of URLs a run accepts (the counts are 16-bit).
inline constexpr int kMaxRunCount = 32767;

RunOutcome RunBenchmark(RunView& view, InternetSession& internet, const RunEnvironment& env);

}  // namespace quorvel
