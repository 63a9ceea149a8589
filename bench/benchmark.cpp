#include "bench/benchmark.h"

#include "core/app_state.h"
#include "core/limit_setting.h"
#include "bench/benchmark_run.h"
#include "bench/curl_internet.h"

namespace quorvel {

RunOutcome RunBenchmark(RunView& view) {
  CurlInternetOptions options;
  options.transferLimit = RequestLimitSetting(appState().settingsPath);
  CurlInternet internet(options);
  return RunBenchmark(view, internet, DefaultRunEnvironment());
}

}  // namespace quorvel
