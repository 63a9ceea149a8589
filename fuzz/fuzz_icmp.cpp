// Fuzz target: the ICMP and ICMPv6 echo reply decoders.
//
// Any bytes are decoded as a raw IPv4 packet, a raw ICMPv6 message, ICMP and ICMPv6
// datagram-socket messages, and entries of those sockets' error queues. Properties:
// - nothing is read outside the bytes handed in (AddressSanitizer);
// - a match is an answer to our own request: an echo reply with our identifier and sequence
//   number, or an error message that quotes our echo request; its status is the one of its
//   ICMP type and code, and its sender is the packet's source address;
// - a well-formed reply and a well-formed "time exceeded" built from the input match, and
//   the same packets with another identifier or sequence number do not.
#include <fuzzer/FuzzedDataProvider.h>

#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "tools/icmp_packet.h"

namespace {

using namespace quorvel;

std::uint16_t be16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

QString describe(std::uint16_t id, std::uint16_t seq, const IcmpAnswer& a) {
  return QStringLiteral("id %1 seq %2: status %3 from %4")
      .arg(id)
      .arg(seq)
      .arg(a.status)
      .arg(a.from.text());
}

IpAddress v6(const std::uint8_t* bytes) {
  return IpAddress::v6(bytes);
}

// An IPv6 header of 40 bytes for `payload` bytes of ICMPv6 from `source` to `dest`.
std::vector<std::uint8_t> ip6Header(std::size_t payload, const IpAddress& source,
                                    const IpAddress& dest) {
  std::vector<std::uint8_t> h(40, 0);
  h[0] = 0x60;
  h[4] = std::uint8_t(payload >> 8);
  h[5] = std::uint8_t(payload & 0xff);
  h[6] = 58;
  h[7] = 64;
  std::memcpy(&h[8], source.bytes().data(), 16);
  std::memcpy(&h[24], dest.bytes().data(), 16);
  return h;
}

void checkRaw6(std::span<const std::uint8_t> p, std::uint16_t id, std::uint16_t seq,
               const IpAddress& dest, const IpAddress& from) {
  const IcmpAnswer a = decodeRaw6Message(p, id, seq, dest, from, 17);
  if (!a.matches) return;
  const QString d = describe(id, seq, a);
  FUZZ_CHECK(p.size() >= 8 && a.from == from && a.ttl == 17, d);
  if (p[0] == 129) {
    FUZZ_CHECK(be16(&p[4]) == id && be16(&p[6]) == seq && a.status == 0, d);
    return;
  }
  // An error: it must quote our request, IPv6 header and ICMPv6 header inside the message.
  FUZZ_CHECK(p[0] >= 1 && p[0] <= 4, d);
  FUZZ_CHECK(a.status == statusFromIcmp6(p[0], p[1]) && a.status != 0, d);
  FUZZ_CHECK(p.size() >= 8 + 40 + 8 && (p[8] >> 4) == 6 && p[8 + 6] == 58, d);
  if (dest.isV6()) FUZZ_CHECK(std::memcmp(&p[8 + 24], dest.bytes().data(), 16) == 0, d);
  const std::uint8_t* q = &p[8 + 40];
  FUZZ_CHECK(q[0] == 128 && be16(q + 4) == id && be16(q + 6) == seq, d);
}

// An IPv4 header of 20 bytes for `payload` bytes of ICMP from `source`.
std::vector<std::uint8_t> ipHeader(std::size_t payload, std::uint32_t source, std::uint32_t dest) {
  std::vector<std::uint8_t> h(20, 0);
  h[0] = 0x45;
  const std::size_t total = 20 + payload;
  h[2] = std::uint8_t(total >> 8);
  h[3] = std::uint8_t(total & 0xff);
  h[8] = 64;
  h[9] = 1;
  std::memcpy(&h[12], &source, 4);
  std::memcpy(&h[16], &dest, 4);
  return h;
}

void setChecksum(std::vector<std::uint8_t>& icmp) {
  icmp[2] = icmp[3] = 0;
  const std::uint16_t sum = icmpChecksum(icmp);
  icmp[2] = std::uint8_t(sum >> 8);
  icmp[3] = std::uint8_t(sum & 0xff);
}

void checkRaw(std::span<const std::uint8_t> p, std::uint16_t id, std::uint16_t seq,
              std::uint32_t dest) {
  const IcmpAnswer a = decodeRawPacket(p, id, seq, dest);
  if (!a.matches) return;
  const QString d = describe(id, seq, a);
  FUZZ_CHECK(p.size() >= 28, d);
  const std::size_t ihl = std::size_t(p[0] & 0x0f) * 4;
  FUZZ_CHECK((p[0] >> 4) == 4 && p[9] == 1 && ihl >= 20 && ihl + 8 <= p.size(), d);
  std::uint32_t source;
  std::memcpy(&source, &p[12], 4);
  FUZZ_CHECK(a.from == IpAddress::v4(source) && a.ttl == p[8], d);
  const std::uint8_t* icmp = &p[ihl];
  if (icmp[0] == 0) {
    FUZZ_CHECK(be16(icmp + 4) == id && be16(icmp + 6) == seq && a.status == 0, d);
    return;
  }
  // An error: it must quote our request, inside the packet.
  FUZZ_CHECK(a.status == statusFromIcmp(icmp[0], icmp[1]) && a.status != 0, d);
  const std::size_t inner = ihl + 8;
  FUZZ_CHECK(inner + 20 <= p.size(), d);
  const std::size_t innerIhl = std::size_t(p[inner] & 0x0f) * 4;
  FUZZ_CHECK(innerIhl >= 20 && inner + innerIhl + 8 <= p.size() && p[inner + 9] == 1, d);
  if (dest != 0) FUZZ_CHECK(std::memcmp(&p[inner + 16], &dest, 4) == 0, d);
  const std::uint8_t* q = &p[inner + innerIhl];
  FUZZ_CHECK(q[0] == 8 && be16(q + 4) == id && be16(q + 6) == seq, d);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  const auto id = fdp.ConsumeIntegral<std::uint16_t>();
  const auto seq = fdp.ConsumeIntegral<std::uint16_t>();
  const auto dest = fdp.ConsumeBool() ? fdp.ConsumeIntegral<std::uint32_t>() : 0u;
  QueuedError err;
  err.origin = fdp.ConsumeIntegralInRange(0, 3);
  err.type = fdp.ConsumeIntegralInRange(-1, 256);
  err.code = fdp.ConsumeIntegral<std::uint8_t>();
  err.err = fdp.ConsumeIntegralInRange(0, 200);
  err.offender = IpAddress::v4(fdp.ConsumeIntegral<std::uint32_t>());
  std::uint8_t addr6[3][16];
  for (auto& a : addr6)
    for (auto& b : a) b = fdp.ConsumeIntegral<std::uint8_t>();
  const IpAddress dest6 = fdp.ConsumeBool() ? v6(addr6[0]) : IpAddress();
  const std::vector<std::uint8_t> bytes = fdp.ConsumeRemainingBytes<std::uint8_t>();
  const std::span<const std::uint8_t> p(bytes);

  // Arbitrary bytes, as each decoder gets them. The copies are exactly as long as the input,
  // so a read past the end is caught.
  checkRaw(p, id, seq, dest);
  {
    const IcmpAnswer a = decodeDatagramReply(p, seq, IpAddress::v4(0x0100007f), 64);
    if (a.matches)
      FUZZ_CHECK(p.size() >= 8 && p[0] == 0 && be16(&p[6]) == seq && a.status == 0 &&
                     a.from == IpAddress::v4(0x0100007f) && a.ttl == 64,
                 describe(id, seq, a));
  }
  checkRaw6(p, id, seq, dest6, v6(addr6[1]));
  {
    const IcmpAnswer a = decodeDatagram6Reply(p, seq, v6(addr6[1]), 64);
    if (a.matches)
      FUZZ_CHECK(p.size() >= 8 && p[0] == 129 && be16(&p[6]) == seq && a.status == 0 &&
                     a.from == v6(addr6[1]) && a.ttl == 64,
                 describe(id, seq, a));
    QueuedError err6 = err;
    err6.origin = err.origin == 2 ? 3 : err.origin;
    err6.offender = v6(addr6[2]);
    const IcmpAnswer e = decodeDatagram6Error(err6, p, seq);
    if (e.matches) {
      FUZZ_CHECK(p.size() >= 8 && p[0] == 128 && be16(&p[6]) == seq && e.status != 0,
                 describe(id, seq, e));
      if (err6.origin == 3)
        FUZZ_CHECK(e.status == statusFromIcmp6(err6.type, err6.code) && e.from == err6.offender,
                   describe(id, seq, e));
    }
  }
  {
    const IcmpAnswer a = decodeDatagramError(err, p, seq);
    if (a.matches) {
      FUZZ_CHECK(p.size() >= 8 && p[0] == 8 && be16(&p[6]) == seq, describe(id, seq, a));
      FUZZ_CHECK(a.status != 0, describe(id, seq, a));
    }
  }

  // Well-formed answers carrying the input as payload.
  const std::vector<std::uint8_t> request =
      buildEchoRequest(id, seq, p.first(std::min<size_t>(p.size(), 64)));
  FUZZ_CHECK(icmpChecksum(request) == 0, QStringLiteral("request checksum"));
  const std::uint32_t router = 0x0101a8c0, self = 0x0200a8c0, target = dest ? dest : 0x0300a8c0;
  const IpAddress target4 = IpAddress::v4(target), router4 = IpAddress::v4(router);

  std::vector<std::uint8_t> reply = request;
  reply[0] = 0;
  setChecksum(reply);
  std::vector<std::uint8_t> packet = ipHeader(reply.size(), target, self);
  packet.insert(packet.end(), reply.begin(), reply.end());
  IcmpAnswer a = decodeRawPacket(packet, id, seq, dest);
  FUZZ_CHECK(a.matches && a.status == 0 && a.from == target4, describe(id, seq, a));
  FUZZ_CHECK(!decodeRawPacket(packet, id, std::uint16_t(seq + 1), dest).matches,
             describe(id, seq, a));
  FUZZ_CHECK(!decodeRawPacket(packet, std::uint16_t(id ^ 0x8000), seq, dest).matches,
             describe(id, seq, a));

  // Time exceeded from a router, quoting our request's IPv4 header and its first 8 bytes.
  std::vector<std::uint8_t> exceeded = {11, 0, 0, 0, 0, 0, 0, 0};
  const std::vector<std::uint8_t> quotedIp = ipHeader(request.size(), self, target);
  exceeded.insert(exceeded.end(), quotedIp.begin(), quotedIp.end());
  exceeded.insert(exceeded.end(), request.begin(), request.begin() + 8);
  setChecksum(exceeded);
  packet = ipHeader(exceeded.size(), router, self);
  packet.insert(packet.end(), exceeded.begin(), exceeded.end());
  a = decodeRawPacket(packet, id, seq, dest);
  FUZZ_CHECK(a.matches && a.status == ipstatus::kTtlExpiredTransit && a.from == router4,
             describe(id, seq, a));
  FUZZ_CHECK(!decodeRawPacket(packet, id, std::uint16_t(seq ^ 1), dest).matches,
             describe(id, seq, a));

  // The same over ICMPv6: an echo reply, and "time exceeded" quoting our request.
  const IpAddress target6 = dest6.isV6() ? dest6 : v6(addr6[1]);
  const IpAddress router6 = v6(addr6[2]);
  const std::vector<std::uint8_t> request6 =
      buildEcho6Request(id, seq, p.first(std::min<size_t>(p.size(), 64)));
  std::vector<std::uint8_t> reply6 = request6;
  reply6[0] = 129;
  a = decodeRaw6Message(reply6, id, seq, dest6, target6, 60);
  FUZZ_CHECK(a.matches && a.status == 0 && a.from == target6 && a.ttl == 60, describe(id, seq, a));
  FUZZ_CHECK(!decodeRaw6Message(reply6, std::uint16_t(id ^ 1), seq, dest6, target6, 60).matches,
             describe(id, seq, a));
  a = decodeDatagram6Reply(reply6, seq, target6, 60);
  FUZZ_CHECK(a.matches && a.from == target6, describe(id, seq, a));
  std::vector<std::uint8_t> exceeded6 = {3, 0, 0, 0, 0, 0, 0, 0};
  const std::vector<std::uint8_t> quoted6 = ip6Header(request6.size(), router6, target6);
  exceeded6.insert(exceeded6.end(), quoted6.begin(), quoted6.end());
  exceeded6.insert(exceeded6.end(), request6.begin(), request6.end());
  a = decodeRaw6Message(exceeded6, id, seq, dest6, router6, 63);
  FUZZ_CHECK(a.matches && a.status == ipstatus::kTtlExpiredTransit && a.from == router6,
             describe(id, seq, a));
  FUZZ_CHECK(!decodeRaw6Message(exceeded6, id, std::uint16_t(seq + 1), dest6, router6, 63).matches,
             describe(id, seq, a));
  QueuedError queued6{3, 3, 0, 0, router6};
  a = decodeDatagram6Error(queued6, request6, seq);
  FUZZ_CHECK(a.matches && a.status == ipstatus::kTtlExpiredTransit && a.from == router6,
             describe(id, seq, a));
  return 0;
}
