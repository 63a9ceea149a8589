// The trace-route and ping windows over a scripted echo endpoint: controls, settings, the
// report, the ends of a trace, cancel, and closing while running.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "core/app_state.h"
#include "core/settings.h"
#include "core/twips.h"
#include "common/test_support.h"
#include "tools/diag_input.h"
#include "tools/fake_echo.h"
#include "tools/frm_ping.h"
#include "tools/frm_tracert.h"
#include "tools/tab_stops.h"

namespace quorvel {
namespace {

using testing::answer;
using testing::EchoCall;
using testing::FakeEcho;
using testing::fakeOpener;
using testing::ip;
using testing::silence;

template <typename T>
T* child(QWidget* w, const char* name) {
  T* c = w->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(c, nullptr) << name;
  return c;
}

QStringList lines(QWidget* w) {
  return child<QPlainTextEdit>(w, "txtResults")->toPlainText().split(QLatin1Char('\n'));
}

// The named controls in the order Tab visits them, starting at `first`.
QStringList tabOrder(QWidget* first, const QStringList& names) {
  QStringList order;
  QWidget* w = first;
  for (int guard = 0; guard < 200 && order.size() < names.size(); ++guard) {
    QWidget* named = w;
    while (named && !names.contains(named->objectName())) named = named->parentWidget();
    if (named && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() &&
        (order.isEmpty() || order.back() != named->objectName()))
      order.append(named->objectName());
    w = w->nextInFocusChain();
  }
  return order;
}

// Whether the column that starts at tab stop k of the results box holds a full IPv6 address.
bool holdsFullIpv6(QWidget* w, std::size_t k) {
  auto* box = w->findChild<QPlainTextEdit*>("txtResults");
  const std::vector<double> px = tabStopPixels(box);
  const double wide = QFontMetricsF(box->font()).horizontalAdvance(kWidestIpv6Text);
  return k + 1 < px.size() && px[k + 1] - px[k] > wide;
}

// Checks or clears "Use IPv6" as a user does: Tab to it, then the space bar.
void toggleUseIpv6(QWidget* w) {
  auto* check = w->findChild<QCheckBox*>("chkUseIPv6");
  for (int i = 0; i < 20 && QApplication::focusWidget() != check; ++i)
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), check);
  QTest::keyClick(check, Qt::Key_Space);
}

class TraceWindowTest : public testing::AppFolderTest {
 protected:
  std::unique_ptr<frmTraceRt> open(const QStringList& sources = {"127.0.0.1"}) {
    auto w = std::make_unique<frmTraceRt>(sources);
    w->setEchoOpener(fakeOpener(script_, &calls_));
    w->show();
    return w;
  }
  void setText(QWidget* w, const char* name, const QString& text) {
    child<QLineEdit>(w, name)->setText(text);
  }
  FakeEcho::Script script_ = [](const EchoCall&, int) { return silence(); };
  std::vector<EchoCall> calls_;
};

