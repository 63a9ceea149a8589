#include "tools/icmp_echo.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/errqueue.h>
#include <linux/icmp.h>
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
  SocketEcho(int fd, IcmpSocketKind kind, std::uint16_t id) : fd_(fd), kind_(kind), id_(id) {
    std::random_device rd;
    seq_ = static_cast<std::uint16_t>(rd());
  }
  ~SocketEcho() override { ::close(fd_); }
  SocketEcho(const SocketEcho&) = delete;
  SocketEcho& operator=(const SocketEcho&) = delete;

  IcmpSocketKind kind() const { return kind_; }

  EchoResult SendEcho(std::uint32_t destination, int payloadSize, int ttl, int timeoutMs) override;

 private:
  // Reads what is waiting on the socket; true with `out` filled when it answers our request.
  // `stamp` receives the kernel's receive time of the answer (0 when unknown).
  bool readAnswer(std::uint32_t destination, std::uint16_t seq, EchoResult& out,
                  std::int64_t& stamp);
  bool readQueuedError(std::uint16_t seq, EchoResult& out, std::int64_t& stamp);

  int fd_;
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

EchoResult SocketEcho::SendEcho(std::uint32_t destination, int payloadSize, int ttl,
                                int timeoutMs) {
  EchoResult result;
  result.status = ipstatus::kReqTimedOut;
  if (payloadSize < 0) payloadSize = 0;
  if (payloadSize > 65500) payloadSize = 65500;
  if (timeoutMs < 0) timeoutMs = 0;

  const int wantTtl = ttl > 0 ? (ttl > 255 ? 255 : ttl) : 0;
  if (wantTtl != currentTtl_) {
    int value = wantTtl > 0 ? wantTtl : -1;  // -1 restores the system's default
    if (setsockopt(fd_, IPPROTO_IP, IP_TTL, &value, sizeof value) == 0) currentTtl_ = wantTtl;
  }

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
  const std::vector<std::uint8_t> packet = buildEchoRequest(id_, seq, payload);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = destination;

  const Clock::time_point start = Clock::now();
  const std::int64_t startRealtime = realtimeMicros();
  const Clock::time_point deadline = start + std::chrono::milliseconds(timeoutMs);
  pump_.restart();
  ssize_t sent;
  do {
    sent = sendto(fd_, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                  sizeof to);
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

bool SocketEcho::readAnswer(std::uint32_t destination, std::uint16_t seq, EchoResult& out,
                            std::int64_t& stamp) {
  std::uint8_t buf[kReceiveBuffer];
  std::uint8_t control[256];
  sockaddr_in from{};
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

  IcmpAnswer a;
  if (kind_ == IcmpSocketKind::Raw) {
    a = decodeRawPacket(bytes, id_, seq, destination);
  } else {
    int ttl = -1;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
      if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL &&
          c->cmsg_len >= CMSG_LEN(sizeof(int)))
        std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
    }
    a = decodeDatagramReply(bytes, seq, from.sin_addr.s_addr, ttl);
  }
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
  sockaddr_in from{};
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
  int ttl = -1;
  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
    if (c->cmsg_level != IPPROTO_IP) continue;
    if (c->cmsg_type == IP_RECVERR && c->cmsg_len >= CMSG_LEN(sizeof(sock_extended_err))) {
      sock_extended_err ee;
      std::memcpy(&ee, CMSG_DATA(c), sizeof ee);
      e.origin = ee.ee_origin;
      e.type = ee.ee_type;
      e.code = ee.ee_code;
      e.err = static_cast<int>(ee.ee_errno);
      // The offender's address follows the record inside the same control message.
      if (c->cmsg_len >= CMSG_LEN(sizeof(sock_extended_err) + sizeof(sockaddr_in))) {
        sockaddr_in off;
        std::memcpy(&off, CMSG_DATA(c) + sizeof(sock_extended_err), sizeof off);
        if (off.sin_family == AF_INET) e.offender = off.sin_addr.s_addr;
      }
      have = true;
    } else if (c->cmsg_type == IP_TTL && c->cmsg_len >= CMSG_LEN(sizeof(int))) {
      std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
    }
  }
  if (!have) return false;
  const IcmpAnswer a = decodeDatagramError(
      e, std::span<const std::uint8_t>(buf, static_cast<std::size_t>(got)), seq);
  if (!a.matches) return false;
  out.status = a.status;
  out.answered = a.from != 0;
  out.address = a.from;
  out.ttl = ttl < 0 ? 0 : ttl;
  return true;
}

std::uint16_t newIdentifier() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  return static_cast<std::uint16_t>((rd() ^ (static_cast<unsigned>(getpid()) << 4) ^ ++counter) &
                                    0xffff);
}

int openDatagram(int* err) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd < 0) {
    *err = errno;
    return -1;
  }
  const int on = 1;
  setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
  setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
  setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
  return fd;
}

int openRaw(int* err) {
  const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd < 0) {
    *err = errno;
    return -1;
  }
  // Only the types that can answer an echo request reach us.
  icmp_filter filter{};
  filter.data = ~((1U << ICMP_ECHOREPLY) | (1U << ICMP_DEST_UNREACH) | (1U << ICMP_SOURCE_QUENCH) |
                  (1U << ICMP_TIME_EXCEEDED) | (1U << ICMP_PARAMETERPROB));
  setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
  return fd;
}

}  // namespace

IcmpOpenResult OpenIcmpEcho(IcmpSocketKind kind) {
  IcmpOpenResult r;
  int dgramErr = 0;
  int rawErr = 0;
  if (kind != IcmpSocketKind::Raw) {
    const int fd = openDatagram(&dgramErr);
    if (fd >= 0) {
      r.echo = std::make_unique<SocketEcho>(fd, IcmpSocketKind::Datagram, 0);
      return r;
    }
  }
  if (kind != IcmpSocketKind::Datagram) {
    const int fd = openRaw(&rawErr);
    if (fd >= 0) {
      r.echo = std::make_unique<SocketEcho>(fd, IcmpSocketKind::Raw, newIdentifier());
      return r;
    }
  }
  QStringList why;
  if (dgramErr) why << QStringLiteral("datagram socket: %1").arg(errnoText(dgramErr));
  if (rawErr) why << QStringLiteral("raw socket: %1").arg(errnoText(rawErr));
  QString program = QCoreApplication::applicationFilePath();
  if (program.isEmpty()) program = QStringLiteral("/path/to/quorvel");
  r.error = QStringLiteral(
                "ICMP echo requests cannot be sent: the system allows this program neither an "
                "ICMP datagram socket nor a raw ICMP socket (%1).\n\n"
                "To allow them, give the program the CAP_NET_RAW capability, for example with "
                "\"sudo setcap cap_net_raw+ep %2\", or allow ICMP datagram sockets for your "
                "group, for example with \"sudo sysctl -w net.ipv4.ping_group_range='0 "
                "2147483647'\".")
                .arg(why.join(QStringLiteral("; ")), program);
  return r;
}

IcmpSocketKind socketKindOf(const IcmpEcho& echo) {
  if (const auto* s = dynamic_cast<const SocketEcho*>(&echo)) return s->kind();
  return IcmpSocketKind::Automatic;
}

}  // namespace quorvel
