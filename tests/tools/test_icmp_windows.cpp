// The trace-route and ping windows over a scripted echo endpoint, driven with keys and clicks:
// the settings they keep, their reports, Cancel, Enter and the close box while they run, and
// an echo layer that cannot open. (Their controls are in the table of every window.)
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QTest>
#include <QTimer>

#include "common/test_support.h"
#include "core/app_state.h"
#include "core/settings.h"
#include "tools/diag_input.h"
#include "tools/fake_echo.h"
#include "tools/frm_ping.h"
#include "tools/frm_tracert.h"
#include "tools/hop_report_table.h"
#include "tools/tab_stops.h"
#include "tools/trace_report.h"
#include "tools/trace_rt.h"

namespace quorvel {
namespace {

using testing::answer;
using testing::click;
using testing::EchoCall;
using testing::ip;
using testing::resultLines;
using testing::shown;
using testing::statsShown;
using testing::tabTo;
using testing::type;
using testing::widget;

QString setting(const char* section, const QString& key) {
  return ReadSetting(appState().settingsPath, section, key).value;
}

class EchoWindows : public testing::AppFolderTest {
 protected:
  std::unique_ptr<EchoToolWindow> open(bool ping, const QString& source = "127.0.0.1") {
    std::unique_ptr<EchoToolWindow> w = testing::echoWindow(ping, source);
    calls_.clear();
    families_.clear();
    w->setEchoOpener(testing::fakeOpener([this](const EchoCall& c, int i) { return script_(c, i); },
                                         &calls_, &families_));
    w->show();
    window_ = w.get();
    return w;
  }
  testing::EchoScript script_;
  std::vector<EchoCall> calls_;
  std::vector<IpFamily> families_;
  QWidget* window_ = nullptr;
};

TEST_F(EchoWindows, SettingsReadAtLoadAndWrittenAtCloseAsTyped) {
  const struct {
    bool ping;
    const char* section;
    QStringList defaults, edited, written;  // key=value, in the order of `keys`
    int calls;
  } cases[] = {
      {true, "Ping", {"500", "10", "0", ""}, {"abc", "-3", "1", ""}, {"100", "-3", "0", ""}, 10},
      {false,
       "TraceRoute",
       {"2400", "3", "0", "0"},
       {"abc", "7", "1", "2x"},
       {"100", "7", "0", "1"},
       3},
  };
  const QStringList keys{"WaitTimeout", "NumRequests", "UseIPv6", "ResolveIPAddresses"};
  const QStringList boxes{"txtTimeOut", "txtNumRequests", "chkUseIPv6", "chkResolve"};
  script_ = [](const EchoCall&, int) { return answer("::1", 3); };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.section);
    open(c.ping)->close();  // nothing ran: the keys are written all the same
    for (int k = 0; k < 4; ++k) EXPECT_EQ(setting(c.section, keys[k]), c.defaults[k]) << k;
    for (int k = 0; k < 4; ++k)
      if (!c.edited[k].isEmpty())
        WriteSetting(appState().settingsPath, c.section, keys[k], c.edited[k]);
    auto w = open(c.ping, "::1");
    EXPECT_EQ(shown(w.get(), "txtTimeOut"), "abc");
    EXPECT_EQ(shown(w.get(), "txtNumRequests"), c.edited[1]);
    for (int k : {2, 3})
      EXPECT_TRUE(c.edited[k].isEmpty() || widget<QCheckBox>(w.get(), boxes[k])->isChecked());
    // The run reads the boxes (a time-out below 500 is 500; a bad count the default); the
    // boxes keep what was typed.
    type(w.get(), "txtTimeOut", "100");
    QTest::keyClick(tabTo(w.get(), "chkUseIPv6"), Qt::Key_Space);
    click(w.get(), "cmdRun");
    ASSERT_EQ(calls_.size(), std::size_t(c.calls));
    EXPECT_EQ(calls_[0].timeoutMs, 500);
    EXPECT_EQ(calls_[0].payloadSize, 32);
    EXPECT_TRUE(c.ping ? calls_[0].ttl <= 0 : calls_[0].ttl == 1);  // ping: the system's TTL
    click(w.get(), "cmdClose");
    EXPECT_FALSE(w->isVisible());
    for (int k = 0; k < 4; ++k) EXPECT_EQ(setting(c.section, keys[k]), c.written[k]) << k;
  }
}

