#include "tools/icmp_packet.h"

#include <cerrno>
#include <cstring>

namespace quorvel {

namespace {

constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kDestUnreachable = 3;
constexpr std::uint8_t kSourceQuench = 4;
constexpr std::uint8_t kEchoRequest = 8;
constexpr std::uint8_t kTimeExceeded = 11;
constexpr std::uint8_t kParameterProblem = 12;

constexpr std::uint8_t kEcho6Request = 128;
constexpr std::uint8_t kEcho6Reply = 129;
constexpr std::uint8_t kDest6Unreachable = 1;
constexpr std::uint8_t kPacketTooBig6 = 2;
constexpr std::uint8_t kTimeExceeded6 = 3;
constexpr std::uint8_t kParameterProblem6 = 4;

constexpr std::size_t kIcmpHeader = 8;
constexpr std::size_t kMinIpHeader = 20;
constexpr std::size_t kIp6Header = 40;
constexpr std::uint8_t kProtoIcmp = 1;
constexpr std::uint8_t kProtoIcmp6 = 58;
constexpr int kSoEeOriginLocal = 1;
constexpr int kSoEeOriginIcmp = 2;
constexpr int kSoEeOriginIcmp6 = 3;

std::uint16_t be16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::uint32_t rawAddress(const std::uint8_t* p) {
  std::uint32_t a;
  std::memcpy(&a, p, 4);  // stays in network byte order
  return a;
}

// The IPv4 header length when `bytes` starts with a plausible IPv4 header, 0 otherwise.
std::size_t ipHeaderLength(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kMinIpHeader) return 0;
  if ((bytes[0] >> 4) != 4) return 0;
  const std::size_t ihl = static_cast<std::size_t>(bytes[0] & 0x0f) * 4;
  if (ihl < kMinIpHeader || ihl > bytes.size()) return 0;
  return ihl;
}

bool isErrorType(std::uint8_t type) {
  return type == kDestUnreachable || type == kSourceQuench || type == kTimeExceeded ||
         type == kParameterProblem;
}

bool isError6Type(std::uint8_t type) {
  return type == kDest6Unreachable || type == kPacketTooBig6 || type == kTimeExceeded6 ||
         type == kParameterProblem6;
}

std::vector<std::uint8_t> echoRequest(std::uint8_t type, std::uint16_t id, std::uint16_t seq,
                                      std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> p(kIcmpHeader + payload.size(), 0);
  p[0] = type;
  p[1] = 0;
  p[4] = static_cast<std::uint8_t>(id >> 8);
  p[5] = static_cast<std::uint8_t>(id & 0xff);
  p[6] = static_cast<std::uint8_t>(seq >> 8);
  p[7] = static_cast<std::uint8_t>(seq & 0xff);
  if (!payload.empty()) std::memcpy(p.data() + kIcmpHeader, payload.data(), payload.size());
  return p;
}

// A datagram socket's echo reply of the given type, carrying our sequence number.
IcmpAnswer datagramReply(std::uint8_t replyType, std::span<const std::uint8_t> message,
                         std::uint16_t seq, const IpAddress& from, int ttl) {
  IcmpAnswer none;
  if (message.size() < kIcmpHeader) return none;
  if (message[0] != replyType || be16(&message[6]) != seq) return none;
  IcmpAnswer a;
  a.matches = true;
  a.status = ipstatus::kSuccess;
  a.from = from;
  a.ttl = ttl;
  return a;
}

}  // namespace

// ICMP answer -> status:
//
//   type                  code                                 status
//   0  echo reply         any                                  0      success
//   3  dest unreachable   0 net, 6 net unknown, 9 net          11002  dest net unreachable
//                         prohibited, 11 net for TOS
//                         1 host, 7 host unknown, 8 source     11003  dest host unreachable
//                         isolated, 10 host prohibited,
//                         12 host for TOS, 13 communication
//                         prohibited, 14 precedence violation,
//                         15 precedence cut-off
//                         2 protocol                           11004  dest prot unreachable
//                         3 port                               11005  dest port unreachable
//                         4 fragmentation needed               11009  packet too big
//                         5 source route failed                11012  bad route
//   4  source quench      any                                  11016  source quench
//   11 time exceeded      0 in transit                         11013  ttl expired transit
//                         1 in reassembly                      11014  ttl expired reassem
//   12 parameter problem  any                                  11015  param problem
//   anything else                                              11050  general failure
//
// Redirects are advice to the sender, not answers, and never reach this table. No answer
// within the wait time gives 11010 (req timed out).
int statusFromIcmp(int type, int code) {
  switch (type) {
    case kEchoReply:
      return ipstatus::kSuccess;
    case kDestUnreachable:
      switch (code) {
        case 0:
        case 6:
        case 9:
        case 11:
          return ipstatus::kDestNetUnreachable;
        case 1:
        case 7:
        case 8:
        case 10:
        case 12:
        case 13:
        case 14:
        case 15:
          return ipstatus::kDestHostUnreachable;
        case 2:
          return ipstatus::kDestProtUnreachable;
        case 3:
          return ipstatus::kDestPortUnreachable;
        case 4:
          return ipstatus::kPacketTooBig;
        case 5:
          return ipstatus::kBadRoute;
        default:
          return ipstatus::kGeneralFailure;
      }
    case kSourceQuench:
      return ipstatus::kSourceQuench;
    case kTimeExceeded:
      return code == 1 ? ipstatus::kTtlExpiredReassem : ipstatus::kTtlExpiredTransit;
    case kParameterProblem:
      return ipstatus::kParamProblem;
    default:
      return ipstatus::kGeneralFailure;
  }
}

