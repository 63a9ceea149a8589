// The ping report: how the window reads its time-out and request count, the status texts,
// the result lines, and the running statistics of a series.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace quorvel {

inline constexpr int kPingDefaultTimeout = 500;
inline constexpr int kPingDefaultRequests = 10;

// Time-out in ms: a numeric text rounded (halves to even), at least 500; any other text 500.
int pingTimeout(const QString& text);

// Number of requests: a numeric text rounded (halves to even); below 1, or any other text, 10.
// Held to 32767 at most.
int pingRequests(const QString& text);

// Tab stops of the results box in dialog units: 20, 50 and 80. When the address column is to
// hold `addressUnits` (a full IPv6 address), the RTT and TTL columns move out so that it does,
// and the RTT column holds "RTT = 1200 ms".
std::vector<int> pingTabStops(int addressUnits = 0);

// Short English text of an IP status number; "unknown error" for numbers outside the table.
QString GetStatusCode(std::int32_t status);

// Result line of request n without its line end.
QString pingReplyLine(int n, const QString& address, std::uint32_t rttMs, int ttl);
QString pingErrorLine(int n, std::int32_t status);

// The five counters of a series and the texts of the five statistics boxes.
struct PingStats {
  std::int32_t sum = 0;  // round-trip times of the successful replies, ms
  std::int32_t min = 0;  // 0 means no minimum yet
  std::int32_t max = 0;
  std::int32_t sent = 0;
  std::int32_t lost = 0;

  void addLost();
  void addReply(std::int32_t rttMs);

  QString averageText() const;  // "n.a." before the first request; lost requests count
  QString minimumText() const;
  QString maximumText() const;
  QString sentText() const;
  QString lostText() const;  // "1 (25%)"
};

}  // namespace quorvel
