#include "tools/icmp_echo.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "tools/icmp_packet.h"

namespace quorvel {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReceiveBuffer = 2048;

QString errnoText(int err) {
  return QString::fromLocal8Bit(std::strerror(err));
}

class SocketEcho final : public IcmpEcho {
 public:
  SocketEcho(int fd, IpFamily family, IcmpSocketKind kind, std::uint16_t id)
      : fd_(fd), family_(family), kind_(kind), id_(id) {
    std::random_device rd;
    seq_ = static_cast<std::uint16_t>(rd());
  }
  ~SocketEcho() override { ::close(fd_); }
  SocketEcho(const SocketEcho&) = delete;
  SocketEcho& operator=(const SocketEcho&) = delete;

  IcmpSocketKind kind() const { return kind_; }

  EchoResult SendEcho(const IpAddress& destination, int payloadSize, int ttl,
                      int timeoutMs) override;

 private:
  bool v6() const { return family_ == IpFamily::V6; }
  void setTtl(int ttl);
  // Reads what is waiting on the socket; true with `out` filled when it answers our request.
  // `stamp` receives the kernel's receive time of the answer (0 when unknown).
  bool readAnswer(const IpAddress& destination, std::uint16_t seq, EchoResult& out,
                  std::int64_t& stamp);
  bool readQueuedError(std::uint16_t seq, EchoResult& out, std::int64_t& stamp);

  int fd_;
  IpFamily family_;
  IcmpSocketKind kind_;
  std::uint16_t id_;
  std::uint16_t seq_;
  int currentTtl_ = -1;
};

std::int64_t realtimeMicros() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// The kernel's receive time of a message (SO_TIMESTAMPNS, the real-time clock), 0 when none.
std::int64_t receiveStamp(msghdr& msg) {
  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS &&
        c->cmsg_len >= CMSG_LEN(sizeof(timespec))) {
      timespec ts;
      std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
      return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
    }
  }
  return 0;
}

// The round trip: from the send to the kernel's receive time of the answer when there is one,
// so the time this program took to look at the answer is not counted; else to now.
void setRoundTrip(EchoResult& r, Clock::time_point sent, std::int64_t sentRealtime,
                  std::int64_t receivedRealtime) {
  std::int64_t us =
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - sent).count();
  if (receivedRealtime != 0) {
    const std::int64_t stamped = receivedRealtime - sentRealtime;
    if (stamped >= 0 && stamped <= us) us = stamped;
  }
  if (us < 0) us = 0;
  r.roundTripMicros = us;
  r.roundTripMs = static_cast<std::uint32_t>(us / 1000);
}

// IP_TTL for IPv4, IPV6_UNICAST_HOPS for IPv6; -1 restores the system's default.
void SocketEcho::setTtl(int ttl) {
  const int wantTtl = ttl > 0 ? (ttl > 255 ? 255 : ttl) : 0;
  if (wantTtl == currentTtl_) return;
  int value = wantTtl > 0 ? wantTtl : -1;
  const int r = v6() ? setsockopt(fd_, IPPROTO_IPV6, IPV6_UNICAST_HOPS, &value, sizeof value)
                     : setsockopt(fd_, IPPROTO_IP, IP_TTL, &value, sizeof value);
  if (r == 0) currentTtl_ = wantTtl;
}

