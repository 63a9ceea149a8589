#include "bench/benchmark.h"

#include "core/app_state.h"
#include "core/limit_setting.h"
#include "bench/benchmark_run.h"
#include "bench/curl_internet.h"

namespace quorvel {

RunOutcome RunBenchmark(RunView& view) {
  return RunBenchmark(view, {});
}

RunOutcome RunBenchmark(RunView& view, const std::function<void(const RequestRecord&)>& onRequest) {
  CurlInternetOptions options;
  options.transferLimit = RequestLimitSetting(appState().settingsPath);
  CurlInternet internet(options);
  RunEnvironment env = DefaultRunEnvironment();
  env.onRequest = onRequest;
  return RunBenchmark(view, internet, env);
}

}  // namespace quorvel
