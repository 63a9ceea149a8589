// The trace's report mode, with mtr's report as the model: cycle after cycle, one echo request
// per hop from TTL 1 to the destination, and per hop every address that answered, the requests
// sent and answered and the spread of the round trips. A hop that loses requests while the hops
// after it do not is marked: it probably rate-limits its ICMP answers rather than losing
// traffic. What is shown and when the user is heard goes through callbacks.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "tools/icmp_echo.h"
#include "tools/rtt_stats.h"
#include "tools/trace_report.h"
#include "tools/trace_route.h"

namespace quorvel {

inline constexpr int kReportDefaultCycles = 10;
inline constexpr std::int64_t kReportDefaultIntervalMicros = 1'000'000;
inline constexpr std::int64_t kReportMinimumIntervalMicros = 10'000;
inline constexpr int kReportMaximumHops = 30;
// While the destination's hop is not known, a cycle ends after this many hops in a row that did
// not answer it (as mtr's --max-unknown).
inline constexpr int kReportMaximumUnknown = 5;

struct HopAnswerer {
  IpAddress address;
  int replies = 0;
};

struct ReportHop {
  int ttl = 0;
  int sent = 0;
  std::vector<HopAnswerer> answerers;   // most frequent first (the first to answer on a tie)
  std::vector<std::int64_t> rttMicros;  // every answer's round trip, in the order they came
  QString hostName;                     // of the first answerer, when names are looked up
  bool rateLimitedHint = false;

  int received() const { return static_cast<int>(rttMicros.size()); }
  int lost() const { return sent - received(); }
  double lossPercent() const { return sent > 0 ? 100.0 * lost() / sent : 0.0; }
  RttStats stats() const { return rttStats(rttMicros); }
  // The first answerer's text, "???" for a hop that never answered.
  QString host() const;
};

struct HopReportOptions {
  int cycles = kReportDefaultCycles;
  std::int64_t intervalMicros = kReportDefaultIntervalMicros;  // from the start of one cycle
  int timeoutMs = kTraceDefaultTimeout;                        // to the start of the next
  int dataSize = 32;
  AddressChoice family = AddressChoice::Automatic;
};

struct HopReport {
  QString host;  // as typed
  IpAddress destinationAddress;
  QString destination;  // its text
  HopReportOptions options;
  std::vector<ReportHop> hops;
  int cycles = 0;                                // cycles completed
  bool reached = false;                          // the destination answered at least once
  TraceOutcome outcome = TraceOutcome::LastHop;  // Complete, LastHop, Cancelled or a failure
  QString openError;
};

struct HopReportEvents {
  IcmpOpener open;
  std::function<void(const IpAddress&)> resolved;  // optional
  // Lets the user be heard (after each request, during the pause between cycles and while a
  // request waits); false when the user has cancelled.
  std::function<bool()> pump;
  std::function<void(const HopReport&)> cycleDone;  // the figures changed (optional)
  std::function<bool()> resolveNames;               // optional: look up hop names
};

// Runs the cycles to `host`; `report` is filled as it goes.
void RunHopReport(const QString& host, const HopReportOptions& options,
                  const HopReportEvents& events, HopReport& report);

// Marks each hop whose loss the hops after it do not share: it answered some requests, and the
// hop after it with the least loss lost clearly fewer (more than chance allows over the cycles:
// a one-sided two-proportion test at 2.5 standard errors).
void markRateLimitedHops(std::vector<ReportHop>& hops);

// The table of the report, like mtr's: a header line, then per hop its number, host, Loss%,
// Snt, Last, Avg, Best, Wrst and StDev (ms, three decimals), further answerers on lines of
// their own, and the hint where a hop probably rate-limits.
QString hopReportTable(const HopReport& report);

}  // namespace quorvel