TEST_F(TraceWindowTest, ControlsLayoutAndDefaults) {
  auto w = open({"http://Host.Example/a", "host.example/b"});
  EXPECT_EQ(w->windowTitle(), "Quorvel - TraceRoute");
  EXPECT_EQ(child<QLabel>(w.get(), "lblAddress")->text(), "Address to trace:");
  EXPECT_EQ(child<QLabel>(w.get(), "lblTimeOut")->text(),
            "Wait timeout (ms) to use for each reply:");
  EXPECT_EQ(child<QLabel>(w.get(), "lblNumRequests")->text(),
            "Number of requests to send at each hop:");
  EXPECT_EQ(child<QCheckBox>(w.get(), "chkResolve")->text(), "Resolve IP Addresses");
  EXPECT_FALSE(child<QCheckBox>(w.get(), "chkResolve")->isChecked());
  EXPECT_EQ(child<QLineEdit>(w.get(), "txtTimeOut")->text(), "2400");
  EXPECT_EQ(child<QLineEdit>(w.get(), "txtNumRequests")->text(), "3");
  EXPECT_EQ(child<QPushButton>(w.get(), "cmdRun")->text(), "&Run");
  EXPECT_EQ(child<QPushButton>(w.get(), "cmdClose")->text(), "C&lose");
  auto* cbo = child<QComboBox>(w.get(), "cboAddress");
  ASSERT_EQ(cbo->count(), 1);
  EXPECT_EQ(cbo->currentText(), "Host.Example");

  // The twips of the layout, all scaled alike when the font needs more room; no caption cut.
  const double k = w->layoutScale();
  EXPECT_GE(k, 1.0);
  const auto px = [&](int twips) { return twipsToPixels(w.get(), int(std::lround(twips * k))); };
  EXPECT_EQ(child<QPushButton>(w.get(), "cmdRun")->geometry(),
            QRect(px(2040), px(5280), px(1095), px(375)));
  EXPECT_EQ(child<QPlainTextEdit>(w.get(), "txtResults")->geometry(),
            QRect(px(240), px(1680), px(6375), px(3375)));
  EXPECT_EQ(w->size(), QSize(px(6885), px(5910)));
  for (const char* name : {"lblAddress", "lblTimeOut", "lblNumRequests"}) {
    const QLabel* l = child<QLabel>(w.get(), name);
    EXPECT_GE(l->width(), l->sizeHint().width()) << name;
  }
  EXPECT_GE(child<QCheckBox>(w.get(), "chkResolve")->width(),
            child<QCheckBox>(w.get(), "chkResolve")->sizeHint().width());

  const QStringList names{"chkResolve", "txtTimeOut", "txtNumRequests", "txtResults",
                          "cmdRun",     "cmdClose",   "cboAddress"};
  EXPECT_EQ(tabOrder(child<QCheckBox>(w.get(), "chkResolve"), names), names);
  EXPECT_EQ(w->focusWidget(), child<QCheckBox>(w.get(), "chkResolve"));
}

TEST_F(TraceWindowTest, SettingsReadAtLoadAndWrittenAtCloseAsTyped) {
  const QString& ini = appState().settingsPath;
  {
    auto w = open();
    w->close();  // no trace ran: the three keys are written all the same
  }
  EXPECT_EQ(ReadSetting(ini, "TraceRoute", "WaitTimeout").value, "2400");
  EXPECT_EQ(ReadSetting(ini, "TraceRoute", "NumRequests").value, "3");
  EXPECT_EQ(ReadSetting(ini, "TraceRoute", "ResolveIPAddresses").value, "0");

  WriteSetting(ini, "TraceRoute", "WaitTimeout", "abc");
  WriteSetting(ini, "TraceRoute", "NumRequests", "7");
  WriteSetting(ini, "TraceRoute", "ResolveIPAddresses", "2x");
  {
    auto w = open();
    EXPECT_EQ(child<QLineEdit>(w.get(), "txtTimeOut")->text(), "abc");
    EXPECT_EQ(child<QLineEdit>(w.get(), "txtNumRequests")->text(), "7");
    EXPECT_TRUE(child<QCheckBox>(w.get(), "chkResolve")->isChecked());
    setText(w.get(), "txtTimeOut", "100");
    child<QCheckBox>(w.get(), "chkResolve")->setChecked(false);
    w->onRunClicked();  // the trace uses 500 and 3; the boxes keep the text as typed
    EXPECT_EQ(calls_.front().timeoutMs, 500);
    child<QPushButton>(w.get(), "cmdClose")->click();
    EXPECT_FALSE(w->isVisible());
  }
  EXPECT_EQ(ReadSetting(ini, "TraceRoute", "WaitTimeout").value, "100");
  EXPECT_EQ(ReadSetting(ini, "TraceRoute", "NumRequests").value, "7");
  EXPECT_EQ(ReadSetting(ini, "TraceRoute", "ResolveIPAddresses").value, "0");
}

