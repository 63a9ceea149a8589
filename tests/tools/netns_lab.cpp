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
#include <QThread>

#include <atomic>

namespace quorvel::testing {

namespace {
QString ipProgram() {
  for (const char* p : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"})
    if (QFile::exists(QString::fromLatin1(p))) return QString::fromLatin1(p);
  return {};
}

// Runs the `ip` commands in turn, up to the first that fails; `why` then says which.
bool runAll(const QList<QStringList>& commands, QString* why) {
  QString out;
  for (const QStringList& c : commands) {
    if (runIp(c, &out)) continue;
    *why = QStringLiteral("`ip %1` failed: %2").arg(c.join(' '), out);
    return false;
  }
  return true;
}
}  // namespace

QString netnsUnavailableReason() {
  if (geteuid() != 0) return QStringLiteral("needs root to build network namespaces");
  if (ipProgram().isEmpty()) return QStringLiteral("the `ip` program (iproute2) is not installed");
  return {};
}

bool runIp(const QStringList& args, QString* output) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(ipProgram(), args);
  const bool ended = p.waitForStarted(10000) && p.waitForFinished(30000);
  if (output) *output = QString::fromLocal8Bit(p.readAll());
  return ended && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool runIn(const QString& ns, const QStringList& command, QString* output) {
  return runIp(QStringList{QStringLiteral("netns"), QStringLiteral("exec"), ns} + command, output);
}

NetnsLab::NetnsLab() {
  static std::atomic<int> counter{0};
  // Namespaces left behind by a test program that died before it could delete them.
  static const bool swept = [] {
    static const QRegularExpression ours(QStringLiteral("^qv(\\d+)n\\d+[A-Z]$"));
    for (const QString& ns : QDir(QStringLiteral("/run/netns")).entryList(QDir::Files)) {
      const QRegularExpressionMatch m = ours.match(ns);
      if (m.hasMatch() && !QFile::exists(QStringLiteral("/proc/") + m.captured(1)))
        runIp({QStringLiteral("netns"), QStringLiteral("del"), ns});
    }
    return true;
  }();
  (void)swept;
  prefix_ = QStringLiteral("qv%1n%2").arg(getpid()).arg(counter++);
}

NetnsLab::~NetnsLab() {
  link_.reset();
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
  return runIp({"-n", ns, "link", "set", "lo", "up"});
}

bool NetnsLab::buildChain(QString* why) {
  for (const char* role : {"S", "A", "B", "D"}) {
    if (!addNamespace(QString::fromLatin1(role))) {
      *why = QStringLiteral("`ip netns add` failed");
      return false;
    }
  }
  const QString s = name("S"), a = name("A"), b = name("B"), d = name("D");
  const QString owner[6] = {s, a, a, b, b, d};
  const char* const address[6] = {"192.0.2.1/26",  "192.0.2.2/26",    "192.0.2.65/26",
                                  "192.0.2.66/26", "198.51.100.1/24", "198.51.100.2/24"};
  QList<QStringList> steps;
  for (int k = 0; k < 6; k += 2)
    steps << QStringList{"link", "add",  linkName(k), "netns",         owner[k], "type",
                         "veth", "peer", "name",      linkName(k + 1), "netns",  owner[k + 1]};
  for (int k = 0; k < 6; ++k)
    steps << QStringList{"-n", owner[k], "addr", "add", address[k], "dev", linkName(k)}
          << QStringList{"-n", owner[k], "link", "set", linkName(k), "up"};
  steps << QStringList{"-n", s, "route", "add", "default", "via", "192.0.2.2"}
        << QStringList{"-n", a, "route", "add", "198.51.100.0/24", "via", "192.0.2.66"}
        << QStringList{"-n", b, "route", "add", "192.0.2.0/26", "via", "192.0.2.65"}
        << QStringList{"-n", d, "route", "add", "default", "via", "198.51.100.1"};
  // The routers forward and answer every probe: no ICMP type is rate limited.
  for (const QString& router : {a, b})
    for (const char* key : {"net.ipv4.ip_forward=1", "net.ipv4.icmp_ratemask=0"})
      steps << QStringList{"netns", "exec", router, "sysctl", "-qw", key};
  return runAll(steps, why);
}

bool NetnsLab::addIpv6(QString* why) {
  const QString s = name("S"), a = name("A"), b = name("B"), d = name("D");
  const QString owner[6] = {s, a, a, b, b, d};
  const char* const address[6] = {"2001:db8:1::1/64", "2001:db8:1::2/64", "2001:db8:2::1/64",
                                  "2001:db8:2::2/64", "2001:db8:3::1/64", "2001:db8:3::2/64"};
  QList<QStringList> steps;
  // No duplicate address detection: the addresses are usable at once.
  for (int k = 0; k < 6; ++k)
    steps << QStringList{"-n",       owner[k], "-6",        "addr", "add",
                         address[k], "dev",    linkName(k), "nodad"};
  steps << QStringList{"-n", s, "-6", "route", "add", "default", "via", "2001:db8:1::2"}
        << QStringList{"-n", a, "-6", "route", "add", "2001:db8:3::/64", "via", "2001:db8:2::2"}
        << QStringList{"-n", b, "-6", "route", "add", "2001:db8:1::/64", "via", "2001:db8:2::1"}
        << QStringList{"-n", d, "-6", "route", "add", "default", "via", "2001:db8:3::1"};
  // Every probe is answered: no ICMPv6 message is rate limited.
  for (const QString& ns : {a, b, d})
    for (const char* key : {"net.ipv6.conf.all.forwarding=1", "net.ipv6.icmp.ratelimit=0"})
      steps << QStringList{"netns", "exec", ns, "sysctl", "-qw", key};
  if (!runAll(steps, why)) return false;
  // The link-local addresses came with the links and are still being checked for duplicates;
  // until they are, neighbour discovery is not sure to work.
  for (const QString& ns : {s, a, b, d}) {
    QString out;
    for (int tries = 0; runIp({"-n", ns, "-6", "addr", "show", "tentative"}, &out); ++tries) {
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

bool NetnsLab::shapeFirstLink(const LinkShape& shape, QString* why) {
  const QString s = name("S"), a = name("A");
  // The veth pair goes (its peer with it); TUN devices of the same names take its place.
  if (!runAll({{"-n", s, "link", "del", linkName(0)}}, why)) return false;
  link_ = std::make_unique<LossyLink>();
  if (!link_->start(s, a, linkName(0), linkName(1), shape, why)) return false;
  QList<QStringList> steps;
  const QString owner[2] = {s, a};
  const char* const address[2] = {"192.0.2.1/26", "192.0.2.2/26"};
  for (int k = 0; k < 2; ++k) {
    steps << QStringList{"netns",
                         "exec",
                         owner[k],
                         "sysctl",
                         "-qw",
                         QStringLiteral("net.ipv6.conf.%1.disable_ipv6=1").arg(linkName(k))}
          << QStringList{"-n", owner[k], "addr", "add", address[k], "dev", linkName(k)}
          << QStringList{"-n", owner[k], "link", "set", linkName(k), "up"};
  }
  steps << QStringList{"-n", s, "route", "replace", "default", "via", "192.0.2.2"};
  return runAll(steps, why);
}

bool dropNetRaw() {
  __user_cap_header_struct hdr{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (syscall(SYS_capget, &hdr, data) != 0) return false;
  data[CAP_NET_RAW / 32].effective &= ~(1U << (CAP_NET_RAW % 32));
  return syscall(SYS_capset, &hdr, data) == 0;
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
