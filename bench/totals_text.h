// The six texts of the main window's totals boxes while a run goes on.
#pragma once

#include <cstdint>

#include "bench/run_view.h"

namespace quorvel {

// All six texts are empty in the state right after a run starts (nothing fetched, no error).
TotalsText MakeTotalsText(std::int64_t validUrls, std::int64_t totalErrors, std::int64_t totalBytes,
                          std::int64_t totalMilliseconds);

}  // namespace quorvel