TEST_F(TraceWindowTest, RouteWithASilentHopCompletesAtTheDestination) {
  // Hop 1 answers from a router; hop 2 stays silent; at hop 3 the first request is lost, the
  // second answered by the destination and the third by some other node.
  script_ = [](const EchoCall& c, int i) {
    if (c.ttl == 1) return answer("192.0.2.2", i == 1 ? 3 : 10, 11013);
    if (c.ttl == 2) return silence();
    if (i == 7) return silence();
    return i == 8 ? answer("127.0.0.1", 1201) : answer("192.0.2.99", 15);
  };
  auto w = open();
  w->onRunClicked();
  EXPECT_EQ(lines(w.get()),
            (QStringList{"Tracing route to 127.0.0.1", "", "1\t<10 ms\t10 ms\t10 ms\t192.0.2.2",
                         "2\t*\t*\t*\t", "3\t*\t*\t15 ms\t127.0.0.1", "", "Trace route complete"}));
  ASSERT_EQ(calls_.size(), 9u);
  for (const EchoCall& c : calls_) {
    EXPECT_EQ(c.destination, testing::ipv4("127.0.0.1"));
    EXPECT_EQ(c.payloadSize, 32);
    EXPECT_EQ(c.timeoutMs, 2400);
  }
  EXPECT_EQ(calls_[3].ttl, 2);
  EXPECT_EQ(tabStopPixels(child<QPlainTextEdit>(w.get(), "txtResults")).size(), 5u);
  EXPECT_EQ(child<QPushButton>(w.get(), "cmdRun")->text(), "&Run");
  EXPECT_TRUE(child<QPushButton>(w.get(), "cmdClose")->isEnabled());
}

TEST_F(TraceWindowTest, TwoSilentHopsInARowEndTheTrace) {
  // Silent, answered, silent, silent: a single silent hop does not end it, two in a row do.
  script_ = [](const EchoCall& c, int) {
    return c.ttl == 2 ? answer("192.0.2.2", 20, 11013) : silence();
  };
  auto w = open();
  setText(w.get(), "txtNumRequests", "1");
  setText(w.get(), "txtTimeOut", "500");
  child<QCheckBox>(w.get(), "chkResolve")->setChecked(true);
  w->onRunClicked();
  // With a time-out of 1200 or less a lost request shows the time-out itself.
  EXPECT_EQ(lines(w.get()),
            (QStringList{"Tracing route to 127.0.0.1", "", "1\t500 ms\t\t", "2\t20 ms\t192.0.2.2\t",
                         "3\t500 ms\t\t", "4\t500 ms\t\t", "", "Trace timed out"}));
  EXPECT_EQ(tabStopPixels(child<QPlainTextEdit>(w.get(), "txtResults")).size(), 3u);
}

TEST_F(TraceWindowTest, ResolveIsReadAfreshAtEveryHopAndTabStopsFollowN) {
  // Routers answer from 127.0.0.1, whose name comes from the hosts file; the box is checked
  // while hop 2 runs and cleared while hop 3 runs (before its reply is looked up).
  frmTraceRt* window = nullptr;
  script_ = [&window](const EchoCall& c, int) {
    QCheckBox* resolve = window->findChild<QCheckBox*>("chkResolve");
    if (c.ttl == 2) resolve->setChecked(true);
    if (c.ttl == 3) {
      resolve->setChecked(false);
      return answer("127.0.0.2", 40);
    }
    return answer("127.0.0.1", 40, 11013);
  };
  auto w = open({"127.0.0.2"});
  window = w.get();
  setText(w.get(), "txtNumRequests", "1");
  w->onRunClicked();
  const QStringList l = lines(w.get());
  ASSERT_EQ(l.size(), 7);
  EXPECT_EQ(l[2], "1\t40 ms\t127.0.0.1");
  EXPECT_TRUE(l[3].startsWith("2\t40 ms\t127.0.0.1\t")) << l[3].toStdString();
  EXPECT_GT(l[3].size(), QString("2\t40 ms\t127.0.0.1\t").size());  // a name was written
  EXPECT_EQ(l[4], "3\t40 ms\t127.0.0.2");
  EXPECT_EQ(l[6], "Trace route complete");

  // n = 1: stops at 20, 50 and 110 dialog units, in pixels in that proportion.
  const std::vector<double> px = tabStopPixels(child<QPlainTextEdit>(w.get(), "txtResults"));
  ASSERT_EQ(px.size(), 3u);
  EXPECT_GT(px[0], 0.0);
  EXPECT_NEAR(px[1] / px[0], 50.0 / 20.0, 1e-9);
  EXPECT_NEAR(px[2] / px[0], 110.0 / 20.0, 1e-9);
}

