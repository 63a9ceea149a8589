// A link of the namespace lab with delay, jitter and loss of its own, for kernels without
// netem: a TUN device in each of two namespaces and a thread that moves every packet from one
// to the other. Packets from the first side wait mean +/- jitter (uniform) and a fraction of
// them is dropped (one at a random place in every run of 1/loss packets), drawn from a
// generator with a fixed seed; packets from the second side pass at once. So it acts as netem
// on the first side's way out.
#pragma once

#include <QString>
#include <atomic>
#include <thread>

namespace quorvel::testing {

struct LinkShape {
  double delayMs = 0;
  double jitterMs = 0;
  double loss = 0;  // 0 to 1
  unsigned seed = 1;
};

class LossyLink {
 public:
  LossyLink() = default;
  ~LossyLink();
  LossyLink(const LossyLink&) = delete;
  LossyLink& operator=(const LossyLink&) = delete;

  // Makes the TUN devices (`device` in each of the namespaces; no addresses, down) and starts
  // moving packets. False, with the reason in `why`, when a device cannot be made.
  bool start(const QString& firstNs, const QString& secondNs, const QString& firstDevice,
             const QString& secondDevice, const LinkShape& shape, QString* why);
  void stop();

  // Packets taken from the first side, and how many of them were dropped.
  long long packets() const { return packets_; }
  long long dropped() const { return dropped_; }

 private:
  void move(LinkShape shape);

  int fd_[2] = {-1, -1};
  std::atomic<bool> stop_{false};
  std::atomic<long long> packets_{0}, dropped_{0};
  std::thread thread_;
};

}  // namespace quorvel::testing
