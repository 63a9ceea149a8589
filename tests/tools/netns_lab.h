// Network namespaces for the ICMP tests: a chain source - router A - router B - destination
// built with `ip`, and a way for the calling thread to work inside one of them.
//
//   S 192.0.2.1/26 -- 192.0.2.2/26 A 192.0.2.65/26 -- 192.0.2.66/26 B 198.51.100.1/24
//     -- 198.51.100.2/24 D
//
// and, with addIpv6, the same chain over IPv6:
//
//   S 2001:db8:1::1 -- 2001:db8:1::2 A 2001:db8:2::1 -- 2001:db8:2::2 B 2001:db8:3::1
//     -- 2001:db8:3::2 D                                              (each a /64)
//
// shapeFirstLink puts S - A through a LossyLink of TUN devices instead of a veth pair.
//
// A and B forward and answer every probe (no ICMP type rate limited); D answers echo requests.
// Every namespace and link gets a name unique to this process, and all of them are deleted
// when the lab is destroyed, with the hosts files given to `ip netns exec`.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "tools/lossy_link.h"

namespace quorvel::testing {

// Why namespaces cannot be used here, or "" when they can (root and `ip netns` available).
QString netnsUnavailableReason();

// Runs `ip` with the arguments; true when it exits with 0. `output` gets stderr and stdout.
bool runIp(const QStringList& args, QString* output = nullptr);

// Runs a program inside a namespace (`ip netns exec NS program args...`).
bool runIn(const QString& ns, const QStringList& command, QString* output = nullptr);

// Takes CAP_NET_RAW out of the calling thread's effective capabilities; only this thread is
// affected.
bool dropNetRaw();

class NetnsLab {
 public:
  NetnsLab();
  ~NetnsLab();
  NetnsLab(const NetnsLab&) = delete;
  NetnsLab& operator=(const NetnsLab&) = delete;

  // Adds an empty namespace (loopback up) under the given role letter.
  bool addNamespace(const QString& role);
  // Builds the four-namespace chain above. On failure `why` says what failed.
  bool buildChain(QString* why);
  // Gives the chain its IPv6 addresses and routes (after buildChain).
  bool addIpv6(QString* why);
  // Puts the link between S and A (IPv4 only) through a LossyLink of the shape: what S sends
  // on it is delayed and thinned out (after buildChain).
  bool shapeFirstLink(const LinkShape& shape, QString* why);
  const LossyLink* firstLink() const { return link_.get(); }
  // The hosts file that programs started with `ip netns exec` in the namespace read.
  bool setHostsFile(const QString& role, const QByteArray& text);

  QString name(const QString& role) const { return prefix_ + role; }
  // Name of veth end k of the chain (0 in S, 1 and 2 in A, 3 and 4 in B, 5 in D).
  QString linkName(int k) const { return prefix_ + QString::number(k); }

 private:
  QString prefix_;
  std::unique_ptr<LossyLink> link_;
  QStringList created_;
  QStringList etcFolders_;
};

// Moves the calling thread into a namespace for its lifetime, then back.
class ScopedNetns {
 public:
  explicit ScopedNetns(const QString& name);
  ~ScopedNetns();
  ScopedNetns(const ScopedNetns&) = delete;
  ScopedNetns& operator=(const ScopedNetns&) = delete;
  bool ok() const { return ok_; }

 private:
  int home_ = -1;
  bool ok_ = false;
};

}  // namespace quorvel::testing