TEST_F(TraceWindowTest, CancelFinishesTheCurrentHop) {
  frmTraceRt* window = nullptr;
  script_ = [&window](const EchoCall& c, int) {
    if (c.ttl == 2) {  // the user clicks Cancel while hop 2 waits
      QPushButton* run = window->findChild<QPushButton*>("cmdRun");
      EXPECT_EQ(run->text(), "&Cancel");
      EXPECT_FALSE(window->findChild<QPushButton*>("cmdClose")->isEnabled());
      QTimer::singleShot(0, run, &QPushButton::click);
    }
    return answer("192.0.2.2", 30, 11013);
  };
  auto w = open();
  window = w.get();
  setText(w.get(), "txtNumRequests", "2");
  w->onRunClicked();
  EXPECT_EQ(lines(w.get()),
            (QStringList{"Tracing route to 127.0.0.1", "", "1\t30 ms\t30 ms\t192.0.2.2",
                         "2\t30 ms\t30 ms\t192.0.2.2", "", "Trace cancelled by user"}));
  EXPECT_FALSE(appState().CancelRequested && w->isTracing());
}

TEST_F(TraceWindowTest, EnterInTheAddressBoxRunsAndCancels) {
  frmTraceRt* window = nullptr;
  script_ = [&window](const EchoCall& c, int) {
    if (c.ttl == 1) {
      QLineEdit* edit = window->findChild<QComboBox*>("cboAddress")->lineEdit();
      QTimer::singleShot(0, edit, [edit] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
        QCoreApplication::sendEvent(edit, &press);
      });
    }
    return answer("192.0.2.2", 30, 11013);
  };
  auto w = open();
  window = w.get();
  setText(w.get(), "txtNumRequests", "1");
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
  QCoreApplication::sendEvent(child<QComboBox>(w.get(), "cboAddress")->lineEdit(), &press);
  EXPECT_EQ(lines(w.get()).back(), "Trace cancelled by user");
  EXPECT_EQ(calls_.size(), 1u);
  EXPECT_EQ(child<QComboBox>(w.get(), "cboAddress")->count(), 1);  // nothing added to the list
}

TEST_F(TraceWindowTest, ClosingDuringATraceStopsItAndWritesTheSettings) {
  frmTraceRt* window = nullptr;
  script_ = [&window](const EchoCall& c, int) {
    if (c.ttl == 3) QTimer::singleShot(0, window, &QWidget::close);  // the close box
    return answer("192.0.2.2", 30, 11013);
  };
  auto w = open();
  window = w.get();
  setText(w.get(), "txtNumRequests", "1");
  setText(w.get(), "txtTimeOut", "777");
  w->onRunClicked();
  EXPECT_EQ(lines(w.get()).back(), "Trace cancelled by user");
  EXPECT_EQ(calls_.size(), 3u);
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(ReadSetting(appState().settingsPath, "TraceRoute", "WaitTimeout").value, "777");
}

