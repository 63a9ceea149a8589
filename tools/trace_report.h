// The trace-route report: how the window reads its wait time-out and requests per hop, where
// its tab stops stand, and the text of one hop line.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace quorvel {

inline constexpr int kTraceDefaultTimeout = 2400;
inline constexpr int kTraceMinimumTimeout = 500;
inline constexpr int kTraceDefaultRequests = 3;
inline constexpr int kTraceMaximumRequests = 5;
inline constexpr int kTraceMaximumHops = 255;

// Wait time-out in ms: a numeric text rounded (halves to even), at least 500, no upper limit
// but the 32-bit range; any other text 2400.
int traceTimeout(const QString& text);

// Requests per hop: a numeric text rounded (halves to even) when 1 to 5; anything else 3.
int traceRequests(const QString& text);

// Tab stops in dialog units for n requests: 20, 50, ... 20 + 30n, then 80 + 30n. When the
// address column is to hold `addressUnits` (a full IPv6 address), the name column moves out so
// that it does.
std::vector<int> traceTabStops(int n, int addressUnits = 0);

// Text of one time: "<10 ms" below 10, "*" above 1200, otherwise "<t> ms".
QString hopTimeText(std::int32_t ms);

// One hop line without its line end: the TTL, a tab and the text of each time, a tab and the
// address, and, when `withName`, a tab and the host name.
QString hopLine(int ttl, const std::vector<std::int32_t>& times, const QString& address,
                bool withName, const QString& hostName);

}  // namespace quorvel
