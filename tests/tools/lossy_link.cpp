#include "tools/lossy_link.h"

#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_tun.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <queue>
#include <random>
#include <vector>

#include "tools/netns_lab.h"

namespace quorvel::testing {

namespace {

using Clock = std::chrono::steady_clock;

// A TUN device (IP packets, no header of its own) made in the namespace.
int openTun(const QString& ns, const QString& device, QString* why) {
  ScopedNetns in(ns);
  if (!in.ok()) {
    *why = QStringLiteral("cannot enter ") + ns;
    return -1;
  }
  const int fd = open("/dev/net/tun", O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *why =
        QStringLiteral("/dev/net/tun cannot be opened: ") + QString::fromLocal8Bit(strerror(errno));
    return -1;
  }
  ifreq request{};
  request.ifr_flags = IFF_TUN | IFF_NO_PI;
  const QByteArray name = device.toLatin1();
  std::strncpy(request.ifr_name, name.constData(), IFNAMSIZ - 1);
  if (ioctl(fd, TUNSETIFF, &request) != 0) {
    *why = QStringLiteral("TUNSETIFF %1: %2").arg(device, QString::fromLocal8Bit(strerror(errno)));
    close(fd);
    return -1;
  }
  return fd;
}

struct Held {
  Clock::time_point due;
  std::vector<char> packet;
  bool operator>(const Held& other) const { return due > other.due; }
};

}  // namespace

LossyLink::~LossyLink() {
  stop();
}

bool LossyLink::start(const QString& firstNs, const QString& secondNs, const QString& firstDevice,
                      const QString& secondDevice, const LinkShape& shape, QString* why) {
  fd_[0] = openTun(firstNs, firstDevice, why);
  if (fd_[0] < 0) return false;
  fd_[1] = openTun(secondNs, secondDevice, why);
  if (fd_[1] < 0) return false;
  thread_ = std::thread([this, shape] { move(shape); });
  return true;
}

void LossyLink::stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  for (int& fd : fd_) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

void LossyLink::move(LinkShape shape) {
  std::mt19937 random(shape.seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  // One packet at a random place in every run of 1/loss packets: the loss over any stretch is
  // the one asked for, and where it falls is left to chance.
  const long long block = shape.loss > 0 ? std::max(1LL, std::llround(1 / shape.loss)) : 0;
  long long doomed = -1;
  std::priority_queue<Held, std::vector<Held>, std::greater<>> held;
  std::vector<char> buffer(65536);
  while (!stop_) {
    // Wait for a packet, the next one due (to the microsecond), or 20 ms (to see stop_).
    auto wait = std::chrono::microseconds(20000);
    if (!held.empty())
      wait = std::clamp(std::chrono::ceil<std::chrono::microseconds>(held.top().due - Clock::now()),
                        std::chrono::microseconds(0), wait);
    const timespec timeout{0, static_cast<long>(wait.count()) * 1000};
    pollfd fds[2] = {{fd_[0], POLLIN, 0}, {fd_[1], POLLIN, 0}};
    ppoll(fds, 2, &timeout, nullptr);
    for (int side = 0; side < 2; ++side) {
      // At most a few packets a side per turn, so the other side and what is due are not held.
      for (int n = 0; n < 64 && (fds[side].revents & POLLIN); ++n) {
        const ssize_t got = read(fd_[side], buffer.data(), buffer.size());
        if (got <= 0) break;
        std::vector<char> packet(buffer.begin(), buffer.begin() + got);
        if (side == 1) {
          (void)!write(fd_[0], packet.data(), packet.size());
          continue;
        }
        const long long index = packets_++;
        if (block > 0 && index % block == 0)
          doomed = index + static_cast<long long>(unit(random) * static_cast<double>(block));
        const bool drop = index == doomed;
        const double ms = shape.delayMs + shape.jitterMs * (2 * unit(random) - 1);
        if (drop) {
          ++dropped_;
          continue;
        }
        held.push({Clock::now() +
                       std::chrono::microseconds(static_cast<long long>(std::max(0.0, ms) * 1000)),
                   std::move(packet)});
      }
    }
    while (!held.empty() && held.top().due <= Clock::now()) {
      (void)!write(fd_[1], held.top().packet.data(), held.top().packet.size());
      held.pop();
    }
  }
}

}  // namespace quorvel::testing
