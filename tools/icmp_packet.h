// ICMP and ICMPv6 echo packets: building a request and deciding what a received message means
// for it. Pure functions (bytes in, result out), with no sockets, so they can be tested and
// fuzzed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "tools/ip_address.h"

namespace quorvel {

// IP status numbers of an echo exchange (the numbers the ping window names in words).
namespace ipstatus {
inline constexpr int kSuccess = 0;
inline constexpr int kBadAddress = -1;  // the address text is not dotted IPv4
inline constexpr int kDestNetUnreachable = 11002;
inline constexpr int kDestHostUnreachable = 11003;
inline constexpr int kDestProtUnreachable = 11004;
inline constexpr int kDestPortUnreachable = 11005;
inline constexpr int kNoResources = 11006;
inline constexpr int kPacketTooBig = 11009;
inline constexpr int kReqTimedOut = 11010;
inline constexpr int kBadRoute = 11012;
inline constexpr int kTtlExpiredTransit = 11013;
inline constexpr int kTtlExpiredReassem = 11014;
inline constexpr int kParamProblem = 11015;
inline constexpr int kSourceQuench = 11016;
inline constexpr int kGeneralFailure = 11050;
}  // namespace ipstatus

// The status of an answer of ICMP type and code. Echo reply and every error type map here;
// the table is in icmp_packet.cpp.
int statusFromIcmp(int type, int code);

// The same for an ICMPv6 answer: each type and code gives the status of its IPv4 counterpart.
int statusFromIcmp6(int type, int code);

// The status of a failure detected on this machine (an errno from sending or from the
// socket's error queue).
int statusFromLocalError(int err);

// The Internet checksum of the bytes (one's complement of the one's-complement sum).
std::uint16_t icmpChecksum(std::span<const std::uint8_t> bytes);

// An ICMP echo request: type 8, code 0, the identifier and sequence number, the payload, and
// the checksum filled in.
std::vector<std::uint8_t> buildEchoRequest(std::uint16_t id, std::uint16_t seq,
                                           std::span<const std::uint8_t> payload);

// What one received message means for the request we wait for.
struct IcmpAnswer {
  bool matches = false;  // false: not an answer to our request; ignore it
  int status = 0;        // see ipstatus
  IpAddress from;        // node that answered; none when no node did (a local failure)
  int ttl = -1;          // TTL or hop limit of the packet that brought the answer, -1 unknown
};

// A packet read from a raw ICMP socket: IPv4 header, then the ICMP message. An echo reply
// matches when its identifier and sequence number are ours; an error message matches when
// the packet it quotes is our echo request (inner IPv4 header with protocol ICMP and, when
// `destination` is not 0, our destination; inner type 8 with our identifier and sequence).
// Anything truncated, with a bad checksum, or of another request does not match.
IcmpAnswer decodeRawPacket(std::span<const std::uint8_t> packet, std::uint16_t id,
                           std::uint16_t seq, std::uint32_t destination);

// A message read from an ICMP datagram socket: the ICMP message without IP header; the kernel
// has set and checked the identifier, so only the sequence number is compared. The sender's
// address and the received TTL come from the socket (recvmsg) and are handed in.
IcmpAnswer decodeDatagramReply(std::span<const std::uint8_t> message, std::uint16_t seq,
                               const IpAddress& from, int ttl);

// An entry of a datagram socket's error queue (IP_RECVERR, IPV6_RECVERR): where it comes
// from (SO_EE_ORIGIN_*), the ICMP type and code or the errno, the offender's address, and the
// bytes the queue hands back: the ICMP header of our own request.
struct QueuedError {
  int origin = 0;  // 1 local, 2 ICMP, 3 ICMPv6 (SO_EE_ORIGIN_LOCAL, _ICMP, _ICMP6)
  int type = 0;
  int code = 0;
  int err = 0;  // ee_errno
  IpAddress offender;
};
IcmpAnswer decodeDatagramError(const QueuedError& error, std::span<const std::uint8_t> quoted,
                               std::uint16_t seq);

// ICMPv6: an echo request (type 128) with the identifier, sequence number and payload. Its
// checksum stays 0: it covers the IPv6 addresses, and the kernel fills it in on every ICMPv6
// socket.
std::vector<std::uint8_t> buildEcho6Request(std::uint16_t id, std::uint16_t seq,
                                            std::span<const std::uint8_t> payload);

// A message read from a raw ICMPv6 socket: the ICMPv6 message without IPv6 header (the kernel
// has checked its checksum); the sender and the hop limit come from the socket. An echo reply
// (129) matches when its identifier and sequence number are ours; an error message (types 1
// to 4) when the packet it quotes is our echo request (inner IPv6 header with next header
// ICMPv6 and, when `destination` is given, our destination; inner type 128 with our
// identifier and sequence number).
IcmpAnswer decodeRaw6Message(std::span<const std::uint8_t> message, std::uint16_t id,
                             std::uint16_t seq, const IpAddress& destination, const IpAddress& from,
                             int hopLimit);

// A message read from an ICMPv6 datagram socket (only the sequence number is compared), and an
// entry of its error queue (origin 3, quoting our type 128 request).
IcmpAnswer decodeDatagram6Reply(std::span<const std::uint8_t> message, std::uint16_t seq,
                                const IpAddress& from, int hopLimit);
IcmpAnswer decodeDatagram6Error(const QueuedError& error, std::span<const std::uint8_t> quoted,
                                std::uint16_t seq);

}  // namespace quorvel
