// The page benchmark run.
#pragma once

#include <functional>

#include "bench/run_outcome.h"
#include "bench/run_view.h"

namespace quorvel {

// One complete run, driven by the window's choices; returns when the run is over.
RunOutcome RunBenchmark(RunView& view);

// The same, with each request handed to `onRequest` once it is counted.
struct RequestRecord;
RunOutcome RunBenchmark(RunView& view, const std::function<void(const RequestRecord&)>& onRequest);

}  // namespace quorvel