// ICMPv6 answer -> status, each as its IPv4 counterpart:
//
//   type                  code                                 status
//   129 echo reply        any                                  0      success
//   1  dest unreachable   0 no route, 6 reject route           11002  dest net unreachable
//                         1 administratively prohibited,       11003  dest host unreachable
//                         2 beyond scope of source,
//                         3 address unreachable,
//                         5 source address failed policy
//                         4 port                               11005  dest port unreachable
//                         7 error in source routing header     11012  bad route
//   2  packet too big     any                                  11009  packet too big
//   3  time exceeded      0 hop limit in transit               11013  ttl expired transit
//                         1 in reassembly                      11014  ttl expired reassem
//   4  parameter problem  1 unrecognised next header           11004  dest prot unreachable
//                         any other                            11015  param problem
//   anything else                                              11050  general failure
//
// "Administratively prohibited" is IPv4's "communication prohibited" (code 13), which the
// IPv4 table gives as host unreachable.
int statusFromIcmp6(int type, int code) {
  switch (type) {
    case kEcho6Reply:
      return ipstatus::kSuccess;
    case kDest6Unreachable:
      switch (code) {
        case 0:
        case 6:
          return ipstatus::kDestNetUnreachable;
        case 1:
        case 2:
        case 3:
        case 5:
          return ipstatus::kDestHostUnreachable;
        case 4:
          return ipstatus::kDestPortUnreachable;
        case 7:
          return ipstatus::kBadRoute;
        default:
          return ipstatus::kGeneralFailure;
      }
    case kPacketTooBig6:
      return ipstatus::kPacketTooBig;
    case kTimeExceeded6:
      return code == 1 ? ipstatus::kTtlExpiredReassem : ipstatus::kTtlExpiredTransit;
    case kParameterProblem6:
      return code == 1 ? ipstatus::kDestProtUnreachable : ipstatus::kParamProblem;
    default:
      return ipstatus::kGeneralFailure;
  }
}

// Failures on this machine, before any node answered:
//   ENETUNREACH -> 11002, EHOSTUNREACH / EHOSTDOWN -> 11003, EMSGSIZE -> 11009,
//   ENOBUFS / ENOMEM -> 11006, anything else -> 11050.
int statusFromLocalError(int err) {
  switch (err) {
    case ENETUNREACH:
      return ipstatus::kDestNetUnreachable;
    case EHOSTUNREACH:
    case EHOSTDOWN:
      return ipstatus::kDestHostUnreachable;
    case EMSGSIZE:
      return ipstatus::kPacketTooBig;
    case ENOBUFS:
    case ENOMEM:
      return ipstatus::kNoResources;
    default:
      return ipstatus::kGeneralFailure;
  }
}

std::uint16_t icmpChecksum(std::span<const std::uint8_t> bytes) {
  std::uint32_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2)
    sum += static_cast<std::uint32_t>((bytes[i] << 8) | bytes[i + 1]);
  if (i < bytes.size()) sum += static_cast<std::uint32_t>(bytes[i] << 8);
  while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum & 0xffff);
}

std::vector<std::uint8_t> buildEchoRequest(std::uint16_t id, std::uint16_t seq,
                                           std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> p = echoRequest(kEchoRequest, id, seq, payload);
  const std::uint16_t sum = icmpChecksum(p);
  p[2] = static_cast<std::uint8_t>(sum >> 8);
  p[3] = static_cast<std::uint8_t>(sum & 0xff);
  return p;
}