TEST_F(TraceWindowTest, EchoLayerThatCannotOpenIsReported) {
  auto w = open();
  w->setEchoOpener([](IpFamily) {
    IcmpOpenResult r;
    r.error = "no socket; run with CAP_NET_RAW";
    return r;
  });
  w->onRunClicked();
  EXPECT_EQ(lines(w.get()), (QStringList{"Tracing route to 127.0.0.1", "", ""}));
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].title, "Oops");
  EXPECT_TRUE(messages_[0].text.startsWith("Error initiating the trace"));
  EXPECT_TRUE(messages_[0].text.contains("CAP_NET_RAW"));
  EXPECT_EQ(child<QPushButton>(w.get(), "cmdRun")->text(), "&Run");
}

TEST_F(TraceWindowTest, Ipv6RouteCompletesHoweverTheAddressIsWritten) {
  script_ = [](const EchoCall& c, int) {
    return c.ttl == 1 ? answer("2001:db8:1::2", 3, 11013) : answer("2001:db8::1", 12);
  };
  std::vector<IpFamily> families;
  auto w = open({"2001:0db8:0:0::1"});
  w->setEchoOpener(fakeOpener(script_, &calls_, &families));
  setText(w.get(), "txtNumRequests", "1");
  w->onRunClicked();
  EXPECT_EQ(lines(w.get()),
            (QStringList{"Tracing route to 2001:db8::1", "", "1\t<10 ms\t2001:db8:1::2",
                         "2\t12 ms\t2001:db8::1", "", "Trace route complete"}));
  EXPECT_EQ(families, std::vector<IpFamily>{IpFamily::V6});
  EXPECT_EQ(calls_.front().destination, ip("2001:db8::1"));
  EXPECT_TRUE(holdsFullIpv6(w.get(), 1));  // the address column, before the names

  // "Use IPv6" asks for IPv6 only: a dotted address has none. The choice is kept.
  toggleUseIpv6(w.get());
  child<QComboBox>(w.get(), "cboAddress")->setEditText("127.0.0.1");
  calls_.clear();
  w->onRunClicked();
  EXPECT_EQ(lines(w.get()), QStringList{"Unable to resolve host name 127.0.0.1"});
  EXPECT_TRUE(calls_.empty());
  w->close();
  EXPECT_EQ(ReadSetting(appState().settingsPath, "TraceRoute", "UseIPv6").value, "1");
  EXPECT_TRUE(open()->findChild<QCheckBox*>("chkUseIPv6")->isChecked());
}

class PingWindowTest : public testing::AppFolderTest {
 protected:
  std::unique_ptr<frmPing> open(const QStringList& sources = {"127.0.0.1"}) {
    auto w = std::make_unique<frmPing>(sources);
    w->setEchoOpener(fakeOpener(script_, &calls_));
    w->show();
    return w;
  }
  QStringList stats(QWidget* w) {
    QStringList out;
    for (QLineEdit* e : w->findChildren<QLineEdit*>("txtStats")) out.append(e->text());
    return out;
  }
  FakeEcho::Script script_ = [](const EchoCall&, int) { return answer("127.0.0.1", 3); };
  std::vector<EchoCall> calls_;
};

