#include "bench/benchmark.h"

#include "bench/benchmark_run.h"
#include "bench/curl_internet.h"

namespace quorvel {

RunOutcome RunBenchmark(RunView& view) {
  CurlInternet internet;
  return RunBenchmark(view, internet, DefaultRunEnvironment());
}

}  // namespace quorvel