IcmpAnswer decodeRawPacket(std::span<const std::uint8_t> packet, std::uint16_t id,
                           std::uint16_t seq, std::uint32_t destination) {
  IcmpAnswer none;
  const std::size_t ihl = ipHeaderLength(packet);
  if (ihl == 0 || packet[9] != kProtoIcmp) return none;
  // Trust the shorter of what arrived and what the header claims.
  std::size_t total = be16(&packet[2]);
  if (total < ihl || total > packet.size()) total = packet.size();
  const std::span<const std::uint8_t> icmp = packet.subspan(ihl, total - ihl);
  if (icmp.size() < kIcmpHeader) return none;
  if (icmpChecksum(icmp) != 0) return none;

  IcmpAnswer a;
  a.from = IpAddress::v4(rawAddress(&packet[12]));
  a.ttl = packet[8];
  const std::uint8_t type = icmp[0];
  if (type == kEchoReply) {
    if (be16(&icmp[4]) != id || be16(&icmp[6]) != seq) return none;
    a.matches = true;
    a.status = ipstatus::kSuccess;
    return a;
  }
  if (!isErrorType(type)) return none;  // requests, redirects, timestamps, ...

  // The error quotes our packet: its IPv4 header and at least 8 bytes of our ICMP header.
  const std::span<const std::uint8_t> inner = icmp.subspan(kIcmpHeader);
  const std::size_t innerIhl = ipHeaderLength(inner);
  if (innerIhl == 0 || inner[9] != kProtoIcmp) return none;
  if (destination != 0 && rawAddress(&inner[16]) != destination) return none;
  if (inner.size() < innerIhl + kIcmpHeader) return none;
  const std::uint8_t* q = &inner[innerIhl];
  if (q[0] != kEchoRequest || be16(&q[4]) != id || be16(&q[6]) != seq) return none;
  a.matches = true;
  a.status = statusFromIcmp(type, icmp[1]);
  return a;
}

IcmpAnswer decodeDatagramReply(std::span<const std::uint8_t> message, std::uint16_t seq,
                               const IpAddress& from, int ttl) {
  return datagramReply(kEchoReply, message, seq, from, ttl);
}

IcmpAnswer decodeDatagramError(const QueuedError& error, std::span<const std::uint8_t> quoted,
                               std::uint16_t seq) {
  IcmpAnswer none;
  // The queue hands back the start of our request; it must be ours.
  if (quoted.size() < kIcmpHeader || quoted[0] != kEchoRequest || be16(&quoted[6]) != seq)
    return none;
  IcmpAnswer a;
  a.matches = true;
  if (error.origin == kSoEeOriginIcmp) {
    if (error.type < 0 || error.type > 255 || !isErrorType(static_cast<std::uint8_t>(error.type)))
      return none;  // redirects and anything unknown are not answers
    a.status = statusFromIcmp(error.type, error.code);
    a.from = error.offender;
    return a;
  }
  if (error.origin == kSoEeOriginLocal) {
    a.status = statusFromLocalError(error.err);
    return a;  // no node answered: from stays empty
  }
  return none;
}

std::vector<std::uint8_t> buildEcho6Request(std::uint16_t id, std::uint16_t seq,
                                            std::span<const std::uint8_t> payload) {
  return echoRequest(kEcho6Request, id, seq, payload);
}

IcmpAnswer decodeRaw6Message(std::span<const std::uint8_t> message, std::uint16_t id,
                             std::uint16_t seq, const IpAddress& destination, const IpAddress& from,
                             int hopLimit) {
  IcmpAnswer none;
  if (message.size() < kIcmpHeader) return none;
  IcmpAnswer a;
  a.from = from;
  a.ttl = hopLimit;
  const std::uint8_t type = message[0];
  if (type == kEcho6Reply) {
    if (be16(&message[4]) != id || be16(&message[6]) != seq) return none;
    a.matches = true;
    a.status = ipstatus::kSuccess;
    return a;
  }
  if (!isError6Type(type)) return none;  // requests, neighbour discovery, ...

  // The error quotes our packet: its IPv6 header and at least 8 bytes of our ICMPv6 header.
  const std::span<const std::uint8_t> inner = message.subspan(kIcmpHeader);
  if (inner.size() < kIp6Header + kIcmpHeader) return none;
  if ((inner[0] >> 4) != 6 || inner[6] != kProtoIcmp6) return none;
  if (destination.isV6() && std::memcmp(&inner[24], destination.bytes().data(), 16) != 0)
    return none;
  const std::uint8_t* q = &inner[kIp6Header];
  if (q[0] != kEcho6Request || be16(&q[4]) != id || be16(&q[6]) != seq) return none;
  a.matches = true;
  a.status = statusFromIcmp6(type, message[1]);
  return a;
}

IcmpAnswer decodeDatagram6Reply(std::span<const std::uint8_t> message, std::uint16_t seq,
                                const IpAddress& from, int hopLimit) {
  return datagramReply(kEcho6Reply, message, seq, from, hopLimit);
}

IcmpAnswer decodeDatagram6Error(const QueuedError& error, std::span<const std::uint8_t> quoted,
                                std::uint16_t seq) {
  IcmpAnswer none;
  if (quoted.size() < kIcmpHeader || quoted[0] != kEcho6Request || be16(&quoted[6]) != seq)
    return none;
  IcmpAnswer a;
  a.matches = true;
  if (error.origin == kSoEeOriginIcmp6) {
    if (error.type < 0 || error.type > 255 || !isError6Type(static_cast<std::uint8_t>(error.type)))
      return none;  // redirects and anything unknown are not answers
    a.status = statusFromIcmp6(error.type, error.code);
    a.from = error.offender;
    return a;
  }
  if (error.origin == kSoEeOriginLocal) {
    a.status = statusFromLocalError(error.err);
    return a;
  }
  return none;
}

}  // namespace quorvel