TEST_F(EchoWindows, ReportsOfRoutesAndSeries) {
  const QString localName = GetHostNameFromAddress(ip("127.0.0.1"));
  ASSERT_FALSE(localName.isEmpty());  // from the hosts file
  struct Run {
    bool ping;
    const char* source;
    QString requests, timeout;
    bool resolve, useIpv6;
    int calls;
    const char* spread = "";  // the ping's line below its five figures
  };
  const struct {
    Run run;
    testing::EchoScript script;
    QStringList lines;  // then the ping's five figures
  } cases[] = {
      // A silent hop; at hop 3 one lost, one from the destination, one from another node.
      {{false, "127.0.0.1", "3", "2400", false, false, 9},
       [](const EchoCall& c, int i) {
         if (c.ttl == 1) return answer("192.0.2.2", i == 1 ? 3 : 10, 11013);
         if (c.ttl == 2 || i == 7) return EchoResult{};
         return i == 8 ? answer("127.0.0.1", 1201) : answer("192.0.2.99", 15);
       },
       {"Tracing route to 127.0.0.1", "", "1\t<10 ms\t10 ms\t10 ms\t192.0.2.2", "2\t*\t*\t*\t",
        "3\t*\t*\t15 ms\t127.0.0.1", "", "Trace route complete"}},
      // Two silent hops in a row end it; a lost request shows a time-out of 1200 or less.
      {{false, "127.0.0.1", "1", "500", true, false, 4},
       [](const EchoCall& c, int) {
         return c.ttl == 2 ? answer("192.0.2.2", 20, 11013) : EchoResult{};
       },
       {"Tracing route to 127.0.0.1", "", "1\t500 ms\t\t", "2\t20 ms\t192.0.2.2\t", "3\t500 ms\t\t",
        "4\t500 ms\t\t", "", "Trace timed out"}},
      // "Resolve" is read at every hop: checked during hop 2, cleared during hop 3.
      {{false, "127.0.0.2", "1", "2400", false, false, 3},
       [this](const EchoCall& c, int) {
         widget<QCheckBox>(window_, "chkResolve")->setChecked(c.ttl == 2);
         return c.ttl == 3 ? answer("127.0.0.2", 40) : answer("127.0.0.1", 40, 11013);
       },
       {"Tracing route to 127.0.0.2", "", "1\t40 ms\t127.0.0.1",
        "2\t40 ms\t127.0.0.1\t" + localName, "3\t40 ms\t127.0.0.2", "", "Trace route complete"}},
      // Complete at the destination however its IPv6 address is written.
      {{false, "2001:0db8:0:0::1", "1", "2400", false, false, 2},
       [](const EchoCall& c, int) {
         return c.ttl == 1 ? answer("2001:db8:1::2", 3, 11013) : answer("2001:db8::1", 12);
       },
       {"Tracing route to 2001:db8::1", "", "1\t<10 ms\t2001:db8:1::2", "2\t12 ms\t2001:db8::1", "",
        "Trace route complete"}},
      // "Use IPv6": a dotted address has none.
      {{false, "127.0.0.1", "3", "2400", false, true, 0},
       {},
       {"Unable to resolve host name 127.0.0.1"}},
      // Four of five answered, one lost, one of another status (lost too); the average over all.
      {{true, "127.0.0.1", "5", "2000", false, false, 5,
        "rtt min/avg/max/mdev/median/p95 = 0.000/8.000/12.000/5.657/12.000/12.000 ms"},
       [](const EchoCall&, int i) {
         if (i == 3) return EchoResult{};
         return i == 4 ? answer("192.0.2.66", 0, 11013) : answer("127.0.0.1", i == 1 ? 0 : 12);
       },
       {"1\t127.0.0.1\tRTT = 0 ms\tTTL = 64", "2\t127.0.0.1\tRTT = 12 ms\tTTL = 64",
        "3\tError: req timed out", "4\tError: ttl expired transit",
        "5\t127.0.0.1\tRTT = 12 ms\tTTL = 64", "", "4.8 ms", "12 ms", "12 ms", "5", "2 (40%)"}},
      {{true, "[::1]", "2", "500", false, false, 2,
        "rtt min/avg/max/mdev/median/p95 = 3.000/3.000/3.000/0.000/3.000/3.000 ms"},
       [](const EchoCall&, int) { return answer("::1", 3); },
       {"1\t::1\tRTT = 3 ms\tTTL = 64", "2\t::1\tRTT = 3 ms\tTTL = 64", "", "3.0 ms", "3 ms",
        "3 ms", "2", "0 (0%)"}},
      // "Use IPv6" and a dotted address: nothing is sent.
      {{true, "127.0.0.1", "2", "500", false, true, 0},
       {},
       {"1\tError: inet_addr: bad IP format", "2\tError: inet_addr: bad IP format", "", "0.0 ms",
        "0 ms", "0 ms", "2", "2 (100%)"}},
  };
  for (const auto& [run, script, lines] : cases) {
    SCOPED_TRACE(lines[0].toStdString());
    const Run& c = run;
    script_ = script ? script : [](const EchoCall&, int) { return EchoResult{}; };
    auto w = open(c.ping, c.source);
    if (c.resolve) QTest::keyClick(tabTo(w.get(), "chkResolve"), Qt::Key_Space);
    type(w.get(), "txtNumRequests", c.requests);
    type(w.get(), "txtTimeOut", c.timeout);
    if (c.useIpv6) QTest::keyClick(tabTo(w.get(), "chkUseIPv6"), Qt::Key_Space);
    click(w.get(), "cmdRun");
    EXPECT_EQ(resultLines(w.get()) + statsShown(w.get()), lines);
    if (c.ping) {
      EXPECT_EQ(shown(w.get(), "lblSpread"), c.spread);
    }
    ASSERT_EQ(calls_.size(), std::size_t(c.calls));
    if (c.calls == 0) {
      EXPECT_TRUE(families_.empty());
      continue;
    }
    const IpAddress to = calls_[0].destination;
    EXPECT_EQ(to.text(),
              c.ping ? QString(c.source).remove('[').remove(']') : lines[0].section(' ', -1));
    EXPECT_EQ(families_, std::vector<IpFamily>{to.family()});
    for (const EchoCall& call : calls_) EXPECT_EQ(call.destination, to);
    EXPECT_EQ(shown(w.get(), "cmdRun"), "&Run");
    EXPECT_TRUE(widget(w.get(), "cmdClose")->isEnabled());

    // The report's tab stops (dialog units in proportion), the address column wide enough for
    // a full IPv6 address when it holds one.
    const int n = c.requests.toInt();
    auto* box = widget<QPlainTextEdit>(w.get(), "txtResults");
    const std::vector<double> px = tabStopPixels(box);
    ASSERT_EQ(px.size(), c.ping ? 3u : std::size_t(n + 2));
    const std::vector<int> units = traceTabStops(n);
    for (std::size_t k = 1; !c.ping && !to.isV6() && k < px.size(); ++k)
      EXPECT_NEAR(px[k] / px[0], double(units[k]) / units[0], 1e-9) << k;
    const std::size_t column = c.ping ? 0 : n;
    const double wide = QFontMetricsF(box->font()).horizontalAdvance(kWidestIpv6Text);
    EXPECT_EQ(px[column + 1] - px[column] > wide, to.isV6());
  }
}