EchoResult SocketEcho::SendEcho(const IpAddress& destination, int payloadSize, int ttl,
                                int timeoutMs) {
  EchoResult result;
  result.status = ipstatus::kReqTimedOut;
  if (payloadSize < 0) payloadSize = 0;
  if (payloadSize > 65500) payloadSize = 65500;
  if (timeoutMs < 0) timeoutMs = 0;
  if (destination.family() != family_ || destination.isNull()) {
    result.status = ipstatus::kGeneralFailure;
    return result;
  }
  setTtl(ttl);

  // Drop anything left over from earlier requests (late answers, old errors).
  std::vector<std::uint8_t> scratch(kReceiveBuffer);
  while (recv(fd_, scratch.data(), scratch.size(), MSG_DONTWAIT) > 0) {
  }
  if (kind_ == IcmpSocketKind::Datagram) {
    while (recv(fd_, scratch.data(), scratch.size(), MSG_DONTWAIT | MSG_ERRQUEUE) >= 0) {
    }
  }

  const std::uint16_t seq = ++seq_;
  const std::vector<std::uint8_t> payload(static_cast<std::size_t>(payloadSize), 'a');
  const std::vector<std::uint8_t> packet =
      v6() ? buildEcho6Request(id_, seq, payload) : buildEchoRequest(id_, seq, payload);
  sockaddr_storage to;
  const socklen_t toLength = static_cast<socklen_t>(destination.toSockaddr(to));

  const Clock::time_point start = Clock::now();
  const std::int64_t startRealtime = realtimeMicros();
  const Clock::time_point deadline = start + std::chrono::milliseconds(timeoutMs);
  pump_.restart();
  ssize_t sent;
  do {
    sent = sendto(fd_, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                  toLength);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) {
    result.status = statusFromLocalError(errno);
    return result;
  }

  for (;;) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    if (pump_.active()) left = std::min<long long>(left, (pump_.microsUntilDue() + 999) / 1000);
    pollfd pfd{fd_, POLLIN, 0};
    const int n = poll(&pfd, 1, static_cast<int>(left > 0x7fffffff ? 0x7fffffff : left));
    if (n < 0) {
      if (errno == EINTR) continue;
      result.status = ipstatus::kGeneralFailure;
      return result;
    }
    if (n == 0) {
      if (!pump_.pumpIfDue()) {
        result = EchoResult{};
        result.cancelled = true;
        return result;
      }
      continue;
    }
    std::int64_t stamp = 0;
    if ((pfd.revents & POLLERR) && kind_ == IcmpSocketKind::Datagram &&
        readQueuedError(seq, result, stamp)) {
      setRoundTrip(result, start, startRealtime, stamp);
      return result;
    }
    if ((pfd.revents & POLLIN) && readAnswer(destination, seq, result, stamp)) {
      setRoundTrip(result, start, startRealtime, stamp);
      return result;
    }
    if (pfd.revents & (POLLHUP | POLLNVAL)) {
      result.status = ipstatus::kGeneralFailure;
      return result;
    }
  }
  result = EchoResult{};
  result.status = ipstatus::kReqTimedOut;
  return result;
}

// The TTL (IP_TTL) or hop limit (IPV6_HOPLIMIT) a message arrived with, -1 when not given.
int receivedTtl(msghdr& msg) {
  int ttl = -1;
  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
    const bool ours = (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) ||
                      (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_HOPLIMIT);
    if (ours && c->cmsg_len >= CMSG_LEN(sizeof(int))) std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
  }
  return ttl;
}

bool SocketEcho::readAnswer(const IpAddress& destination, std::uint16_t seq, EchoResult& out,
                            std::int64_t& stamp) {
  std::uint8_t buf[kReceiveBuffer];
  std::uint8_t control[256];
  sockaddr_storage from{};
  iovec iov{buf, sizeof buf};
  msghdr msg{};
  msg.msg_name = &from;
  msg.msg_namelen = sizeof from;
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  const ssize_t got = recvmsg(fd_, &msg, MSG_DONTWAIT);
  if (got <= 0) return false;
  stamp = receiveStamp(msg);
  const std::span<const std::uint8_t> bytes(buf, static_cast<std::size_t>(got));
  const IpAddress sender =
      IpAddress::fromSockaddr(reinterpret_cast<const sockaddr*>(&from), msg.msg_namelen);

  IcmpAnswer a;
  if (v6() && kind_ == IcmpSocketKind::Raw)
    a = decodeRaw6Message(bytes, id_, seq, destination, sender, receivedTtl(msg));
  else if (v6())
    a = decodeDatagram6Reply(bytes, seq, sender, receivedTtl(msg));
  else if (kind_ == IcmpSocketKind::Raw)
    a = decodeRawPacket(bytes, id_, seq, destination.v4Value());
  else
    a = decodeDatagramReply(bytes, seq, sender, receivedTtl(msg));
  if (!a.matches) return false;
  out.status = a.status;
  out.answered = true;
  out.address = a.from;
  out.ttl = a.ttl < 0 ? 0 : a.ttl;
  return true;
}

bool SocketEcho::readQueuedError(std::uint16_t seq, EchoResult& out, std::int64_t& stamp) {
  std::uint8_t buf[kReceiveBuffer];
  std::uint8_t control[512];
  sockaddr_storage from{};
  iovec iov{buf, sizeof buf};
  msghdr msg{};
  msg.msg_name = &from;
  msg.msg_namelen = sizeof from;
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  const ssize_t got = recvmsg(fd_, &msg, MSG_DONTWAIT | MSG_ERRQUEUE);
  if (got < 0) return false;
  stamp = receiveStamp(msg);

  QueuedError e;
  bool have = false;
  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
    const bool recvErr = (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_RECVERR) ||
                         (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_RECVERR);
    if (!recvErr || c->cmsg_len < CMSG_LEN(sizeof(sock_extended_err))) continue;
    sock_extended_err ee;
    std::memcpy(&ee, CMSG_DATA(c), sizeof ee);
    e.origin = ee.ee_origin;
    e.type = ee.ee_type;
    e.code = ee.ee_code;
    e.err = static_cast<int>(ee.ee_errno);
    // The offender's address follows the record inside the same control message.
    const std::size_t room = c->cmsg_len - CMSG_LEN(sizeof(sock_extended_err));
    e.offender = IpAddress::fromSockaddr(
        reinterpret_cast<const sockaddr*>(CMSG_DATA(c) + sizeof(sock_extended_err)), room);
    if (e.offender.family() != family_) e.offender = IpAddress();
    have = true;
  }
  if (!have) return false;
  const std::span<const std::uint8_t> quoted(buf, static_cast<std::size_t>(got));
  const IcmpAnswer a =
      v6() ? decodeDatagram6Error(e, quoted, seq) : decodeDatagramError(e, quoted, seq);
  if (!a.matches) return false;
  out.status = a.status;
  out.answered = !a.from.isNull();
  out.address = a.from;
  out.ttl = std::max(0, receivedTtl(msg));
  return true;
}

