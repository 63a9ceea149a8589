#include "tools/ping_series.h"

#include <arpa/inet.h>

#include "tools/icmp_packet.h"
#include "tools/trace_rt.h"

namespace quorvel {

namespace {

bool isDotted(const QString& address) {
  in_addr a{};
  return inet_pton(AF_INET, address.toLatin1().constData(), &a) == 1;
}

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

int Ping(IcmpEcho* echo, const QString& address, int dataSize, int timeoutMs, EchoResult& reply) {
  in_addr dest{};
  if (inet_pton(AF_INET, address.toLatin1().constData(), &dest) != 1) return ipstatus::kBadAddress;
  if (!echo) return ipstatus::kGeneralFailure;
  reply = echo->SendEcho(dest.s_addr, dataSize, 0, timeoutMs);
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
  report.address = GetHostAddress(host);
  if (report.address.isEmpty() && options.stopWhenUnresolved) {
    report.outcome = PingOutcome::Unresolved;
    StopSockets();
    return;
  }

  // The endpoint serves the whole series. It is needed only when there is an address to send
  // to; when it cannot be opened nothing is sent and nothing is counted.
  IcmpOpenResult opened;
  if (isDotted(report.address)) {
    opened = events.open ? events.open() : OpenIcmpEcho();
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
  for (int n = 1; n <= options.count; ++n) {
    const int status =
        Ping(opened.echo.get(), report.address, options.dataSize, options.timeoutMs, reply);
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
