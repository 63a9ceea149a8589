// One trace route, as the trace-route window and `quorvel trace` run it: echo requests with a
// TTL of 1, 2, 3, ... to the host, one hop line each, until the destination answers, two hops
// in a row stay silent, the user cancels, or the last hop. What is written and when the user
// is heard goes through callbacks, so the trace knows nothing of windows or terminals.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "tools/icmp_echo.h"
#include "tools/trace_report.h"

namespace quorvel {

struct TraceHop {
  int ttl = 0;
  // The time of each request in ms as the line shows it: the wait time-out for a request
  // without an answer.
  std::vector<std::int32_t> timesMs;
  std::vector<std::int64_t> timesMicros;  // -1 for a request without an answer
  std::vector<int> statuses;              // IP status of each request (11010: no answer)
  std::vector<QString> answeredBy;        // who answered each request, "" when nobody did
  IpAddress answerer;     // who answered the first answered request; none when none was
  QString address;        // its text
  QString hostName;       // its name, when names were asked for at that moment
  bool named = false;     // the line has the host-name column
  bool answered = false;  // at least one request was answered
  bool cutShort = false;  // the user cancelled while the hop waited
  QString line;           // the hop line as shown, without its line end
};

enum class TraceOutcome {
  Complete,    // the destination answered
  TimedOut,    // two hops in a row gave no answer
  Cancelled,   // the user cancelled
  LastHop,     // every hop up to the last was probed, without reaching the destination
  NoSockets,   // the sockets could not be started: nothing was done
  Unresolved,  // the host has no address: nothing was sent
  CannotOpen,  // no ICMP endpoint could be opened: nothing was sent
};

struct TraceOptions {
  int timeoutMs = kTraceDefaultTimeout;
  int requests = kTraceDefaultRequests;  // per hop
  int dataSize = 32;
  AddressChoice family = AddressChoice::Automatic;
};

struct TraceEvents {
  IcmpOpener open;                                 // the endpoint of the trace
  std::function<void(const IpAddress&)> resolved;  // the host's address is known (optional)
  std::function<void(const QString&)> start;       // replaces the results with the text
  std::function<void(const QString&)> write;       // appends the text to the results
  // Lets the user be heard (after each hop line, after each hop, and while a request waits);
  // false when the user has cancelled.
  std::function<bool()> pump;
  // Whether hop addresses are to be looked up (read afresh for every hop).
  std::function<bool()> resolveNames;
};

struct TraceReport {
  QString host;                  // as typed
  IpAddress destinationAddress;  // the address traced, none when the look-up failed
  QString destination;           // its text
  TraceOptions options;
  std::vector<TraceHop> hops;
  TraceOutcome outcome = TraceOutcome::LastHop;
  QString openError;  // CannotOpen: what went wrong and what the user can do
};

// Starts the sockets and looks up the host a trace goes to: its address and the address's
// text. False when there is nothing to trace: `failure` says why, and the sockets are stopped
// again.
bool StartTraceTo(const QString& host, AddressChoice family, IpAddress& address, QString& text,
                  TraceOutcome& failure);

// Traces the route to `host`; `report` is filled as it goes.
void TraceRt(const QString& host, const TraceOptions& options, const TraceEvents& events,
             TraceReport& report);

// The n requests of one hop; the hop's line is written through AddHopLine.
TraceHop ProbeHop(IcmpEcho& echo, const IpAddress& destination, int dataSize, int n, int timeoutMs,
                  int ttl, const TraceEvents& events);
void AddHopLine(TraceHop& hop, const TraceEvents& events);

}  // namespace quorvel
