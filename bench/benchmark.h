// The page benchmark run.
#pragma once

#include "bench/run_outcome.h"
#include "bench/run_view.h"

namespace quorvel {

// One complete run, driven by the window's choices; returns when the run is over.
RunOutcome RunBenchmark(RunView& view);

}  // namespace quorvel