TEST_F(PingWindowTest, ControlsDefaultsAndSettings) {
  const QString& ini = appState().settingsPath;
  {
    auto w = open({"https://LocalHost/x", "localhost:80/y", "ftp://127.0.0.1/z"});
    EXPECT_EQ(w->windowTitle(), "Quorvel - Ping");
    EXPECT_EQ(child<QLabel>(w.get(), "lblAddress")->text(), "Address to ping:");
    EXPECT_EQ(child<QLabel>(w.get(), "lblNumRequests")->text(), "Number of requests to send:");
    EXPECT_EQ(child<QLabel>(w.get(), "lblTimeOut")->text(),
              "Wait timeout (ms) to use for each reply:");
    QStringList labels;
    for (QLabel* l : w->findChildren<QLabel*>("lblStats")) labels.append(l->text());
    EXPECT_EQ(labels,
              (QStringList{"Average:", "Minimum:", "Maximum:", "Packets Sent:", "Packets Lost:"}));
    EXPECT_EQ(w->findChildren<QLineEdit*>("txtStats").size(), 5);
    for (QLabel* l : w->findChildren<QLabel*>())
      EXPECT_GE(l->width(), l->sizeHint().width()) << l->text().toStdString();
    EXPECT_EQ(child<QLineEdit>(w.get(), "txtTimeOut")->text(), "500");
    EXPECT_EQ(child<QLineEdit>(w.get(), "txtNumRequests")->text(), "10");
    auto* cbo = child<QComboBox>(w.get(), "cboAddress");
    EXPECT_EQ(cbo->count(), 3);
    EXPECT_EQ(cbo->currentText(), "LocalHost");
    EXPECT_EQ(cbo->itemText(1), "localhost:80");
    const QStringList names{"cboAddress", "txtNumRequests", "txtTimeOut",
                            "txtResults", "cmdRun",         "cmdClose"};
    EXPECT_EQ(tabOrder(child<QComboBox>(w.get(), "cboAddress"), names), names);
    w->close();
  }
  EXPECT_EQ(ReadSetting(ini, "Ping", "WaitTimeout").value, "500");
  EXPECT_EQ(ReadSetting(ini, "Ping", "NumRequests").value, "10");
  WriteSetting(ini, "Ping", "WaitTimeout", "abc");
  WriteSetting(ini, "Ping", "NumRequests", "-3");
  {
    auto w = open();
    EXPECT_EQ(child<QLineEdit>(w.get(), "txtTimeOut")->text(), "abc");
    w->onRunClicked();  // runs 10 requests with 500 ms
    EXPECT_EQ(calls_.size(), 10u);
    EXPECT_EQ(calls_.front().timeoutMs, 500);
    EXPECT_EQ(calls_.front().payloadSize, 32);
    EXPECT_LE(calls_.front().ttl, 0);  // the system's default TTL
    child<QPushButton>(w.get(), "cmdClose")->click();
  }
  EXPECT_EQ(ReadSetting(ini, "Ping", "WaitTimeout").value, "abc");
  EXPECT_EQ(ReadSetting(ini, "Ping", "NumRequests").value, "-3");
}

TEST_F(PingWindowTest, LinesAndStatistics) {
  // Four requests, the third lost: 25% loss, average over all four.
  script_ = [](const EchoCall&, int i) {
    if (i == 3) return silence();
    if (i == 4) return answer("192.0.2.66", 0, 11013);  // any other status counts as lost
    return answer("127.0.0.1", i == 1 ? 0 : 12, 0, 64);
  };
  auto w = open();
  child<QLineEdit>(w.get(), "txtNumRequests")->setText("5");
  child<QLineEdit>(w.get(), "txtTimeOut")->setText("2000");
  w->onRunClicked();
  EXPECT_EQ(lines(w.get()), (QStringList{"1\t127.0.0.1\tRTT = 0 ms\tTTL = 64",
                                         "2\t127.0.0.1\tRTT = 12 ms\tTTL = 64",
                                         "3\tError: req timed out", "4\tError: ttl expired transit",
                                         "5\t127.0.0.1\tRTT = 12 ms\tTTL = 64", ""}));
  EXPECT_EQ(stats(w.get()), (QStringList{"4.8 ms", "12 ms", "12 ms", "5", "2 (40%)"}));
  EXPECT_EQ(calls_.front().timeoutMs, 2000);
  EXPECT_EQ(tabStopPixels(child<QPlainTextEdit>(w.get(), "txtResults")).size(), 3u);
}

