// quorvel ping and quorvel trace: the same series and the same trace as the windows', in the
// windows' words, as JSON and as Prometheus metrics; over real ICMP to 127.0.0.1 and through
// the routers of a namespace lab.
#include <gtest/gtest.h>
#include <signal.h>

#include <QCheckBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <thread>

#include "core/exit_codes.h"
#include "cli/cli_fixture.h"
#include "tools/frm_ping.h"
#include "tools/frm_tracert.h"
#include "tools/icmp_echo.h"
#include "tools/netns_lab.h"

namespace quorvel {
namespace {

using testing::Ended;
using testing::NetnsLab;
using testing::runIn;
using testing::runIp;
using testing::ScopedNetns;

QStringList linesOf(const QString& text) {
  QStringList l = text.split(QLatin1Char('\n'));
  if (!l.isEmpty() && l.last().isEmpty()) l.removeLast();
  return l;
}

// The figures that differ from one run to the next (times shorter than the time-out) made
// alike; a time-out, an address or a count stays as it is.
QStringList masked(const QStringList& lines, int timeoutMs) {
  static const QRegularExpression time(QStringLiteral("(?<=\\t|= )(<10|\\d+) ms"));
  QStringList out;
  for (QString l : lines) {
    QRegularExpressionMatchIterator it = time.globalMatch(l);
    QString m;
    qsizetype at = 0;
    while (it.hasNext()) {
      const QRegularExpressionMatch x = it.next();
      const bool measured = x.captured(1) == "<10" || x.captured(1).toInt() < timeoutMs;
      m += l.mid(at, x.capturedStart() - at) + (measured ? QStringLiteral("# ms") : x.captured());
      at = x.capturedEnd();
    }
    out << m + l.mid(at);
  }
  return out;
}

QStringList windowLines(QWidget* w) {
  return linesOf(w->findChild<QPlainTextEdit*>("txtResults")->toPlainText());
}

QStringList traceInWindow(const QString& host, const QString& queries, const QString& timeout,
                          bool resolve) {
  frmTraceRt w({host});
  w.show();
  w.findChild<QLineEdit*>("txtNumRequests")->setText(queries);
  w.findChild<QLineEdit*>("txtTimeOut")->setText(timeout);
  w.findChild<QCheckBox*>("chkResolve")->setChecked(resolve);
  w.onRunClicked();
  return windowLines(&w);
}

QJsonObject json(const Ended& r) {
  return QJsonDocument::fromJson(r.out).object();
}

QStringList jsonLines(const QJsonObject& doc) {
  QStringList l;
  for (const QJsonValue& v : doc["lines"].toArray()) l << v.toString();
  return l;
}

QStringList hopAddresses(const QJsonObject& doc) {
  QStringList a;
  for (const QJsonValue& h : doc["hops"].toArray()) a << h.toObject()["address"].toString();
  return a;
}

// promtool's verdict on a metrics file ("" when it is fine or promtool is not installed).
QString promtoolComplaint(const QString& file) {
  const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
  if (promtool.isEmpty()) return {};
  QProcess p;
  p.setStandardInputFile(file);
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
  p.waitForFinished(30000);
  return p.exitCode() == 0 ? QString() : QString::fromLocal8Bit(p.readAll());
}

class IcmpCommandTest : public testing::CommandLineTest {
 protected:
  void SetUp() override {
    CommandLineTest::SetUp();
    if (!OpenIcmpEcho().echo) GTEST_SKIP() << "no ICMP socket on this machine";
  }
  QStringList textLines(const Ended& r) { return linesOf(QString::fromUtf8(r.out)); }
};

TEST_F(IcmpCommandTest, LoopbackAsTheWindowsShowIt) {
  // The ping window and the command, four requests each.
  frmPing w({"127.0.0.1"});
  w.show();
  w.findChild<QLineEdit*>("txtNumRequests")->setText("4");
  w.onRunClicked();
  const Ended text = run({"ping", "-c", "4", "127.0.0.1"});
  ASSERT_EQ(text.code, kExitOk) << text.err.toStdString();
  EXPECT_TRUE(text.err.isEmpty());
  const QStringList l = textLines(text);
  ASSERT_EQ(l.size(), 4 + 1 + 5) << text.out.toStdString();
  EXPECT_EQ(masked(l.mid(0, 4), 500), masked(windowLines(&w), 500));
  EXPECT_EQ(l[4], "");
  QStringList boxes;
  for (QLineEdit* e : w.findChildren<QLineEdit*>("txtStats")) boxes << e->text();
  const QStringList labels{"Average:", "Minimum:", "Maximum:", "Packets Sent:", "Packets Lost:"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_TRUE(l[5 + i].startsWith(labels[i])) << l[5 + i].toStdString();
    if (i >= 3) {
      EXPECT_EQ(l[5 + i].mid(14), boxes[i]);
    } else {
      EXPECT_TRUE(l[5 + i].endsWith(" ms"));
    }
  }

  // JSON: the lines, and each figure of a line to the microsecond.
  const Ended js = run({"ping", "--json", "-c", "3", "127.0.0.1"});
  ASSERT_EQ(js.code, kExitOk) << js.err.toStdString();
  const QJsonObject doc = json(js);
  EXPECT_EQ(doc["address"].toString(), "127.0.0.1");
  EXPECT_EQ(doc["timeout_ms"].toInt(), 500);
  const QJsonArray requests = doc["requests"].toArray();
  ASSERT_EQ(requests.size(), 3);
  for (int i = 0; i < 3; ++i) {
    const QJsonObject q = requests[i].toObject();
    EXPECT_EQ(q["rtt_ms"].toInteger(), q["rtt_microseconds"].toInteger() / 1000);
    EXPECT_EQ(jsonLines(doc)[i], QStringLiteral("%1\t127.0.0.1\tRTT = %2 ms\tTTL = %3")
                                     .arg(i + 1)
                                     .arg(q["rtt_ms"].toInteger())
                                     .arg(q["ttl"].toInt()));
  }
  const QJsonObject stats = doc["statistics"].toObject();
  EXPECT_EQ(stats["sent"].toInt(), 3);
  EXPECT_EQ(stats["lost"].toInt(), 0);
  EXPECT_EQ(stats["shown"].toObject()["packets_lost"].toString(), "0 (0%)");
  EXPECT_LE(stats["rtt_microseconds"].toObject()["minimum"].toDouble(),
            stats["rtt_microseconds"].toObject()["maximum"].toDouble());

  // The trace window and the command, with names: one hop, complete.
  const QStringList window = traceInWindow("127.0.0.1", "2", "1000", true);
  const Ended trace = run({"trace", "-q", "2", "-w", "1000", "-r", "127.0.0.1"});
  ASSERT_EQ(trace.code, kExitOk) << trace.err.toStdString();
  EXPECT_EQ(masked(textLines(trace), 1000), masked(window, 1000));
  ASSERT_EQ(window.size(), 5);
  EXPECT_EQ(window[4], "Trace route complete");
  const Ended tj = run({"trace", "--json", "127.0.0.1"});
  ASSERT_EQ(tj.code, kExitOk);
  EXPECT_EQ(hopAddresses(json(tj)), QStringList{"127.0.0.1"});
  EXPECT_EQ(json(tj)["hops"].toArray()[0].toObject()["probes"].toArray().size(), 3);
  EXPECT_TRUE(json(tj)["reached"].toBool());

  // Metrics: valid for Prometheus, with the figures of the run.
  const Ended m = run({"ping", "-c", "2", "--metrics", path("ping.prom"), "127.0.0.1"});
  ASSERT_EQ(m.code, kExitOk);
  const QByteArray prom = readFile("ping.prom");
  EXPECT_TRUE(prom.contains("\nquorvel_ping_success{host=\"127.0.0.1\"} 1\n")) << prom.constData();
  EXPECT_TRUE(prom.contains("\nquorvel_ping_packets_sent{host=\"127.0.0.1\"} 2\n"));
  EXPECT_TRUE(prom.contains("quorvel_ping_rtt_seconds{host=\"127.0.0.1\",stat=\"max\"} "));
  EXPECT_EQ(promtoolComplaint(path("ping.prom")), "");
  ASSERT_EQ(run({"trace", "--metrics", path("trace.prom"), "127.0.0.1"}).code, kExitOk);
  EXPECT_TRUE(readFile("trace.prom").contains("\nquorvel_trace_hops{host=\"127.0.0.1\"} 1\n"));
  EXPECT_TRUE(readFile("trace.prom")
                  .contains("quorvel_trace_hop_rtt_seconds{host=\"127.0.0.1\",hop=\"1\","
                            "address=\"127.0.0.1\"} "));
  EXPECT_EQ(promtoolComplaint(path("trace.prom")), "");
}

TEST_F(IcmpCommandTest, OptionsReadAsTheWindowsReadTheirBoxes) {
  struct Case {
    QStringList args;
    int exitCode;
    const char* key;  // JSON key checked ("" for none)
    int value;
    const char* err;  // what standard error says ("" for nothing)
  };
  const Case cases[] = {
      {{"ping", "--json", "-c", "0", "-w", "100", "127.0.0.1"}, 0, "count", 10, ""},
      {{"ping", "--json", "-c2.5", "-w", "2000", "127.0.0.1"}, 0, "count", 2, ""},
      {{"ping", "--json", "-c", "1", "-w", "2000", "127.0.0.1"}, 0, "timeout_ms", 2000, ""},
      {{"trace", "--json", "-q", "7", "-w", "2400.5", "127.0.0.1"}, 0, "queries", 3, ""},
      {{"trace", "--json", "-q", "5", "-w", "100", "127.0.0.1"}, 0, "timeout_ms", 500, ""},
      {{"ping", "-c", "many", "127.0.0.1"}, 2, "", 0, "Option --count takes a number"},
      {{"trace", "--timeout=soon", "127.0.0.1"}, 2, "", 0, "Option --timeout takes a number"},
      {{"ping"}, 2, "", 0, "Give one host to ping"},
      {{"trace", "127.0.0.1", "127.0.0.2"}, 2, "", 0, "Give one host to trace"},
      {{"trace", "-c", "3", "127.0.0.1"}, 2, "", 0, "Unknown option -c"},
      {{"ping", "-6", "127.0.0.1"},
       2,
       "",
       0,
       "Cannot resolve the host name 127.0.0.1 to an IPv6 address."},
      {{"trace", "-4", "[::1]"},
       2,
       "",
       0,
       "Cannot resolve the host name [::1] to an IPv4 address."},
      {{"ping", "-4", "-6", "::1"}, 2, "", 0, "Choose one of -4 and -6."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const Ended r = run(c.args);
    EXPECT_EQ(r.code, c.exitCode);
    if (*c.key) {
      EXPECT_EQ(json(r)[c.key].toInt(), c.value);
    }
    if (*c.err) {
      EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
      EXPECT_EQ(r.err.count('\n'), 1);
    } else {
      EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    }
  }
  // With a count of 0 the ten requests of the default went out.
  EXPECT_EQ(json(run({"ping", "--json", "-c", "0", "127.0.0.1"}))["requests"].toArray().size(), 10);
}

TEST_F(IcmpCommandTest, LoopbackOverIpv6) {
  if (!OpenIcmpEcho(IpFamily::V6).echo) GTEST_SKIP() << "no ICMPv6 socket on this machine";
  Ended r = run({"ping", "-c", "2", "::1"});
  ASSERT_EQ(r.code, kExitOk) << r.err.toStdString();
  EXPECT_EQ(masked(textLines(r).mid(0, 2), 500),
            (QStringList{"1\t::1\tRTT = # ms\tTTL = 64", "2\t::1\tRTT = # ms\tTTL = 64"}));
  r = run({"ping", "--json", "-c", "1", "-6", "[::1]"});
  EXPECT_EQ(json(r)["address"].toString(), "::1");
  EXPECT_EQ(json(r)["family"].toString(), "ipv6");
  EXPECT_GE(json(r)["requests"].toArray()[0].toObject()["rtt_microseconds"].toDouble(), 0);
  r = run({"trace", "-q", "1", "--metrics", path("t.prom"), "::1"});
  ASSERT_EQ(r.code, kExitOk) << r.err.toStdString();
  EXPECT_EQ(masked(textLines(r), 2400),
            (QStringList{"Tracing route to ::1", "", "1\t# ms\t::1", "", "Trace route complete"}));
  const QByteArray t = readFile("t.prom");
  EXPECT_TRUE(t.contains("\nquorvel_trace_ip_protocol{host=\"::1\"} 6\n")) << t.constData();
  EXPECT_TRUE(t.contains("quorvel_trace_hop_rtt_seconds{host=\"::1\",hop=\"1\",address=\"::1\"} "));
  EXPECT_EQ(promtoolComplaint(path("t.prom")), "");
}

class IcmpCommandLabTest : public testing::CommandLineTest {
 protected:
  void SetUp() override {
    CommandLineTest::SetUp();
    const QString why = testing::netnsUnavailableReason();
    if (!why.isEmpty()) GTEST_SKIP() << why.toStdString();
  }
  // The real program inside a namespace, with the test's folder; started, not waited for.
  void start(QProcess& p, const QString& ns, const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUORVEL_HOME"), dir_.path());
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("ip"),
            QStringList{"netns", "exec", ns, QStringLiteral(QUORVEL_EXE)} + args);
    ASSERT_TRUE(p.waitForStarted(10000));
  }
};

TEST_F(IcmpCommandLabTest, ThreeHopsSilentRouterSilentDestination) {
  NetnsLab lab;
  QString why;
  if (!lab.buildChain(&why)) GTEST_SKIP() << why.toStdString();
  const QString s = lab.name("S"), b = lab.name("B"), d = lab.name("D");
  ASSERT_TRUE(runIn(s, {"sysctl", "-qw", "net.ipv4.ping_group_range=0 2147483647"}));
  ScopedNetns in(s);
  ASSERT_TRUE(in.ok());

  // Every router answers: the command's hops are the window's.
  const QStringList window = traceInWindow("198.51.100.2", "2", "500", false);
  Ended r = run({"trace", "-q", "2", "-w", "500", "198.51.100.2"});
  ASSERT_EQ(r.code, kExitOk) << r.err.toStdString();
  EXPECT_EQ(masked(linesOf(QString::fromUtf8(r.out)), 500), masked(window, 500));
  r = run({"trace", "--json", "-q", "1", "198.51.100.2"});
  EXPECT_EQ(hopAddresses(json(r)), (QStringList{"192.0.2.2", "192.0.2.66", "198.51.100.2"}));
  const QJsonArray probes = json(r)["hops"].toArray()[0].toObject()["probes"].toArray();
  EXPECT_EQ(probes[0].toObject()["status_text"].toString(), "ttl expired transit");

  // B keeps quiet and D does not answer: the trace times out after hop 3, the ping gets
  // nothing back; both say so in their exit codes and their metrics.
  ASSERT_TRUE(runIp({"-n", b, "rule", "add", "iif", "lo", "blackhole", "pref", "10"}));
  ASSERT_TRUE(runIn(d, {"sysctl", "-qw", "net.ipv4.icmp_echo_ignore_all=1"}));
  r = run({"trace", "-q", "1", "-w", "500", "--metrics", path("t.prom"), "198.51.100.2"});
  EXPECT_EQ(r.code, kExitMeasureFailed);
  const QStringList l = linesOf(QString::fromUtf8(r.out));
  ASSERT_EQ(l.size(), 7) << r.out.toStdString();
  EXPECT_EQ(l.mid(3), (QStringList{"2\t500 ms\t", "3\t500 ms\t", "", "Trace timed out"}));
  const QByteArray t = readFile("t.prom");
  EXPECT_TRUE(t.contains("\nquorvel_trace_success{host=\"198.51.100.2\"} 0\n")) << t.constData();
  EXPECT_TRUE(t.contains("\nquorvel_trace_hops{host=\"198.51.100.2\"} 3\n"));
  EXPECT_TRUE(t.contains("\nquorvel_trace_hop_replies{host=\"198.51.100.2\",hop=\"2\"} 0\n"));
  EXPECT_TRUE(t.contains(
      "\nquorvel_trace_hop_rtt_seconds{host=\"198.51.100.2\",hop=\"1\",address=\"192.0.2.2\"} "));
  EXPECT_FALSE(t.contains("hop=\"2\",address"));
  EXPECT_EQ(promtoolComplaint(path("t.prom")), "");

  r = run({"ping", "-c", "2", "--metrics", path("p.prom"), "198.51.100.2"});
  EXPECT_EQ(r.code, kExitMeasureFailed);
  EXPECT_TRUE(r.out.startsWith("1\tError: req timed out\n2\tError: req timed out\n\n"))
      << r.out.toStdString();
  EXPECT_TRUE(r.out.contains("Packets Lost: 2 (100%)"));
  const QByteArray p = readFile("p.prom");
  EXPECT_TRUE(p.contains("\nquorvel_ping_success{host=\"198.51.100.2\"} 0\n")) << p.constData();
  EXPECT_FALSE(p.contains("quorvel_ping_rtt_seconds"));
  EXPECT_EQ(promtoolComplaint(path("p.prom")), "");

  // Ctrl-C on the real program ends the wait at once, as Cancel does.
  QProcess program;
  start(program, s, {"ping", "-w", "60000", "198.51.100.2"});
  QThread::msleep(700);
  ::kill(static_cast<pid_t>(program.processId()), SIGINT);
  ASSERT_TRUE(program.waitForFinished(5000));
  EXPECT_EQ(program.exitCode(), kExitCancelled);
  const QByteArray out = program.readAllStandardOutput();
  EXPECT_TRUE(out.startsWith("\nPing cancelled by user\n\nAverage:      n.a.\n"))
      << out.constData();
}

TEST_F(IcmpCommandLabTest, NamesTakeIpv4FirstElseIpv6) {
  NetnsLab lab;
  QString why;
  if (!lab.buildChain(&why) || !lab.addIpv6(&why)) GTEST_SKIP() << why.toStdString();
  ASSERT_TRUE(lab.setHostsFile("S",
                               "198.51.100.2 dual.test\n2001:db8:3::2 dual.test\n"
                               "2001:db8:3::2 v6only.test\n"));
  const struct {
    QStringList args;
    const char* key;
    const char* address;
    const char* family;
  } cases[] = {
      {{"trace", "-q", "1", "dual.test"}, "destination", "198.51.100.2", "ipv4"},
      {{"trace", "-q", "1", "v6only.test"}, "destination", "2001:db8:3::2", "ipv6"},
      {{"trace", "-q", "1", "-6", "dual.test"}, "destination", "2001:db8:3::2", "ipv6"},
      {{"ping", "-c", "1", "-6", "dual.test"}, "address", "2001:db8:3::2", "ipv6"},
      {{"ping", "-c", "1", "v6only.test"}, "address", "2001:db8:3::2", "ipv6"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    QProcess program;
    start(program, lab.name("S"), c.args + QStringList{"--json"});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), kExitOk) << program.readAllStandardError().constData();
    const QJsonObject doc = QJsonDocument::fromJson(program.readAllStandardOutput()).object();
    EXPECT_EQ(doc[c.key].toString(), c.address);
    EXPECT_EQ(doc["family"].toString(), c.family);
    if (doc["command"] == "trace") {
      EXPECT_EQ(doc["hops"].toArray().size(), 3);
    }
  }
}

TEST_F(IcmpCommandLabTest, NoAddressOrNoSocketCannotStart) {
  NetnsLab lab;
  if (!lab.addNamespace("E")) GTEST_SKIP() << "cannot add a network namespace";

  // No look-up can leave an empty namespace. The host's words switch no mode of the program.
  QProcess program;
  start(program, lab.name("E"), {"trace", "--metrics", path("t.prom"), "autodesk.debug1.invalid"});
  ASSERT_TRUE(program.waitForFinished(30000));
  EXPECT_EQ(program.exitCode(), kExitCannotStart);
  EXPECT_EQ(program.readAllStandardError(),
            "quorvel: Cannot resolve the host name autodesk.debug1.invalid.\n");
  EXPECT_TRUE(program.readAllStandardOutput().isEmpty());
  EXPECT_TRUE(
      readFile("t.prom").contains("quorvel_trace_success{host=\"autodesk.debug1.invalid\"} 0"));
  EXPECT_FALSE(QFile::exists(path("Debug.log")));
  EXPECT_FALSE(QFile::exists(path("QVURL.log")));

  // Neither a datagram socket (the namespace's ping_group_range allows none) nor a raw one.
  Ended ping, trace;
  bool ready = false;
  std::thread t([&] {
    ScopedNetns in(lab.name("E"));
    ready = in.ok() && testing::dropNetRaw();
    if (!ready) return;
    ping = run({"ping", "--json", "127.0.0.1"});
    trace = run({"trace", "127.0.0.1"});
  });
  t.join();
  if (!ready) GTEST_SKIP() << "cannot enter the namespace or drop CAP_NET_RAW";
  for (const Ended* r : {&ping, &trace}) {
    EXPECT_EQ(r->code, kExitCannotStart);
    EXPECT_TRUE(r->err.startsWith("quorvel: ICMP echo requests cannot be sent"))
        << r->err.toStdString();
    EXPECT_TRUE(r->err.contains("setcap cap_net_raw+ep"));
    EXPECT_TRUE(r->err.contains("net.ipv4.ping_group_range"));
    EXPECT_EQ(r->err.count('\n'), 1);
  }
  EXPECT_EQ(json(ping)["outcome"].toString(), "cannot_open");
  EXPECT_TRUE(json(ping)["requests"].toArray().isEmpty());
  EXPECT_EQ(trace.out, "Tracing route to 127.0.0.1\n\n");
}

}  // namespace
}  // namespace quorvel
