// The page benchmark run.
#pragma once

#include "bench/run_view.h"

namespace quorvel {

// One complete run, driven by the window's choices; returns when the run is over.
void RunBenchmark(RunView& view);

}  // namespace quorvel
