// Real ICMP: echo to 127.0.0.1, and traces through routers in network namespaces built here.
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <thread>

#include "core/app_state.h"
#include "common/test_support.h"
#include "tools/fake_echo.h"
#include "tools/frm_ping.h"
#include "tools/frm_tracert.h"
#include "tools/icmp_echo.h"
#include "tools/netns_lab.h"
#include "tools/trace_rt.h"

namespace quorvel {
namespace {

using testing::dropNetRaw;
using testing::ipv4;
using testing::NetnsLab;
using testing::runIn;
using testing::runIp;
using testing::ScopedNetns;

QStringList resultLines(QWidget* w) {
  return w->findChild<QPlainTextEdit*>("txtResults")->toPlainText().split(QLatin1Char('\n'));
}

void setBox(QWidget* w, const char* name, const QString& text) {
  w->findChild<QLineEdit*>(QString::fromLatin1(name))->setText(text);
}

// Runs a trace in the window and gives its report lines.
QStringList trace(const QString& address, const QString& requests, const QString& timeout,
                  IcmpSocketKind kind, bool resolve = false) {
  frmTraceRt w({address});
  w.setEchoOpener([kind](IpFamily family) { return OpenIcmpEcho(family, kind); });
  w.show();
  setBox(&w, "txtNumRequests", requests);
  setBox(&w, "txtTimeOut", timeout);
  w.findChild<QCheckBox*>("chkResolve")->setChecked(resolve);
  w.onRunClicked();
  return resultLines(&w);
}

TEST(SocketsRoutines, AddressesAndNames) {
  EXPECT_TRUE(StartSockets());
  const std::uint8_t bytes[4] = {127, 0, 0, 1};
  std::uint32_t a;
  std::memcpy(&a, bytes, 4);
  EXPECT_EQ(GetAddressText(a), "127.0.0.1");
  EXPECT_EQ(GetHostAddress("127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(GetHostAddress("198.51.100.7"), "198.51.100.7");  // dotted text: no look-up
  EXPECT_EQ(GetHostAddress("localhost"), "127.0.0.1");
  EXPECT_FALSE(GetHostNameFromAddress(a).isEmpty());  // "localhost" from the hosts file
  EXPECT_EQ(GetTextFromPointer(nullptr), "");
  StopSockets();
}

class LoopbackTest : public testing::AppFolderTest {
 protected:
  void SetUp() override {
    testing::AppFolderTest::SetUp();
    IcmpOpenResult r = OpenIcmpEcho();
    if (!r.echo) GTEST_SKIP() << "no ICMP socket on this machine: " << r.error.toStdString();
  }
};

TEST_F(LoopbackTest, EchoToLoopback) {
  for (IcmpSocketKind kind : {IcmpSocketKind::Automatic, IcmpSocketKind::Raw}) {
    IcmpOpenResult r = OpenIcmpEcho(kind);
    if (!r.echo) continue;  // raw sockets need CAP_NET_RAW
    for (int ttl : {0, 1, 64}) {
      const EchoResult e = r.echo->SendEcho(ipv4("127.0.0.1"), 32, ttl, 1000);
      EXPECT_EQ(e.status, 0) << ttl;
      EXPECT_TRUE(e.answered);
      EXPECT_EQ(GetAddressText(e.address), "127.0.0.1");
      EXPECT_LT(e.roundTripMs, 1000u);
      EXPECT_GT(e.ttl, 0);
    }
  }
}

TEST_F(LoopbackTest, PingWindowSeries) {
  frmPing w({"http://127.0.0.1/index.html"});
  w.show();
  setBox(&w, "txtNumRequests", "4");
  w.onRunClicked();
  const QStringList l = resultLines(&w);
  ASSERT_EQ(l.size(), 5) << l.join('|').toStdString();
  const QRegularExpression line(
      QStringLiteral("^(\\d)\\t127\\.0\\.0\\.1\\tRTT = (\\d+) ms\\tTTL = (\\d+)$"));
  for (int i = 0; i < 4; ++i) {
    const auto m = line.match(l[i]);
    ASSERT_TRUE(m.hasMatch()) << l[i].toStdString();
    EXPECT_EQ(m.captured(1).toInt(), i + 1);
    EXPECT_GT(m.captured(3).toInt(), 0);
  }
  EXPECT_EQ(w.stats().sent, 4);
  EXPECT_EQ(w.stats().lost, 0);
  QStringList boxes;
  for (QLineEdit* e : w.findChildren<QLineEdit*>("txtStats")) boxes.append(e->text());
  EXPECT_EQ(boxes[3], "4");
  EXPECT_EQ(boxes[4], "0 (0%)");
  EXPECT_TRUE(boxes[0].endsWith(" ms"));
  EXPECT_TRUE(messages_.empty());
}

TEST_F(LoopbackTest, TraceCompleteAtHopOne) {
  const QStringList l = trace("127.0.0.1", "2", "1000", IcmpSocketKind::Automatic, true);
  ASSERT_EQ(l.size(), 5) << l.join('|').toStdString();
  EXPECT_EQ(l[0], "Tracing route to 127.0.0.1");
  EXPECT_TRUE(QRegularExpression(
                  QStringLiteral("^1\\t(<10|\\d+) ms\\t(<10|\\d+) ms\\t127\\.0\\.0\\.1\\t.+$"))
                  .match(l[2])
                  .hasMatch())
      << l[2].toStdString();
  EXPECT_EQ(l[4], "Trace route complete");
}

class NamespaceTest : public testing::AppFolderTest {
 protected:
  void SetUp() override {
    testing::AppFolderTest::SetUp();
    const QString why = testing::netnsUnavailableReason();
    if (!why.isEmpty()) GTEST_SKIP() << why.toStdString();
  }
};

TEST_F(NamespaceTest, NoSocketIsExplainedInWords) {
  NetnsLab lab;
  if (!lab.addNamespace("E")) GTEST_SKIP() << "cannot add a network namespace";
  // A fresh namespace allows no ICMP datagram sockets (ping_group_range "1 0"); without
  // CAP_NET_RAW no raw socket either.
  IcmpOpenResult r;
  bool entered = false, dropped = false;
  std::thread t([&] {
    ScopedNetns in(lab.name("E"));
    entered = in.ok();
    dropped = entered && dropNetRaw();
    if (dropped) r = OpenIcmpEcho();
  });
  t.join();
  if (!entered || !dropped) GTEST_SKIP() << "cannot enter the namespace or drop CAP_NET_RAW";
  EXPECT_EQ(r.echo, nullptr);
  EXPECT_TRUE(r.error.contains("CAP_NET_RAW")) << r.error.toStdString();
  EXPECT_TRUE(r.error.contains("setcap cap_net_raw+ep"));
  EXPECT_TRUE(r.error.contains("net.ipv4.ping_group_range"));
}

TEST_F(NamespaceTest, UnresolvableNames) {
  // Inside an empty namespace no look-up can leave the machine.
  NetnsLab lab;
  if (!lab.addNamespace("E")) GTEST_SKIP() << "cannot add a network namespace";
  ScopedNetns in(lab.name("E"));
  if (!in.ok()) GTEST_SKIP() << "cannot enter the namespace";

  EXPECT_EQ(GetHostAddress("no-such-host.invalid"), "");
  EXPECT_EQ(GetHostNameFromAddress(ipv4("192.0.2.1")), "");

  const QStringList t = trace("no-such-host.invalid", "1", "500", IcmpSocketKind::Automatic);
  EXPECT_EQ(t, QStringList{"Unable to resolve host name no-such-host.invalid"});

  frmPing p({"no-such-host.invalid"});
  p.setEchoOpener([](IpFamily family) { return OpenIcmpEcho(family); });
  p.show();
  setBox(&p, "txtNumRequests", "2");
  p.onRunClicked();
  EXPECT_EQ(resultLines(&p), (QStringList{"1\tError: inet_addr: bad IP format",
                                          "2\tError: inet_addr: bad IP format", ""}));
  QStringList boxes;
  for (QLineEdit* e : p.findChildren<QLineEdit*>("txtStats")) boxes.append(e->text());
  EXPECT_EQ(boxes, (QStringList{"0.0 ms", "0 ms", "0 ms", "2", "2 (100%)"}));
}

TEST_F(NamespaceTest, ThreeHopRouteWithSilentRouterAndSilentDestination) {
  NetnsLab lab;
  QString why;
  if (!lab.buildChain(&why)) GTEST_SKIP() << why.toStdString();
  const QString s = lab.name("S"), b = lab.name("B"), d = lab.name("D");
  // Datagram sockets for everyone in S; fast neighbour failure in B towards D's link.
  ASSERT_TRUE(runIn(s, {"sysctl", "-qw", "net.ipv4.ping_group_range=0 2147483647"}));
  ASSERT_TRUE(runIn(b, {"sysctl", "-qw",
                        QStringLiteral("net.ipv4.neigh.%1.mcast_solicit=1").arg(lab.linkName(4))}));
  ASSERT_TRUE(
      runIn(b, {"sysctl", "-qw",
                QStringLiteral("net.ipv4.neigh.%1.retrans_time_ms=100").arg(lab.linkName(4))}));

  ScopedNetns in(s);
  if (!in.ok()) GTEST_SKIP() << "cannot enter the namespace";

  const QString time = QStringLiteral("(<10|\\d+) ms");
  const auto matches = [](const QString& pattern, const QString& text) {
    return QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$')).match(text).hasMatch();
  };

  for (IcmpSocketKind kind : {IcmpSocketKind::Datagram, IcmpSocketKind::Raw}) {
    SCOPED_TRACE(kind == IcmpSocketKind::Raw ? "raw socket" : "datagram socket");
    IcmpOpenResult r = OpenIcmpEcho(kind);
    ASSERT_NE(r.echo, nullptr) << r.error.toStdString();
    EXPECT_EQ(socketKindOf(*r.echo), kind);
    IcmpEcho& echo = *r.echo;

    EchoResult e = echo.SendEcho(ipv4("198.51.100.2"), 32, 1, 2000);
    EXPECT_EQ(e.status, 11013);
    EXPECT_TRUE(e.answered);
    EXPECT_EQ(GetAddressText(e.address), "192.0.2.2");
    e = echo.SendEcho(ipv4("198.51.100.2"), 32, 2, 2000);
    EXPECT_EQ(e.status, 11013);
    EXPECT_EQ(GetAddressText(e.address), "192.0.2.66");
    e = echo.SendEcho(ipv4("198.51.100.2"), 32, 3, 2000);
    EXPECT_EQ(e.status, 0);
    EXPECT_EQ(GetAddressText(e.address), "198.51.100.2");
    EXPECT_EQ(e.ttl, 62);  // D answers with 64, two routers on the way back
    e = echo.SendEcho(ipv4("192.0.2.200"), 32, 0, 2000);  // A has no route there
    EXPECT_EQ(e.status, 11002);
    EXPECT_EQ(GetAddressText(e.address), "192.0.2.2");
    e = echo.SendEcho(ipv4("198.51.100.77"), 32, 0, 3000);  // nobody on D's link has it
    EXPECT_EQ(e.status, 11003);
    EXPECT_EQ(GetAddressText(e.address), "192.0.2.66");

    QStringList l = trace("198.51.100.2", "2", "500", kind);
    ASSERT_EQ(l.size(), 7) << l.join('|').toStdString();
    EXPECT_EQ(l[0], "Tracing route to 198.51.100.2");
    EXPECT_TRUE(matches("1\\t" + time + "\\t" + time + "\\t192\\.0\\.2\\.2", l[2]))
        << l[2].toStdString();
    EXPECT_TRUE(matches("2\\t" + time + "\\t" + time + "\\t192\\.0\\.2\\.66", l[3]))
        << l[3].toStdString();
    EXPECT_TRUE(matches("3\\t" + time + "\\t" + time + "\\t198\\.51\\.100\\.2", l[4]))
        << l[4].toStdString();
    EXPECT_EQ(l[6], "Trace route complete");
  }

  // B keeps quiet: everything it sends itself goes into a black hole; it still forwards.
  ASSERT_TRUE(runIp({"-n", b, "rule", "add", "iif", "lo", "blackhole", "pref", "10"}));
  for (IcmpSocketKind kind : {IcmpSocketKind::Datagram, IcmpSocketKind::Raw}) {
    SCOPED_TRACE(kind == IcmpSocketKind::Raw ? "raw socket" : "datagram socket");
    const QStringList l = trace("198.51.100.2", "1", "500", kind);
    ASSERT_EQ(l.size(), 7) << l.join('|').toStdString();
    EXPECT_EQ(l[3], "2\t500 ms\t");
    EXPECT_TRUE(matches("3\\t" + time + "\\t198\\.51\\.100\\.2", l[4])) << l[4].toStdString();
    EXPECT_EQ(l[6], "Trace route complete");
  }

  // D does not answer either: hops 2 and 3 are silent, and the trace ends there.
  ASSERT_TRUE(runIn(d, {"sysctl", "-qw", "net.ipv4.icmp_echo_ignore_all=1"}));
  for (IcmpSocketKind kind : {IcmpSocketKind::Datagram, IcmpSocketKind::Raw}) {
    SCOPED_TRACE(kind == IcmpSocketKind::Raw ? "raw socket" : "datagram socket");
    const QStringList l = trace("198.51.100.2", "1", "500", kind);
    ASSERT_EQ(l.size(), 7) << l.join('|').toStdString();
    EXPECT_TRUE(matches("1\\t" + time + "\\t192\\.0\\.2\\.2", l[2])) << l[2].toStdString();
    EXPECT_EQ(l[3], "2\t500 ms\t");
    EXPECT_EQ(l[4], "3\t500 ms\t");
    EXPECT_EQ(l[6], "Trace timed out");
  }

  frmPing p({"198.51.100.2"});
  p.show();
  setBox(&p, "txtNumRequests", "2");
  p.onRunClicked();
  EXPECT_EQ(resultLines(&p),
            (QStringList{"1\tError: req timed out", "2\tError: req timed out", ""}));
  EXPECT_TRUE(messages_.empty());

  // Cancel while a request waits out a long time-out ends the wait at once.
  frmPing longPing({"198.51.100.2"});
  frmTraceRt longTrace({"198.51.100.2"});
  for (EchoToolWindow* w : std::initializer_list<EchoToolWindow*>{&longPing, &longTrace}) {
    w->show();
    setBox(w, "txtTimeOut", "60000");
    QElapsedTimer sinceClick;
    QTimer::singleShot(700, w, [&] {
      sinceClick.start();
      QTest::mouseClick(w->findChild<QPushButton*>("cmdRun"), Qt::LeftButton);
    });
    QTest::mouseClick(w->findChild<QPushButton*>("cmdRun"), Qt::LeftButton);
    ASSERT_TRUE(sinceClick.isValid());
    EXPECT_LT(sinceClick.elapsed(), 3000);
    EXPECT_TRUE(resultLines(w).last().endsWith("cancelled by user"))
        << resultLines(w).join('|').toStdString();
  }
  EXPECT_EQ(resultLines(&longPing), (QStringList{"", "Ping cancelled by user"}));
}

}  // namespace
}  // namespace quorvel