std::uint16_t newIdentifier() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  return static_cast<std::uint16_t>((rd() ^ (static_cast<unsigned>(getpid()) << 4) ^ ++counter) &
                                    0xffff);
}

int openDatagram(IpFamily family, int* err) {
  const bool v6 = family == IpFamily::V6;
  const int fd = v6 ? socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMPV6)
                    : socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd < 0) {
    *err = errno;
    return -1;
  }
  const int on = 1;
  if (v6) {
    setsockopt(fd, IPPROTO_IPV6, IPV6_RECVERR, &on, sizeof on);
    setsockopt(fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, &on, sizeof on);
  } else {
    setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
  }
  setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
  return fd;
}

int openRaw(IpFamily family, int* err) {
  const bool v6 = family == IpFamily::V6;
  const int fd = v6 ? socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMPV6)
                    : socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd < 0) {
    *err = errno;
    return -1;
  }
  // Only the types that can answer an echo request reach us.
  if (v6) {
    icmp6_filter filter;
    ICMP6_FILTER_SETBLOCKALL(&filter);
    for (int type : {ICMP6_ECHO_REPLY, ICMP6_DST_UNREACH, ICMP6_PACKET_TOO_BIG, ICMP6_TIME_EXCEEDED,
                     ICMP6_PARAM_PROB})
      ICMP6_FILTER_SETPASS(type, &filter);
    setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
    const int on = 1;
    setsockopt(fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, &on, sizeof on);
  } else {
    icmp_filter filter{};
    filter.data =
        ~((1U << ICMP_ECHOREPLY) | (1U << ICMP_DEST_UNREACH) | (1U << ICMP_SOURCE_QUENCH) |
          (1U << ICMP_TIME_EXCEEDED) | (1U << ICMP_PARAMETERPROB));
    setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
  }
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
  return fd;
}

}  // namespace

IcmpOpenResult OpenIcmpEcho(IpFamily family, IcmpSocketKind kind) {
  IcmpOpenResult r;
  int dgramErr = 0;
  int rawErr = 0;
  if (kind != IcmpSocketKind::Raw) {
    const int fd = openDatagram(family, &dgramErr);
    if (fd >= 0) {
      r.echo = std::make_unique<SocketEcho>(fd, family, IcmpSocketKind::Datagram, 0);
      return r;
    }
  }
  if (kind != IcmpSocketKind::Datagram) {
    const int fd = openRaw(family, &rawErr);
    if (fd >= 0) {
      r.echo = std::make_unique<SocketEcho>(fd, family, IcmpSocketKind::Raw, newIdentifier());
      return r;
    }
  }
  const QString icmp = family == IpFamily::V6 ? QStringLiteral("ICMPv6") : QStringLiteral("ICMP");
  QStringList why;
  if (dgramErr) why << QStringLiteral("datagram socket: %1").arg(errnoText(dgramErr));
  if (rawErr) why << QStringLiteral("raw socket: %1").arg(errnoText(rawErr));
  QString program = QCoreApplication::applicationFilePath();
  if (program.isEmpty()) program = QStringLiteral("/path/to/quorvel");
  r.error = QStringLiteral(
                "%1 echo requests cannot be sent: the system allows this program neither an "
                "%1 datagram socket nor a raw %1 socket (%2).\n\n"
                "To allow them, give the program the CAP_NET_RAW capability, for example with "
                "\"sudo setcap cap_net_raw+ep %3\", or allow ICMP datagram sockets (of both "
                "families) for your group, for example with \"sudo sysctl -w "
                "net.ipv4.ping_group_range='0 2147483647'\".")
                .arg(icmp, why.join(QStringLiteral("; ")), program);
  return r;
}

IcmpSocketKind socketKindOf(const IcmpEcho& echo) {
  if (const auto* s = dynamic_cast<const SocketEcho*>(&echo)) return s->kind();
  return IcmpSocketKind::Automatic;
}

}  // namespace quorvel