// While a run waits: Cancel, Enter in the address box, Escape and the close box. The request
// under way is finished (a trace finishes its hop) and the report ends as cancelled; a window
// asked to close closes then and writes its settings.
TEST_F(EchoWindows, CancelEnterEscapeAndTheCloseBoxWhileRunning) {
  enum Action { Cancel, Enter, Escape, CloseBox };
  const struct {
    bool ping;
    Action action;
    int atCall, calls, lines;  // requests sent, lines in the report
  } cases[] = {
      {false, Cancel, 3, 4, 6},   {false, Enter, 1, 2, 5},   {false, Escape, 3, 4, 6},
      {false, CloseBox, 5, 6, 7}, {true, Cancel, 4, 4, 5},   {true, Enter, 2, 2, 3},
      {true, Escape, 1, 1, 2},    {true, CloseBox, 2, 2, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << (c.ping ? "ping " : "trace ") << c.action);
    script_ = [&](const EchoCall&, int i) {
      if (i == c.atCall) {
        EXPECT_EQ(shown(window_, "cmdRun"), "&Cancel");
        EXPECT_FALSE(widget(window_, "cmdClose")->isEnabled());
        QTimer::singleShot(0, window_, [&] {
          if (c.action == Cancel) click(window_, "cmdRun");
          if (c.action == Enter) QTest::keyClick(tabTo(window_, "cboAddress"), Qt::Key_Return);
          if (c.action == Escape) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
          if (c.action == CloseBox) window_->close();
        });
      }
      return c.ping ? answer("127.0.0.1", 20) : answer("192.0.2.2", 30, 11013);
    };
    QFile::remove(appState().settingsPath);
    auto w = open(c.ping);
    type(w.get(), "txtNumRequests", c.ping ? "8" : "2");
    QTest::keyClick(tabTo(w.get(), "cboAddress"), Qt::Key_Enter);  // Enter runs it too
    EXPECT_EQ(calls_.size(), std::size_t(c.calls));
    const QStringList l = resultLines(w.get());
    EXPECT_EQ(l.size(), c.lines) << l.join('|').toStdString();
    EXPECT_EQ(l.back(), c.ping ? "Ping cancelled by user" : "Trace cancelled by user");
    EXPECT_FALSE(w->isRunning());
    EXPECT_EQ(shown(w.get(), "cmdRun"), "&Run");
    const bool closes = c.action == Escape || c.action == CloseBox;
    EXPECT_EQ(w->isVisible(), !closes);
    EXPECT_EQ(setting(c.ping ? "Ping" : "TraceRoute", "NumRequests"),
              closes ? (c.ping ? "8" : "2") : "");
  }
}

