// The six texts of the main window's totals boxes while a run goes on.
#pragma once

#include <cstdint>

#include "bench/run_totals.h"
#include "bench/run_view.h"

namespace quorvel {

// All six texts are empty in the state right after a run starts (nothing fetched, no error).
// Times are in microseconds.
TotalsText MakeTotalsText(std::int64_t validUrls, std::int64_t totalErrors, std::int64_t totalBytes,
                          std::int64_t totalMicros);
TotalsText MakeTotalsText(const RunTotals& totals);

}  // namespace quorvel
