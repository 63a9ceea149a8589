// The decoders of what comes back, on crafted packets: which answers are ours and what they
// mean. (Random, mutated and cut bytes, other identifiers and sequence numbers, and the checksum
// of a request are the fuzz target's, fuzz/fuzz_icmp.cpp; that real hosts answer our requests
// and what real routers send is met on loopback and in the namespace lab.)
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <vector>

#include "tools/fake_echo.h"
#include "tools/icmp_packet.h"

namespace quorvel {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t addr(const char* dotted) {
  return testing::ip(dotted).v4Value();
}

void put16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v >> 8);
  b[at + 1] = static_cast<std::uint8_t>(v & 0xff);
}

// An IPv4 header (20 bytes, protocol ICMP) followed by the given ICMP message.
Bytes ipPacket(std::uint32_t src, std::uint32_t dst, std::uint8_t ttl, const Bytes& icmp) {
  Bytes p(20, 0);
  p[0] = 0x45;
  put16(p, 2, static_cast<std::uint16_t>(20 + icmp.size()));
  p[8] = ttl;
  p[9] = 1;
  std::memcpy(&p[12], &src, 4);
  std::memcpy(&p[16], &dst, 4);
  p.insert(p.end(), icmp.begin(), icmp.end());
  return p;
}

// An ICMP message of the type and code: our echo request turned into a reply (type 0), or an
// error quoting the IP header and the first 8 bytes of our request to `dest`; checksummed.
Bytes icmpMessage(std::uint8_t type, std::uint8_t code, std::uint16_t id, std::uint16_t seq,
                  std::uint32_t dest = 0) {
  const Bytes request = buildEchoRequest(id, seq, Bytes(32, 'a'));
  Bytes m = type == 0 ? request : Bytes(8, 0);
  if (type != 0) {
    const Bytes quoted = ipPacket(addr("192.0.2.1"), dest, 1, request);
    m.insert(m.end(), quoted.begin(), quoted.begin() + 28);
  }
  m[0] = type;
  m[1] = code;
  m[2] = m[3] = 0;
  put16(m, 2, icmpChecksum(m));
  return m;
}

const std::uint32_t kDest = addr("198.51.100.2"), kRouter = addr("192.0.2.66");

Bytes errorPacket(std::uint8_t type, std::uint8_t code, std::uint16_t id = 9, std::uint16_t seq = 3,
                  std::uint32_t dest = kDest) {
  return ipPacket(kRouter, addr("192.0.2.1"), 63, icmpMessage(type, code, id, seq, dest));
}

TEST(IcmpPacket, RawAnswersMatchOnlyOurRequest) {
  const Bytes reply = ipPacket(kDest, addr("192.0.2.1"), 62, icmpMessage(0, 0, 0x4242, 7));
  IcmpAnswer a = decodeRawPacket(reply, 0x4242, 7, kDest);
  EXPECT_TRUE(a.matches);
  EXPECT_EQ(a.status, 0);
  EXPECT_EQ(a.from, IpAddress::v4(kDest));
  EXPECT_EQ(a.ttl, 62);
  a = decodeRawPacket(errorPacket(11, 0), 9, 3, kDest);
  EXPECT_TRUE(a.matches);
  EXPECT_EQ(a.status, 11013);
  EXPECT_EQ(a.from, IpAddress::v4(kRouter));
  EXPECT_EQ(a.ttl, 63);

  // Each error type and code with its status.
  const struct {
    std::uint8_t type, code;
    int status;
  } cases[] = {{3, 0, 11002},  {3, 1, 11003},  {3, 2, 11004},  {3, 3, 11005},  {3, 4, 11009},
               {3, 5, 11012},  {3, 6, 11002},  {3, 10, 11003}, {3, 13, 11003}, {3, 99, 11050},
               {11, 1, 11014}, {12, 0, 11015}, {4, 0, 11016}};
  for (const auto& c : cases) {
    a = decodeRawPacket(errorPacket(c.type, c.code), 9, 3, kDest);
    EXPECT_TRUE(a.matches && a.status == c.status) << int(c.type) << "/" << int(c.code);
  }

  Bytes corrupt = reply;
  corrupt[30] ^= 0x01;  // the checksum no longer agrees
  const std::tuple<Bytes, std::uint16_t, std::uint16_t> notOurs[] = {
      {corrupt, 0x4242, 7},
      {ipPacket(addr("192.0.2.1"), kDest, 64, buildEchoRequest(0x4242, 7, {})), 0x4242, 7},  // ours
      {errorPacket(11, 0, 9, 3, addr("198.51.100.9")), 9, 3},  // to another destination
      {errorPacket(5, 1), 9, 3},                               // a redirect is advice
  };
  for (const auto& [p, id, seq] : notOurs) EXPECT_FALSE(decodeRawPacket(p, id, seq, kDest).matches);
}

TEST(IcmpPacket, DatagramRepliesAndQueuedErrors) {
  const IpAddress from = IpAddress::v4(addr("127.0.0.1"));
  const Bytes reply = icmpMessage(0, 0, 0, 5);  // the kernel chose and checked the identifier
  const IcmpAnswer a = decodeDatagramReply(reply, 5, from, 64);
  EXPECT_TRUE(a.matches);
  EXPECT_EQ(a.status, 0);
  EXPECT_EQ(a.from, from);
  EXPECT_EQ(a.ttl, 64);

  // Entries of the error queue: from a router (origin 2: ICMP type and code) or from this
  // machine (origin 1: an errno, and no node answered).
  const Bytes ours = buildEchoRequest(0, 5, Bytes(32, 'a'));
  const IpAddress router = IpAddress::v4(addr("192.0.2.2"));
  const struct {
    QueuedError error;
    int status;  // -1: not an answer
  } cases[] = {
      {{2, 11, 0, EHOSTUNREACH, router}, 11013},
      {{2, 3, 1, EHOSTUNREACH, router}, 11003},
      {{2, 5, 1, 0, router}, -1},
      {{2, 300, 0, 0, router}, -1},
      {{1, 0, 0, EMSGSIZE, {}}, 11009},
      {{1, 0, 0, ENETUNREACH, {}}, 11002},
      {{1, 0, 0, EHOSTUNREACH, {}}, 11003},
      {{1, 0, 0, EPERM, {}}, 11050},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.error.origin << "/" << c.error.type << "/" << c.error.err);
    const IcmpAnswer e = decodeDatagramError(c.error, ours, 5);
    EXPECT_EQ(e.matches ? e.status : -1, c.status);
    EXPECT_EQ(e.from, c.status < 0 ? e.from : c.error.offender);
  }
}

TEST(IcmpPacket, Icmp6AnswersAsTheirIpv4Counterparts) {
  // The answers the namespace lab cannot provoke with echo requests (the others are met there
  // for real).
  const struct {
    int type, code, status;
  } table[] = {{1, 4, 11005}, {1, 2, 11003},  {1, 5, 11003},   {1, 6, 11002},
               {1, 7, 11012}, {1, 99, 11050}, {3, 1, 11014},   {4, 0, 11015},
               {4, 1, 11004}, {129, 0, 0},    {128, 0, 11050}, {135, 0, 11050}};
  for (const auto& t : table)
    EXPECT_EQ(statusFromIcmp6(t.type, t.code), t.status) << t.type << "/" << t.code;
}

}  // namespace
}  // namespace quorvel