// A Cancel (or Ctrl-C) that ends a request while it waits: the hop shows the requests that ran
// to their end, and none for the one cut short, whose "*" would say it took over 1200 ms.
TEST_F(EchoWindows, ARequestCutShortShowsNoTime) {
  const struct {
    int cutAt;  // the request cancelled while it waits
    QStringList hopLines;
  } cases[] = {
      {2, {"1\t30 ms\t192.0.2.2"}},
      {4, {"1\t30 ms\t30 ms\t30 ms\t192.0.2.2"}},  // the first of hop 2: no line for it
      {5, {"1\t30 ms\t30 ms\t30 ms\t192.0.2.2", "2\t30 ms\t192.0.2.2"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cutAt);
    script_ = [&](const EchoCall&, int i) {
      if (i < c.cutAt) return answer("192.0.2.2", 30, 11013);
      appState().CancelRequested = true;  // as the wait pump sees it
      EchoResult cut;
      cut.cancelled = true;
      return cut;
    };
    auto w = open(false);
    click(w.get(), "cmdRun");
    EXPECT_EQ(resultLines(w.get()), QStringList({"Tracing route to 127.0.0.1", ""}) + c.hopLines +
                                        QStringList({"", "Trace cancelled by user"}));
  }
}

// The address as a person types it, key by key, then Enter: exactly what was typed is pinged
// or traced, never a longer entry of the list that starts the same way; a URL of the main window
// is offered as its host alone; an address with a port is refused once, with nothing sent.
TEST_F(EchoWindows, WhatIsTypedRunsAndHostsComeWithoutTheirPort) {
  script_ = [](const EchoCall& c, int) { return answer(c.destination.text().toLatin1(), 1); };
  for (const bool ping : {true, false}) {
    SCOPED_TRACE(ping ? "ping" : "trace");
    auto w = testing::echoWindow(ping, "http://127.0.0.1:51529/index.htm");
    w->setEchoOpener(testing::fakeOpener(script_, &calls_, &families_));
    w->show();
    EXPECT_EQ(shown(w.get(), "cboAddress"), "127.0.0.1");
    widget<QComboBox>(w.get(), "cboAddress")->addItems({"127.0.0.10", "127.0.0.1:9"});
    type(w.get(), "txtNumRequests", "1");

    const struct {
      const char* typed;
      const char* sentTo;  // "" when nothing may be sent
      const char* firstLine;
    } cases[] = {
        {"127.0.0.1", "127.0.0.1",
         ping ? "1\t127.0.0.1\tRTT = 1 ms\tTTL = 64" : "Tracing route to 127.0.0.1"},
        {"127.0.0.1:9", "", "127.0.0.1:9 is not a valid address (a host without a port)"},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.typed);
      calls_.clear();
      QWidget* box = tabTo(w.get(), "cboAddress");
      QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClick(box, Qt::Key_Backspace);
      QTest::keyClicks(QApplication::focusWidget(), c.typed);
      EXPECT_EQ(shown(w.get(), "cboAddress"), c.typed);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
      EXPECT_EQ(calls_.empty() ? QString() : calls_[0].destination.text(), c.sentTo);
      EXPECT_EQ(resultLines(w.get()).value(0), c.firstLine);
      EXPECT_EQ(resultLines(w.get()).count(c.firstLine), 1);
    }
    // Ctrl+C in the results box with nothing selected copies the whole report.
    QApplication::clipboard()->clear();
    QTest::keyClick(tabTo(w.get(), "txtResults"), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              widget<QPlainTextEdit>(w.get(), "txtResults")->toPlainText());
  }
}

