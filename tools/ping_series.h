// One ping series, as the ping window and `quorvel ping` run it: the host resolved once, then
// one echo request after the other, each counted in the statistics and written as one result
// line. What is written and when the user is heard goes through callbacks, so the series knows
// nothing of windows or terminals.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "tools/icmp_echo.h"
#include "tools/ping_report.h"
#include "tools/rtt_stats.h"

namespace quorvel {

struct PingRequestRecord {
  int n = 0;           // 1, 2, 3, ...
  int status = 0;      // IP status number; 0 for a reply
  QString answeredBy;  // the node that answered, "" when none did
  std::uint32_t rttMs = 0;
  std::int64_t rttMicros = 0;
  int ttl = 0;   // TTL of the reply
  QString line;  // the result line as shown, without its line end
};

enum class PingOutcome {
  Done,        // every request was sent
  Cancelled,   // the user cancelled; the last request is neither counted nor shown
  NoSockets,   // the sockets could not be started: nothing was done
  Unresolved,  // the host has no address (only when the options ask to stop there)
  CannotOpen,  // no ICMP endpoint could be opened: nothing was sent
};

struct PingSeriesOptions {
  int timeoutMs = kPingDefaultTimeout;
  int count = kPingDefaultRequests;
  int dataSize = 32;
  // Time from the start of one request to the start of the next; 0 sends each request as soon
  // as the previous one has been answered or has timed out, as the window does.
  std::int64_t intervalMicros = 0;
  AddressChoice family = AddressChoice::Automatic;
  // When the look-up fails: stop at once (Unresolved) rather than count every request as lost
  // with "inet_addr: bad IP format", as the window does.
  bool stopWhenUnresolved = false;
};

struct PingSeriesEvents {
  IcmpOpener open;                                 // the endpoint of the series
  std::function<void(const IpAddress&)> resolved;  // the host's address is known (optional)
  std::function<void(const QString&)> write;       // text appended to the results
  // Lets the user be heard (called after each request and while one waits); false when the
  // user has cancelled.
  std::function<bool()> pump;
  std::function<void()> counted;  // a request was counted: the statistics changed
};

struct PingSeriesReport {
  QString host;           // as typed
  IpAddress destination;  // the address every request goes to, none when the look-up failed
  QString address;        // its text, "" when none
  PingSeriesOptions options;
  PingStats stats;
  std::vector<PingRequestRecord> requests;
  PingOutcome outcome = PingOutcome::Done;
  QString openError;  // CannotOpen: what went wrong and what the user can do
};

// Runs the series to `host`; `report` is filled as it goes (the statistics can be shown while
// it runs).
void RunPingSeries(const QString& host, const PingSeriesOptions& options,
                   const PingSeriesEvents& events, PingSeriesReport& report);

// The spread of the round trips of the replies so far, to the microsecond.
RttStats pingRttStats(const PingSeriesReport& report);

// One request: -1 when there is no address (nothing is sent), otherwise the status of the
// exchange, with `reply` filled in.
int Ping(IcmpEcho* echo, const IpAddress& address, int dataSize, int timeoutMs, EchoResult& reply);

}  // namespace quorvel
