// One ICMP echo endpoint (what the trace and the ping open at the start of their work and
// close at its end): sends one echo request with a chosen TTL (hop limit) and waits for its
// answer. An endpoint speaks one family: ICMP over IPv4 or ICMPv6 over IPv6.
//
// The real one uses a datagram socket where the system allows it (net.ipv4.ping_group_range,
// which governs both families), a raw socket otherwise (root or CAP_NET_RAW). Windows get an
// opener, so tests can hand them a scripted endpoint instead.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/event_pump.h"
#include "tools/ip_address.h"

namespace quorvel {

struct EchoResult {
  int status = 11010;                // IP status number (tools/icmp_packet.h), 11010 when timed out
  bool answered = false;             // an ICMP answer came from some node (echo reply or error)
  IpAddress address;                 // the node that answered; none when no node did
  std::uint32_t roundTripMs = 0;     // whole milliseconds, as the windows show them
  std::int64_t roundTripMicros = 0;  // the same, to the microsecond
  int ttl = 0;                       // TTL (hop limit) of the answering packet, 0 when unknown
  bool cancelled = false;  // the wait was abandoned (the user cancelled); nothing was measured
};

class IcmpEcho {
 public:
  virtual ~IcmpEcho() = default;
  // One request carrying `payloadSize` bytes of 'a' to `destination`, an address of the
  // endpoint's family (any other is a general failure). ttl <= 0 leaves the system's default
  // TTL or hop limit. Waits at most timeoutMs for the answer.
  virtual EchoResult SendEcho(const IpAddress& destination, int payloadSize, int ttl,
                              int timeoutMs) = 0;

  // Called now and then while a request waits for its answer (app/event_pump.h), so the window
  // stays alive; when it returns false the wait is abandoned (EchoResult::cancelled).
  void setWaitPump(EventPump::Function pump) { pump_.set(std::move(pump)); }

 protected:
  EventPump pump_;
};

enum class IcmpSocketKind { Automatic, Datagram, Raw };

struct IcmpOpenResult {
  std::unique_ptr<IcmpEcho> echo;  // null when no socket could be opened
  QString error;                   // then: what went wrong and what the user can do
};

// Opens a real endpoint of the family in the calling thread's network namespace.
IcmpOpenResult OpenIcmpEcho(IpFamily family, IcmpSocketKind kind = IcmpSocketKind::Automatic);
inline IcmpOpenResult OpenIcmpEcho(IcmpSocketKind kind = IcmpSocketKind::Automatic) {
  return OpenIcmpEcho(IpFamily::V4, kind);
}

// The kind of socket an endpoint from OpenIcmpEcho uses (for tests and diagnostics).
IcmpSocketKind socketKindOf(const IcmpEcho& echo);

// Opens the endpoint of a run for the family of its destination.
using IcmpOpener = std::function<IcmpOpenResult(IpFamily family)>;

}  // namespace quorvel