// The report mode: the table instead of the results box, filled after every cycle, sorted by a
// click on a header, copied with Ctrl+C; and a Cancel during the pause between cycles heard at
// once.
TEST_F(EchoWindows, ReportModeTableSortCopyAndCancel) {
  std::vector<int> rowsSeen;  // the table's rows when each cycle begins
  script_ = [&](const EchoCall& c, int) {
    if (c.ttl == 1) {
      rowsSeen.push_back(widget<QTableWidget>(window_, "lvwReport")->rowCount());
      return answer("192.0.2.2", 30, 11013);
    }
    return answer("198.51.100.2", 5);
  };
  auto w = open(false, "198.51.100.2");
  QTest::keyClick(tabTo(w.get(), "chkReport"), Qt::Key_Space);
  EXPECT_FALSE(widget(w.get(), "txtResults")->isVisible());
  auto* table = widget<HopReportTable>(w.get(), "lvwReport");
  EXPECT_TRUE(table->isVisible());
  type(w.get(), "txtCycles", "2");
  click(w.get(), "cmdRun");
  EXPECT_EQ(rowsSeen, (std::vector<int>{0, 2}));
  ASSERT_EQ(calls_.size(), 4u);
  EXPECT_EQ(calls_[2].ttl, 1);
  ASSERT_EQ(table->rowCount(), 2);
  const auto row = [&](int r) {
    QStringList cells;
    for (int k = 0; k < table->columnCount(); ++k) cells << table->item(r, k)->text();
    return cells.join('|');
  };
  EXPECT_EQ(row(0), "1|192.0.2.2|0.0%|2|30.000|30.000|30.000|30.000|0.000");
  EXPECT_EQ(row(1), "2|198.51.100.2|0.0%|2|5.000|5.000|5.000|5.000|0.000");

  // Avg, by a click on its header: ascending, as numbers.
  QTest::mouseClick(table->horizontalHeader()->viewport(), Qt::LeftButton, {},
                    QPoint(table->horizontalHeader()->sectionViewportPosition(5) + 5, 5));
  EXPECT_TRUE(row(0).startsWith("2|"));
  table->setFocus();
  table->selectRow(1);
  QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(),
            "Hop\tHost\tLoss%\tSnt\tLast\tAvg\tBest\tWrst\tStDev\n"
            "1\t192.0.2.2\t0.0%\t2\t30.000\t30.000\t30.000\t30.000\t0.000\n");

  // Cancel during the pause after the first of ten cycles.
  type(w.get(), "txtCycles", "10");
  QElapsedTimer sinceClick;
  QTimer::singleShot(300, w.get(), [&] {
    sinceClick.start();
    click(w.get(), "cmdRun");
  });
  click(w.get(), "cmdRun");
  EXPECT_LT(sinceClick.elapsed(), 1000);
  const auto* frm = static_cast<frmTraceRt*>(w.get());
  EXPECT_EQ(frm->hopReport().outcome, TraceOutcome::Cancelled);
  EXPECT_EQ(frm->hopReport().cycles, 1);
  EXPECT_EQ(shown(w.get(), "cmdRun"), "&Run");
  EXPECT_TRUE(widget(w.get(), "chkReport")->isEnabled());
}

TEST_F(EchoWindows, AnEchoLayerThatCannotOpenIsReported) {
  for (bool ping : {true, false}) {
    messages_.clear();
    auto w = open(ping);
    w->setEchoOpener([](IpFamily) {
      IcmpOpenResult r;
      r.error = "no socket ... CAP_NET_RAW ... ping_group_range";
      return r;
    });
    click(w.get(), "cmdRun");
    EXPECT_EQ(resultLines(w.get()), ping ? QStringList{"Unable to send ping requests"}
                                         : QStringList({"Tracing route to 127.0.0.1", "", ""}));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].title, "Oops");
    EXPECT_EQ(
        messages_[0].text.section('\n', 0, 0),
        ping ? "no socket ... CAP_NET_RAW ... ping_group_range" : "Error initiating the trace");
    EXPECT_TRUE(messages_[0].text.contains("CAP_NET_RAW"));
    EXPECT_EQ(shown(w.get(), "cmdRun"), "&Run");
    EXPECT_EQ(statsShown(w.get()).value(3, "0"), "0");
  }
}

}  // namespace
}  // namespace quorvel
