#include "tools/ping_series.h"

#include "core/tick.h"
#include "tools/icmp_packet.h"
#include "tools/trace_rt.h"

namespace quorvel {

namespace {

std::int32_t heldTo32Bits(std::uint32_t ms) {
  return static_cast<std::int32_t>(ms > 0x7fffffffU ? 0x7fffffffU : ms);
}

// Counts one request and writes its line.
void countRequest(int n, int status, const EchoResult& reply, const QString& address,
                  const PingSeriesEvents& events, PingSeriesReport& report) {
  PingRequestRecord r;
  r.n = n;
  r.status = status;
  if (reply.answered) r.answeredBy = GetAddressText(reply.address);
  if (status != ipstatus::kSuccess) {
    report.stats.addLost();
    r.line = pingErrorLine(n, status);
  } else {
    const std::int32_t rtt = heldTo32Bits(reply.roundTripMs);
    report.stats.addReply(rtt);
    r.rttMs = static_cast<std::uint32_t>(rtt);
    r.rttMicros = reply.roundTripMicros;
    r.ttl = reply.ttl & 0xff;
    r.line = pingReplyLine(n, address, r.rttMs, reply.ttl);
  }
  report.requests.push_back(r);
  events.write(r.line + QLatin1Char('\n'));
  if (events.counted) events.counted();
}

}  // namespace

RttStats pingRttStats(const PingSeriesReport& report) {
  std::vector<std::int64_t> micros;
  for (const PingRequestRecord& r : report.requests)
    if (r.status == ipstatus::kSuccess) micros.push_back(r.rttMicros);
  return rttStats(micros);
}

int Ping(IcmpEcho* echo, const IpAddress& address, int dataSize, int timeoutMs, EchoResult& reply) {
  if (address.isNull()) return ipstatus::kBadAddress;
  if (!echo) return ipstatus::kGeneralFailure;
  reply = echo->SendEcho(address, dataSize, 0, timeoutMs);
  return reply.status;
}

void RunPingSeries(const QString& host, const PingSeriesOptions& options,
                   const PingSeriesEvents& events, PingSeriesReport& report) {
  report = PingSeriesReport{};
  report.host = host;
  report.options = options;
  if (!StartSockets()) {
    report.outcome = PingOutcome::NoSockets;
    return;
  }
  report.destination = ResolveHost(host, options.family);
  report.address = GetAddressText(report.destination);
  if (!report.destination.isNull() && events.resolved) events.resolved(report.destination);
  if (report.destination.isNull() && options.stopWhenUnresolved) {
    report.outcome = PingOutcome::Unresolved;
    StopSockets();
    return;
  }

  // The endpoint serves the whole series. It is needed only when there is an address to send
  // to; when it cannot be opened nothing is sent and nothing is counted.
  IcmpOpenResult opened;
  if (!report.destination.isNull()) {
    const IpFamily family = report.destination.family();
    opened = events.open ? events.open(family) : OpenIcmpEcho(family);
    if (!opened.echo) {
      report.outcome = PingOutcome::CannotOpen;
      report.openError = opened.error.isEmpty()
                             ? QStringLiteral("ICMP echo requests cannot be sent.")
                             : opened.error;
      StopSockets();
      return;
    }
    opened.echo->setWaitPump(events.pump);
  }

  EchoResult reply;
  std::int64_t sentAt = 0;
  for (int n = 1; n <= options.count; ++n) {
    if (n > 1 && options.intervalMicros > 0 &&
        !pauseUntil(sentAt + options.intervalMicros, events.pump)) {
      events.write(QStringLiteral("\nPing cancelled by user"));
      report.outcome = PingOutcome::Cancelled;
      break;
    }
    sentAt = monotonicMicros();
    const int status =
        Ping(opened.echo.get(), report.destination, options.dataSize, options.timeoutMs, reply);
    if (!events.pump() || reply.cancelled) {
      events.write(QStringLiteral("\nPing cancelled by user"));
      report.outcome = PingOutcome::Cancelled;
      break;
    }
    countRequest(n, status, reply, report.address, events, report);
  }
  StopSockets();
}

}  // namespace quorvel
