// Real ICMPv6: the address choice, echo to ::1, and the trace-route window through the routers
// of the namespace lab beside `traceroute -6 -I -n` run in the same lab.
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <thread>

#include "common/test_support.h"
#include "tools/fake_echo.h"
#include "tools/frm_ping.h"
#include "tools/frm_tracert.h"
#include "tools/icmp_echo.h"
#include "tools/netns_lab.h"
#include "tools/trace_rt.h"

namespace quorvel {
namespace {

using testing::ip;
using testing::NetnsLab;
using testing::runIn;
using testing::runIp;
using testing::ScopedNetns;

QStringList resultLines(QWidget* w) {
  return w->findChild<QPlainTextEdit*>("txtResults")->toPlainText().split(QLatin1Char('\n'));
}

// The trace window's lines for a run over the given socket kind.
QStringList trace(const QString& address, const QString& requests, IcmpSocketKind kind) {
  frmTraceRt w({address});
  w.setEchoOpener([kind](IpFamily family) { return OpenIcmpEcho(family, kind); });
  w.show();
  w.findChild<QLineEdit*>("txtNumRequests")->setText(requests);
  w.findChild<QLineEdit*>("txtTimeOut")->setText("500");
  w.onRunClicked();
  return resultLines(&w);
}

// Each hop's address from the trace's lines ("" for a silent hop), up to the empty line.
QStringList hopsOfTrace(const QStringList& lines) {
  QStringList hops;
  for (qsizetype i = 2; i < lines.size() && !lines[i].isEmpty(); ++i)
    hops << lines[i].split(QLatin1Char('\t')).last();  // no host-name column
  return hops;
}

QString tracerouteProgram() {
  return QStandardPaths::findExecutable("traceroute", {"/usr/sbin", "/usr/bin", "/sbin", "/bin"});
}

// The same from `traceroute -6 -I -n -q 1`, run in the namespace.
QStringList hopsOfTraceroute(const QString& ns, const QString& host, int hops) {
  QString out;
  runIn(ns,
        {tracerouteProgram(), "-6", "-I", "-n", "-q", "1", "-w", "0.5", "-m", QString::number(hops),
         host},
        &out);
  static const QRegularExpression hop(QStringLiteral("^\\s*\\d+\\s+(\\S+)"));
  QStringList list;
  for (const QString& line : out.split(QLatin1Char('\n'))) {
    const QRegularExpressionMatch m = hop.match(line);
    if (m.hasMatch()) list << (m.captured(1) == "*" ? QString() : m.captured(1));
  }
  return list;
}

TEST(AddressChoice, LiteralsNamesAndFamilies) {
  EXPECT_EQ(ip("2001:db8::1"), ip("2001:0db8:0:0::1"));  // one address, however written
  EXPECT_EQ(ip("2001:0DB8:0:0:0:0:0:0001").text(), "2001:db8::1");
  EXPECT_EQ(ip("[::1]"), ip("::1"));
  EXPECT_FALSE(ip("::1") == ip("127.0.0.1"));
  EXPECT_FALSE(IpAddress::parse("[127.0.0.1]"));  // brackets belong to IPv6
  EXPECT_FALSE(IpAddress::parse("[::1]:80"));     // no port
  EXPECT_FALSE(IpAddress::parse("localhost"));
  EXPECT_EQ(ip("fe80::1%lo").text(), "fe80::1%lo");

  struct Case {
    const char* typed;
    AddressChoice choice;
    const char* address;  // "" for none
  };
  const Case cases[] = {
      {"::1", AddressChoice::Automatic, "::1"},
      {"[::1]", AddressChoice::Automatic, "::1"},
      {"2001:0db8::0001", AddressChoice::V6, "2001:db8::1"},
      {"::1", AddressChoice::V4, ""},
      {"127.0.0.1", AddressChoice::V6, ""},
      {"127.0.0.1", AddressChoice::Automatic, "127.0.0.1"},
      {"localhost", AddressChoice::Automatic, "127.0.0.1"},  // IPv4 first
      {"localhost", AddressChoice::V4, "127.0.0.1"},
      {"", AddressChoice::Automatic, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    EXPECT_EQ(ResolveHost(c.typed, c.choice).text(), c.address);
  }
  EXPECT_EQ(GetHostAddress("::1"), "");  // the IPv4 routine stays IPv4
}

class Loopback6Test : public testing::AppFolderTest {
 protected:
  void SetUp() override {
    testing::AppFolderTest::SetUp();
    IcmpOpenResult r = OpenIcmpEcho(IpFamily::V6);
    if (!r.echo) GTEST_SKIP() << "no ICMPv6 socket on this machine: " << r.error.toStdString();
  }
};

TEST_F(Loopback6Test, PingAndTraceOfLoopback) {
  for (IcmpSocketKind kind : {IcmpSocketKind::Automatic, IcmpSocketKind::Raw}) {
    IcmpOpenResult r = OpenIcmpEcho(IpFamily::V6, kind);
    if (!r.echo) continue;  // raw sockets need CAP_NET_RAW
    for (int hops : {0, 1, 64}) {
      const EchoResult e = r.echo->SendEcho(ip("::1"), 32, hops, 1000);
      EXPECT_EQ(e.status, 0) << hops;
      EXPECT_EQ(e.address, ip("::1"));
      EXPECT_GT(e.ttl, 0);
    }
    // An IPv4 address is not for an ICMPv6 endpoint.
    EXPECT_EQ(r.echo->SendEcho(ip("127.0.0.1"), 32, 0, 500).status, 11050);
  }

  frmPing p({"::1"});
  p.show();
  p.findChild<QLineEdit*>("txtNumRequests")->setText("3");
  p.onRunClicked();
  const QStringList l = resultLines(&p);
  ASSERT_EQ(l.size(), 4) << l.join('|').toStdString();
  const QRegularExpression line(QStringLiteral("^\\d\\t::1\\tRTT = \\d+ ms\\tTTL = 64$"));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(line.match(l[i]).hasMatch()) << l[i].toStdString();
  EXPECT_EQ(p.stats().lost, 0);

  const QStringList t = trace("[::1]", "2", IcmpSocketKind::Automatic);
  ASSERT_EQ(t.size(), 5) << t.join('|').toStdString();
  EXPECT_EQ(t[0], "Tracing route to ::1");
  EXPECT_TRUE(
      QRegularExpression("^1\\t(<10|\\d+) ms\\t(<10|\\d+) ms\\t::1$").match(t[2]).hasMatch())
      << t[2].toStdString();
  EXPECT_EQ(t[4], "Trace route complete");
  EXPECT_TRUE(messages_.empty());
}

class Namespace6Test : public testing::AppFolderTest {
 protected:
  void SetUp() override {
    testing::AppFolderTest::SetUp();
    const QString why = testing::netnsUnavailableReason();
    if (!why.isEmpty()) GTEST_SKIP() << why.toStdString();
  }
};

TEST_F(Namespace6Test, ThreeHopsBesideTraceroute) {
  if (tracerouteProgram().isEmpty())
    GTEST_SKIP() << "traceroute is not installed (scripts/install-deps.sh installs it)";
  NetnsLab lab;
  QString why;
  if (!lab.buildChain(&why) || !lab.addIpv6(&why)) GTEST_SKIP() << why.toStdString();
  const QString s = lab.name("S"), a = lab.name("A"), b = lab.name("B"), d = lab.name("D");
  ASSERT_TRUE(runIn(s, {"sysctl", "-qw", "net.ipv4.ping_group_range=0 2147483647"}));
  // Answers of every kind: no route, a prohibiting route, a link that takes 1280 bytes only,
  // and a neighbour that is not there (found out quickly).
  ASSERT_TRUE(runIp({"-n", a, "-6", "route", "add", "prohibit", "2001:db8:9::/64"}));
  for (int k : {4, 5})
    ASSERT_TRUE(runIp({"-n", k == 4 ? b : d, "link", "set", lab.linkName(k), "mtu", "1280"}));
  const QString dev = lab.linkName(4);
  ASSERT_TRUE(
      runIn(b, {"sysctl", "-qw", QStringLiteral("net.ipv6.neigh.%1.mcast_solicit=1").arg(dev)}));
  ASSERT_TRUE(runIn(
      b, {"sysctl", "-qw", QStringLiteral("net.ipv6.neigh.%1.retrans_time_ms=100").arg(dev)}));

  ScopedNetns in(s);
  ASSERT_TRUE(in.ok());
  const QStringList route{"2001:db8:1::2", "2001:db8:2::2", "2001:db8:3::2"};
  for (IcmpSocketKind kind : {IcmpSocketKind::Datagram, IcmpSocketKind::Raw}) {
    SCOPED_TRACE(kind == IcmpSocketKind::Raw ? "raw socket" : "datagram socket");
    IcmpOpenResult r = OpenIcmpEcho(IpFamily::V6, kind);
    ASSERT_NE(r.echo, nullptr) << r.error.toStdString();
    EXPECT_EQ(socketKindOf(*r.echo), kind);
    runIp({"-6", "route", "flush", "cache"});  // forget the path MTU learnt before
    const struct {
      const char* to;
      int hops, payload, status;
      const char* from;
    } answers[] = {
        {"2001:db8:3::2", 1, 32, 11013, "2001:db8:1::2"},  // hop limit exceeded
        {"2001:db8:3::2", 2, 32, 11013, "2001:db8:2::2"},
        {"2001:db8:3::2", 0, 32, 0, "2001:db8:3::2"},        // echo reply
        {"2001:db8:7::7", 0, 32, 11002, "2001:db8:1::2"},    // no route
        {"2001:db8:9::9", 0, 32, 11003, "2001:db8:1::2"},    // administratively prohibited
        {"2001:db8:3::2", 0, 1400, 11009, "2001:db8:2::2"},  // packet too big
        {"2001:db8:3::77", 0, 32, 11003, "2001:db8:2::2"},   // address unreachable
    };
    for (const auto& x : answers) {
      SCOPED_TRACE(x.to);
      const EchoResult e = r.echo->SendEcho(ip(x.to), x.payload, x.hops, 3000);
      EXPECT_EQ(e.status, x.status);
      EXPECT_EQ(e.address.text(), x.from);
    }
    const QStringList l = trace("2001:db8:3::2", "2", kind);
    ASSERT_EQ(l.size(), 7) << l.join('|').toStdString();
    EXPECT_EQ(hopsOfTrace(l), route);
    EXPECT_EQ(l[6], "Trace route complete");
  }
  EXPECT_EQ(hopsOfTraceroute(s, "2001:db8:3::2", 3), route);

  // B keeps quiet, then D does not answer either: hop by hop as traceroute sees them.
  ASSERT_TRUE(runIp({"-n", b, "-6", "rule", "add", "iif", "lo", "blackhole", "pref", "10"}));
  EXPECT_EQ(hopsOfTrace(trace("2001:db8:3::2", "1", IcmpSocketKind::Raw)),
            hopsOfTraceroute(s, "2001:db8:3::2", 3));
  ASSERT_TRUE(runIn(d, {"sysctl", "-qw", "net.ipv6.icmp.echo_ignore_all=1"}));
  for (IcmpSocketKind kind : {IcmpSocketKind::Datagram, IcmpSocketKind::Raw}) {
    SCOPED_TRACE(kind == IcmpSocketKind::Raw ? "raw socket" : "datagram socket");
    const QStringList l = trace("2001:db8:3::2", "1", kind);
    ASSERT_EQ(l.size(), 7) << l.join('|').toStdString();
    EXPECT_EQ(hopsOfTrace(l), (QStringList{"2001:db8:1::2", "", ""}));
    EXPECT_EQ(hopsOfTrace(l), hopsOfTraceroute(s, "2001:db8:3::2", 3));
    EXPECT_EQ(l[4], "3\t500 ms\t");
    EXPECT_EQ(l[6], "Trace timed out");
  }
  EXPECT_TRUE(messages_.empty());
}

TEST_F(Namespace6Test, RootlessDatagramSocketOrAClearMessage) {
  NetnsLab lab;
  if (!lab.addNamespace("R") || !lab.addNamespace("E")) GTEST_SKIP() << "cannot add namespaces";
  ASSERT_TRUE(runIn(lab.name("R"), {"sysctl", "-qw", "net.ipv4.ping_group_range=0 2147483647"}));
  // Without CAP_NET_RAW: where ping_group_range allows, the datagram socket; in a fresh
  // namespace (which allows none) neither socket, and a message that names the remedies.
  IcmpOpenResult rootless, raw, none;
  EchoResult reply;
  bool ready = false;
  std::thread t([&] {
    ready = testing::dropNetRaw();
    {
      ScopedNetns in(lab.name("R"));
      ready = ready && in.ok();
      rootless = OpenIcmpEcho(IpFamily::V6);
      raw = OpenIcmpEcho(IpFamily::V6, IcmpSocketKind::Raw);
      if (rootless.echo) reply = rootless.echo->SendEcho(ip("::1"), 32, 0, 1000);
    }
    ScopedNetns in(lab.name("E"));
    ready = ready && in.ok();
    none = OpenIcmpEcho(IpFamily::V6);
  });
  t.join();
  if (!ready) GTEST_SKIP() << "cannot enter the namespaces or drop CAP_NET_RAW";
  ASSERT_NE(rootless.echo, nullptr) << rootless.error.toStdString();
  EXPECT_EQ(socketKindOf(*rootless.echo), IcmpSocketKind::Datagram);
  EXPECT_EQ(reply.status, 0);
  EXPECT_EQ(reply.address, ip("::1"));
  EXPECT_EQ(raw.echo, nullptr);
  EXPECT_EQ(none.echo, nullptr);
  EXPECT_TRUE(none.error.startsWith("ICMPv6 echo requests cannot be sent"))
      << none.error.toStdString();
  EXPECT_TRUE(none.error.contains("setcap cap_net_raw+ep"));
  EXPECT_TRUE(none.error.contains("net.ipv4.ping_group_range"));
}

}  // namespace
}  // namespace quorvel
