#include "tools/trace_route.h"

#include "tools/icmp_packet.h"
#include "tools/trace_rt.h"

namespace quorvel {

namespace {

std::int32_t heldTo32Bits(std::uint32_t ms) {
  return static_cast<std::int32_t>(ms > 0x7fffffffU ? 0x7fffffffU : ms);
}

bool wantNames(const TraceEvents& events) {
  return events.resolveNames && events.resolveNames();
}

// The hops from the first to the last, until one of the ends of a trace.
TraceOutcome probeHops(IcmpEcho& echo, const TraceEvents& events, TraceReport& report) {
  const TraceOptions& o = report.options;
  int silentHops = 0;
  for (int ttl = 1; ttl <= kTraceMaximumHops; ++ttl) {
    report.hops.push_back(ProbeHop(echo, report.destinationAddress, o.dataSize, o.requests,
                                   o.timeoutMs, ttl, events));
    const TraceHop& hop = report.hops.back();
    // A hop the user cut short is not a silent one.
    if (!hop.answered && !hop.cutShort)
      ++silentHops;
    else
      silentHops = 0;
    const bool cancelled = !events.pump();
    // The same address however it is written (2001:db8::1 is 2001:0db8:0:0::1).
    if (hop.answerer == report.destinationAddress) {
      events.write(QStringLiteral("\nTrace route complete"));
      return TraceOutcome::Complete;
    }
    if (silentHops >= 2) {
      events.write(QStringLiteral("\nTrace timed out"));
      return TraceOutcome::TimedOut;
    }
    if (cancelled) {
      events.write(QStringLiteral("\nTrace cancelled by user"));
      return TraceOutcome::Cancelled;
    }
  }
  return TraceOutcome::LastHop;
}

}  // namespace

bool StartTraceTo(const QString& host, AddressChoice family, IpAddress& address, QString& text,
                  TraceOutcome& failure) {
  if (!StartSockets()) {
    failure = TraceOutcome::NoSockets;
    return false;
  }
  address = ResolveHost(host, family);
  text = GetAddressText(address);
  if (address.isNull()) {
    // Without an address there is nothing to trace.
    failure = TraceOutcome::Unresolved;
    StopSockets();
    return false;
  }
  return true;
}

void TraceRt(const QString& host, const TraceOptions& options, const TraceEvents& events,
             TraceReport& report) {
  report = TraceReport{};
  report.host = host;
  report.options = options;
  if (!StartTraceTo(host, options.family, report.destinationAddress, report.destination,
                    report.outcome))
    return;
  if (events.resolved) events.resolved(report.destinationAddress);
  events.start(QStringLiteral("Tracing route to ") + report.destination + QStringLiteral("\n\n"));
  events.pump();

  const IpFamily family = report.destinationAddress.family();
  IcmpOpenResult opened = events.open ? events.open(family) : OpenIcmpEcho(family);
  if (!opened.echo) {
    report.outcome = TraceOutcome::CannotOpen;
    report.openError = opened.error;
    StopSockets();
    return;
  }
  opened.echo->setWaitPump(events.pump);
  report.outcome = probeHops(*opened.echo, events, report);
  opened.echo.reset();
  StopSockets();
}

TraceHop ProbeHop(IcmpEcho& echo, const IpAddress& destination, int dataSize, int n, int timeoutMs,
                  int ttl, const TraceEvents& events) {
  TraceHop hop;
  hop.ttl = ttl;
  hop.timesMs.assign(static_cast<std::size_t>(n), timeoutMs);
  hop.timesMicros.assign(static_cast<std::size_t>(n), -1);
  hop.statuses.assign(static_cast<std::size_t>(n), ipstatus::kReqTimedOut);
  hop.answeredBy.assign(static_cast<std::size_t>(n), QString());
  int made = 0;  // requests that ran to their end
  for (int i = 0; i < n && !hop.cutShort; ++i) {
    const EchoResult r = echo.SendEcho(destination, dataSize, ttl, timeoutMs);
    // A Cancel ends the hop at once; the requests it cut short are left out of the hop (a "*"
    // would say that they took longer than 1200 ms).
    hop.cutShort = r.cancelled;
    if (hop.cutShort) break;
    ++made;
    if (!r.answered) continue;
    const auto k = static_cast<std::size_t>(i);
    hop.timesMs[k] = heldTo32Bits(r.roundTripMs);
    hop.timesMicros[k] = r.roundTripMicros;
    hop.statuses[k] = r.status;
    hop.answeredBy[k] = GetAddressText(r.address);
    if (!hop.answered) {
      hop.answerer = r.address;
      hop.address = hop.answeredBy[k];
      if (wantNames(events)) hop.hostName = GetHostNameFromAddress(r.address);
    }
    hop.answered = true;
  }
  if (hop.cutShort) {
    const auto done = static_cast<std::size_t>(made);
    hop.timesMs.resize(done);
    hop.timesMicros.resize(done);
    hop.statuses.resize(done);
    hop.answeredBy.resize(done);
    if (made == 0) return hop;  // nothing to show of it
  }
  AddHopLine(hop, events);
  return hop;
}

void AddHopLine(TraceHop& hop, const TraceEvents& events) {
  hop.named = wantNames(events);
  hop.line = hopLine(hop.ttl, hop.timesMs, hop.address, hop.named, hop.hostName);
  events.write(hop.line + QLatin1Char('\n'));
  events.pump();
}

}  // namespace quorvel
