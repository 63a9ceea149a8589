#include "bench/benchmark.h"

#include "bench/benchmark_run.h"
#include "bench/curl_internet.h"

namespace quorvel {

void RunBenchmark(RunView& view) {
  CurlInternet internet;
  RunBenchmark(view, internet, DefaultRunEnvironment());
}

}  // namespace quorvel
