#include "tools/netns_lab.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <atomic>

namespace quorvel::testing {

QString netnsUnavailableReason() {
  if (geteuid() != 0) return QStringLiteral("needs root to build network namespaces");
  if (QStandardPaths::findExecutable(QStringLiteral("ip")).isEmpty() &&
      !QFile::exists(QStringLiteral("/usr/sbin/ip")) && !QFile::exists(QStringLiteral("/sbin/ip")))
    return QStringLiteral("the `ip` program (iproute2) is not installed");
  return {};
}

namespace {
QString ipProgram() {
  for (const char* p : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"})
    if (QFile::exists(QString::fromLatin1(p))) return QString::fromLatin1(p);
  return QStringLiteral("ip");
}
}  // namespace

bool runIp(const QStringList& args, QString* output) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(ipProgram(), args);
  if (!p.waitForStarted(10000)) {
    if (output) *output = QStringLiteral("cannot start ip");
    return false;
  }
  p.waitForFinished(30000);
  if (output) *output = QString::fromLocal8Bit(p.readAll());
  return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool runIn(const QString& ns, const QStringList& command, QString* output) {
  return runIp(QStringList{QStringLiteral("netns"), QStringLiteral("exec"), ns} + command, output);
}

// Namespaces left behind by a test program that died before it could delete them.
void removeStaleNamespaces() {
  static const QRegularExpression ours(QStringLiteral("^qv(\\d+)n\\d+[A-Z]$"));
  const QStringList names = QDir(QStringLiteral("/run/netns")).entryList(QDir::Files);
  for (const QString& ns : names) {
    const QRegularExpressionMatch m = ours.match(ns);
    if (!m.hasMatch()) continue;
    if (QFile::exists(QStringLiteral("/proc/") + m.captured(1))) continue;  // still running
    runIp({QStringLiteral("netns"), QStringLiteral("del"), ns});
  }
}

NetnsLab::NetnsLab() {
  static std::atomic<int> counter{0};
  static const bool swept = (removeStaleNamespaces(), true);
  (void)swept;
  prefix_ = QStringLiteral("qv%1n%2").arg(getpid()).arg(counter++);
}

NetnsLab::~NetnsLab() {
  // Deleting a namespace deletes its links too (each veth pair with its peer).
  for (const QString& ns : created_) runIp({QStringLiteral("netns"), QStringLiteral("del"), ns});
  for (const QString& folder : etcFolders_) QDir(folder).removeRecursively();
}

bool NetnsLab::setHostsFile(const QString& role, const QByteArray& text) {
  const QString folder = QStringLiteral("/etc/netns/") + name(role);
  if (!QDir().mkpath(folder)) return false;
  etcFolders_.append(folder);
  QFile f(folder + QStringLiteral("/hosts"));
  return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

bool NetnsLab::addNamespace(const QString& role) {
  const QString ns = name(role);
  if (!runIp({QStringLiteral("netns"), QStringLiteral("add"), ns})) return false;
  created_.append(ns);
  return runIp({QStringLiteral("-n"), ns, QStringLiteral("link"), QStringLiteral("set"),
                QStringLiteral("lo"), QStringLiteral("up")});
}

bool NetnsLab::buildChain(QString* why) {
  const QString s = name("S"), a = name("A"), b = name("B"), d = name("D");
  for (const char* role : {"S", "A", "B", "D"}) {
    if (!addNamespace(QString::fromLatin1(role))) {
      *why = QStringLiteral("`ip netns add` failed");
      return false;
    }
  }
  const auto link = [&](const QString& ifa, const QString& nsa, const QString& ifb,
                        const QString& nsb) {
    return runIp(
        {"link", "add", ifa, "netns", nsa, "type", "veth", "peer", "name", ifb, "netns", nsb});
  };
  const auto addr = [&](const QString& ns, const QString& cidr, const QString& dev) {
    return runIp({"-n", ns, "addr", "add", cidr, "dev", dev}) &&
           runIp({"-n", ns, "link", "set", dev, "up"});
  };
  const QString p = prefix_;
  QString out;
  const bool ok = link(p + "0", s, p + "1", a) && link(p + "2", a, p + "3", b) &&
                  link(p + "4", b, p + "5", d) && addr(s, "192.0.2.1/26", p + "0") &&
                  addr(a, "192.0.2.2/26", p + "1") && addr(a, "192.0.2.65/26", p + "2") &&
                  addr(b, "192.0.2.66/26", p + "3") && addr(b, "198.51.100.1/24", p + "4") &&
                  addr(d, "198.51.100.2/24", p + "5") &&
                  runIp({"-n", s, "route", "add", "default", "via", "192.0.2.2"}) &&
                  runIp({"-n", a, "route", "add", "198.51.100.0/24", "via", "192.0.2.66"}) &&
                  runIp({"-n", b, "route", "add", "192.0.2.0/26", "via", "192.0.2.65"}) &&
                  runIp({"-n", d, "route", "add", "default", "via", "198.51.100.1"}) &&
                  runIn(a, {"sysctl", "-qw", "net.ipv4.ip_forward=1"}, &out) &&
                  runIn(b, {"sysctl", "-qw", "net.ipv4.ip_forward=1"}, &out) &&
                  // The routers answer every probe: no ICMP type is rate limited.
                  runIn(a, {"sysctl", "-qw", "net.ipv4.icmp_ratemask=0"}, &out) &&
                  runIn(b, {"sysctl", "-qw", "net.ipv4.icmp_ratemask=0"}, &out);
  if (!ok) *why = QStringLiteral("building the veth chain failed: ") + out;
  return ok;
}

bool dropNetRaw() {
  __user_cap_header_struct hdr{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (syscall(SYS_capget, &hdr, data) != 0) return false;
  data[CAP_NET_RAW / 32].effective &= ~(1U << (CAP_NET_RAW % 32));
  return syscall(SYS_capset, &hdr, data) == 0;
}

bool NetnsLab::addIpv6(QString* why) {
  const QString s = name("S"), a = name("A"), b = name("B"), d = name("D");
  const QString p = prefix_;
  // No duplicate address detection: the addresses are usable at once.
  const auto addr = [&](const QString& ns, const QString& cidr, const QString& dev) {
    return runIp({"-n", ns, "-6", "addr", "add", cidr, "dev", dev, "nodad"});
  };
  const auto route = [&](const QString& ns, const QString& to, const QString& via) {
    return runIp({"-n", ns, "-6", "route", "add", to, "via", via});
  };
  QString out;
  const bool ok =
      addr(s, "2001:db8:1::1/64", p + "0") && addr(a, "2001:db8:1::2/64", p + "1") &&
      addr(a, "2001:db8:2::1/64", p + "2") && addr(b, "2001:db8:2::2/64", p + "3") &&
      addr(b, "2001:db8:3::1/64", p + "4") && addr(d, "2001:db8:3::2/64", p + "5") &&
      route(s, "default", "2001:db8:1::2") && route(a, "2001:db8:3::/64", "2001:db8:2::2") &&
      route(b, "2001:db8:1::/64", "2001:db8:2::1") && route(d, "default", "2001:db8:3::1") &&
      runIn(a, {"sysctl", "-qw", "net.ipv6.conf.all.forwarding=1"}, &out) &&
      runIn(b, {"sysctl", "-qw", "net.ipv6.conf.all.forwarding=1"}, &out) &&
      // Every probe is answered: no ICMPv6 message is rate limited.
      runIn(a, {"sysctl", "-qw", "net.ipv6.icmp.ratelimit=0"}, &out) &&
      runIn(b, {"sysctl", "-qw", "net.ipv6.icmp.ratelimit=0"}, &out) &&
      runIn(d, {"sysctl", "-qw", "net.ipv6.icmp.ratelimit=0"}, &out);
  if (!ok) {
    *why = QStringLiteral("giving the chain IPv6 failed: ") + out;
    return false;
  }
  // The link-local addresses came with the links and are still being checked for duplicates;
  // until they are, neighbour discovery is not sure to work.
  for (const QString& ns : {s, a, b, d}) {
    for (int tries = 0;; ++tries) {
      if (!runIp({"-n", ns, "-6", "addr", "show", "tentative"}, &out)) return false;
      if (out.trimmed().isEmpty()) break;
      if (tries == 100) {
        *why = QStringLiteral("IPv6 addresses stay tentative in ") + ns;
        return false;
      }
      QThread::msleep(50);
    }
  }
  return true;
}

ScopedNetns::ScopedNetns(const QString& name) {
  home_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  const QByteArray path = QStringLiteral("/run/netns/%1").arg(name).toLocal8Bit();
  const int target = open(path.constData(), O_RDONLY | O_CLOEXEC);
  if (home_ >= 0 && target >= 0) ok_ = setns(target, CLONE_NEWNET) == 0;
  if (target >= 0) close(target);
}

ScopedNetns::~ScopedNetns() {
  if (ok_) setns(home_, CLONE_NEWNET);
  if (home_ >= 0) close(home_);
}

}  // namespace quorvel::testing