TEST_F(PingWindowTest, CancelAfterTheThirdRequest) {
  frmPing* window = nullptr;
  script_ = [&window](const EchoCall&, int i) {
    if (i == 4) {
      QPushButton* run = window->findChild<QPushButton*>("cmdRun");
      EXPECT_EQ(run->text(), "&Cancel");
      QTimer::singleShot(0, run, &QPushButton::click);
    }
    return answer("127.0.0.1", 20);
  };
  auto w = open();
  window = w.get();
  w->onRunClicked();
  const QStringList l = lines(w.get());
  ASSERT_EQ(l.size(), 5);
  EXPECT_EQ(l[2], "3\t127.0.0.1\tRTT = 20 ms\tTTL = 64");
  EXPECT_EQ(l[3], "");
  EXPECT_EQ(l[4], "Ping cancelled by user");
  EXPECT_EQ(stats(w.get()), (QStringList{"20.0 ms", "20 ms", "20 ms", "3", "0 (0%)"}));
  EXPECT_EQ(child<QPushButton>(w.get(), "cmdRun")->text(), "&Run");
}

TEST_F(PingWindowTest, ClosingDuringASeriesEndsItFirst) {
  frmPing* window = nullptr;
  script_ = [&window](const EchoCall&, int i) {
    if (i == 2) QTimer::singleShot(0, window, &QWidget::close);
    return answer("127.0.0.1", 1);
  };
  auto w = open();
  window = w.get();
  child<QLineEdit>(w.get(), "txtNumRequests")->setText("8");
  w->onRunClicked();
  EXPECT_EQ(calls_.size(), 2u);
  EXPECT_EQ(lines(w.get()).back(), "Ping cancelled by user");
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(ReadSetting(appState().settingsPath, "Ping", "NumRequests").value, "8");
}

TEST_F(PingWindowTest, Ipv6LinesAndTheUseIpv6Choice) {
  script_ = [](const EchoCall&, int) { return answer("::1", 3); };
  std::vector<IpFamily> families;
  auto w = open({"[::1]"});
  w->setEchoOpener(fakeOpener(script_, &calls_, &families));
  EXPECT_EQ(child<QCheckBox>(w.get(), "chkUseIPv6")->text(), "Use IPv6");
  EXPECT_FALSE(child<QCheckBox>(w.get(), "chkUseIPv6")->isChecked());
  child<QLineEdit>(w.get(), "txtNumRequests")->setText("2");
  w->onRunClicked();
  EXPECT_EQ(lines(w.get()),
            (QStringList{"1\t::1\tRTT = 3 ms\tTTL = 64", "2\t::1\tRTT = 3 ms\tTTL = 64", ""}));
  EXPECT_EQ(families, std::vector<IpFamily>{IpFamily::V6});
  EXPECT_TRUE(holdsFullIpv6(w.get(), 0));

  // With "Use IPv6" a dotted address is not pinged at all, as a name without an address.
  toggleUseIpv6(w.get());
  child<QComboBox>(w.get(), "cboAddress")->setEditText("127.0.0.1");
  w->onRunClicked();
  EXPECT_EQ(lines(w.get()), (QStringList{"1\tError: inet_addr: bad IP format",
                                         "2\tError: inet_addr: bad IP format", ""}));
  EXPECT_EQ(families.size(), 1u);
  EXPECT_FALSE(holdsFullIpv6(w.get(), 0));  // the IPv4 stops again
  w->close();
  EXPECT_EQ(ReadSetting(appState().settingsPath, "Ping", "UseIPv6").value, "1");
  WriteSetting(appState().settingsPath, "Ping", "UseIPv6", "0");
  EXPECT_FALSE(open()->findChild<QCheckBox*>("chkUseIPv6")->isChecked());
}

TEST_F(PingWindowTest, EchoLayerThatCannotOpenIsNotASuccess) {
  auto w = open();
  w->setEchoOpener([](IpFamily) {
    IcmpOpenResult r;
    r.error = "ICMP echo requests cannot be sent ... CAP_NET_RAW ... ping_group_range";
    return r;
  });
  w->onRunClicked();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].title, "Oops");
  EXPECT_TRUE(messages_[0].text.contains("CAP_NET_RAW"));
  EXPECT_EQ(child<QPlainTextEdit>(w.get(), "txtResults")->toPlainText(),
            "Unable to send ping requests");
  EXPECT_EQ(w->stats().sent, 0);
}

}  // namespace
}  // namespace quorvel
