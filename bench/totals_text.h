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

// Where a run is, for the window's status bar: "Page 3 of 20, iteration 2 of 5", and for a long
// request ", 1,234,567 bytes in 3.2 secs"; for a page loaded as a browser loads it
// ", 12 of 40 files, 1,234,567 bytes in 3.2 secs". Empty before the first page.
QString ProgressText(const RunProgress& progress);

}  // namespace quorvel
