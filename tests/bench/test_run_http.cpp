// Benchmark runs with the real Internet layer against HTTP servers on 127.0.0.1.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "app/app_state.h"
#include "app/frm_quorvel.h"
#include "bench/benchmark.h"
#include "bench/curl_internet.h"
#include "common/test_support.h"
#include "loopback_servers.h"
#include "run_test_fixture.h"

namespace quorvel {
namespace {

using testing::FakeRunView;
using testing::HttpTestServer;
using testing::kRunDate;
using testing::RawTestServer;

const QString k36 = QString(36, QLatin1Char(' '));

// An HTTP server that records the target of every request, in order of arrival.
class RecordingServer {
 public:
  explicit RecordingServer(const testing::TestAuthority* tls = nullptr) : server_(tls) {
    server_.server().set_pre_routing_handler(
        [this](const httplib::Request& req, httplib::Response&) {
          std::lock_guard<std::mutex> lock(mutex_);
          targets_ << QString::fromStdString(req.target);
          return httplib::Server::HandlerResponse::Unhandled;
        });
  }
  httplib::Server& routes() { return server_.server(); }
  void page(const std::string& path, const std::string& body, int status = 200) {
    server_.server().Get(path, [body, status](const httplib::Request&, httplib::Response& res) {
      res.status = status;
      res.set_content(body, "text/html");
    });
  }
  void start() { server_.start(); }
  int port() const { return server_.port(); }
  QString url(const std::string& path) const { return QString::fromStdString(server_.url(path)); }
  QStringList targets() {
    std::lock_guard<std::mutex> lock(mutex_);
    return targets_;
  }

 private:
  HttpTestServer server_;
  std::mutex mutex_;
  QStringList targets_;
};

class HttpRun : public testing::RunFixture {
 protected:
  void run(CurlInternetOptions options = {}) {
    CurlInternet net(options);
    RunBenchmark(view_, net, env_);
  }
  FakeRunView view_;
};

TEST_F(HttpRun, WhatAPageWithFramesImagesAndSoundsFetches) {
  RecordingServer s;
  const int dead = testing::UnusedLoopbackPort();
  s.routes().Get("/site/index.htm", [&s, dead](const httplib::Request&, httplib::Response& res) {
    const std::string port = std::to_string(s.port());
    res.set_content(
        "<HTML><!-- <IMG SRC=\"commented.gif\"> -->\r\n"
        "<FRAMESET><FRAME SRC=\"left.htm\"><frame src='/right.htm'>"
        "<frame src=\"missing.htm\"></FRAMESET>\r\n"
        "<IMG SRC=logo.gif><img src=\"logo.gif\"><img src=\"img//dot.gif?v=2\">\r\n"
        "<img src=\"http://127.0.0.1:" +
            port +
            "/abs/pic.gif\"><embed src=\"tune.mid\">"
            "<BGSOUND SRC=\"bg.wav\"><img src=\"javascript:show('x')\">"
            "<img src=\"http://127.0.0.1:" +
            std::to_string(dead) + "/x.gif\"></HTML>",
        "text/html");
  });
  s.page("/site/left.htm", "<p>left</p><img src=\"logo.gif\">");
  s.page("/site/right.htm", "<p>right</p>");
  s.page("/site/missing.htm", "<title>Not Found</title>", 404);
  s.page("/site/gone.htm", "<TITLE>not found</TITLE>", 404);
  for (const char* r :
       {"/abs/pic.gif", "/site/bg.wav", "/site/img/dot.gif", "/site/logo.gif", "/site/tune.mid"})
    s.page(r, std::string(1000, 'r'));
  s.start();

  view_.useFile = true;
  view_.iterations = QStringLiteral("2");
  writeFile("URLS.DAT", (s.url("/site/index.htm") + "\n127.0.0.1:" + QString::number(s.port()) +
                         "/site/gone.htm\n")
                            .toLatin1());
  run();

  const QStringList pass{"/site/index.htm",   "/abs/pic.gif",   "/site/bg.wav",
                         "/site/img/dot.gif", "/site/logo.gif", "/site/tune.mid",
                         "/site/left.htm",    "/site/logo.gif", "/site/right.htm",
                         "/site/missing.htm", "/site/gone.htm"};
  EXPECT_EQ(s.targets(), pass + pass);
  EXPECT_TRUE(view_.messages.empty());
  EXPECT_EQ(view_.statuses.last(), QStringLiteral("Done"));

  // Per pass: one valid URL; index, five resources, left with its logo, right: 9 files; the
  // refused image and the listed not-found page: 2 errors. The not-found frame counts nowhere.
  const QStringList sum = logLines("QVSum.log");
  ASSERT_EQ(sum.size(), 1);
  EXPECT_EQ(sum[0].size(), 93);
  EXPECT_EQ(sum[0].mid(64), QStringLiteral("   2 URLS   18 Files   4 Errs"));
  EXPECT_EQ(view_.totals.back().validUrls, QStringLiteral("2"));
  EXPECT_EQ(view_.totals.back().totalErrors, QStringLiteral("4"));

  const QStringList log = logLines("QuorvelLog.txt");
  const QString host = QStringLiteral("127.0.0.1:%1").arg(s.port());
  EXPECT_EQ(log.count(k36 + "The attempt to connect to the server failed."), 2);
  EXPECT_EQ(log.count(kRunDate + " URL Summary for " + host + ":"), 4);
  EXPECT_EQ(log.count(kRunDate + " Frame Summary for " + host + "/site/left.htm:"), 2);
  EXPECT_EQ(log.count(k36 + "Link not found on server"), 4);  // the frame's and the page's
  const QString gone = kRunDate + "     24 bytes ";
  bool goneLogged = false;
  for (const QString& l : log)
    if (l.startsWith(gone) && l.endsWith(" secs ERROR on " + host + "/site/gone.htm"))
      goneLogged = true;
  EXPECT_TRUE(goneLogged);
  bool resourceLogged = false;
  for (const QString& l : log)
    if (l.startsWith(kRunDate + "   1000 bytes ") &&
        l.endsWith(" secs " + host + "/site/img/dot.gif"))
      resourceLogged = true;
  EXPECT_TRUE(resourceLogged);
}

TEST_F(HttpRun, TheFilesOfAnHttpsPageAreFetchedOverHttps) {
  testing::TestAuthority ca;
  ASSERT_TRUE(ca.ok()) << "the openssl tool could not make the test certificates";
  RecordingServer s(&ca);  // speaks https only: a plain http request fails
  s.routes().Get("/d/index.htm", [&s](const httplib::Request&, httplib::Response& res) {
    res.set_content(
        "<frameset><frame src=\"left.htm\"></frameset><img src=\"a.gif\">"
        "<img src=/b.gif><img src=\"http://127.0.0.1:" +
            std::to_string(s.port()) + "/c.gif\">",
        "text/html");
  });
  s.page("/d/left.htm", "<img src=\"img/l.gif\">");
  for (const char* r : {"/d/a.gif", "/d/b.gif", "/c.gif", "/d/img/l.gif"}) s.page(r, "GIF89a");
  s.start();

  view_.url = s.url("/d/index.htm");
  CurlInternetOptions trustTheTestAuthority;
  trustTheTestAuthority.caFile = QByteArray::fromStdString(ca.caFile());
  run(trustTheTestAuthority);

  EXPECT_EQ(s.targets(), (QStringList{"/d/index.htm", "/c.gif", "/d/a.gif", "/d/b.gif",
                                      "/d/left.htm", "/d/img/l.gif"}));
  EXPECT_EQ(view_.totals.back().totalErrors, QStringLiteral("0"));
  const QString site = QStringLiteral("https://127.0.0.1:%1").arg(s.port());
  QStringList fetched;
  for (const QString& l : logLines("QuorvelLog.txt"))
    if (l.startsWith(kRunDate) && l.contains(" bytes ")) fetched << l.mid(l.indexOf(" secs ") + 6);
  EXPECT_EQ(fetched, (QStringList{site + "/d/index.htm", site + "/c.gif", site + "/d/a.gif",
                                  site + "/d/b.gif", site + "/d/left.htm", site + "/d/img/l.gif"}));
  EXPECT_TRUE(logLines("QuorvelLog.txt")
                  .contains(kRunDate + " Frame Summary for " + site + "/d/left.htm:"));
}

TEST_F(HttpRun, FaultsAreLoggedWithTheirNumberAndTheRunGoesOn) {
  RawTestServer raw([](int sock, const std::string& head) {
    if (head.find("GET /stall ") == 0) {
      RawTestServer::waitForClose(sock, 10);  // never answers
    } else if (head.find("GET /reset ") == 0) {
      RawTestServer::resetConnection(sock);
    } else {
      RawTestServer::sendAll(
          sock, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello");
    }
  });
  view_.useFile = true;
  const QString refused =
      QStringLiteral("http://127.0.0.1:%1/x").arg(testing::UnusedLoopbackPort());
  const QString stall = QString::fromStdString(raw.url("/stall"));
  const QString reset = QString::fromStdString(raw.url("/reset"));
  const QString good = QString::fromStdString(raw.url("/good"));
  writeFile("URLS.DAT", (refused + "\n" + stall + "\n" + reset + "\n" + good + "\n").toLatin1());
  CurlInternetOptions options;
  options.idleTimeout = std::chrono::milliseconds(300);
  run(options);

  const QStringList log = logLines("QuorvelLog.txt");
  ASSERT_GE(log.size(), 4 * 7 + 3);
  EXPECT_EQ(log[0], k36 + "The attempt to connect to the server failed.");         // 12029
  EXPECT_EQ(log[7 + 1], k36 + "The request has timed out.");                       // 12002
  EXPECT_EQ(log[14 + 2], k36 + "The connection with the server has been reset.");  // 12031
  EXPECT_TRUE(log[21 + 3].startsWith(kRunDate + "      5 bytes "));
  EXPECT_TRUE(log[21 + 3].endsWith(" secs " + good));
  EXPECT_EQ(logLines("QVSum.log")[0].mid(64), QStringLiteral("   1 URLS    1 Files   3 Errs"));
}

// A server that never finishes an answer: a byte (or, for "/head", a header line) every
// quarter of a second, never idle long enough for the idle limit. "/good" answers at once.
class TricklingServer {
 public:
  TricklingServer()
      : raw_([this](int s, const std::string& head) {
          if (head.find("GET /good ") == 0) {
            RawTestServer::sendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello");
            RawTestServer::waitForClose(s, 2);
            return;
          }
          const bool inHead = head.find("GET /head ") == 0;
          RawTestServer::sendAll(s, inHead ? "HTTP/1.1 200 OK\r\n"
                                           : "HTTP/1.1 200 OK\r\nContent-Length: 9999\r\n\r\n");
          for (int i = 0; i < 120 && !stop_; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            if (send(s, inHead ? "X-A: b\r\n" : "t", inHead ? 8 : 1, MSG_NOSIGNAL) <= 0) break;
          }
        }) {}
  ~TricklingServer() { stop_ = true; }
  QString url(const char* path) const { return QString::fromStdString(raw_.url(path)); }

 private:
  std::atomic<bool> stop_{false};
  RawTestServer raw_;
};

TEST_F(HttpRun, TricklingServersEndAtTheRequestLimitAndTheRunGoesOn) {
  TricklingServer t;
  view_.useFile = true;
  writeFile("URLS.DAT",
            (t.url("/body") + "\n" + t.url("/head") + "\n" + t.url("/good") + "\n").toLatin1());
  writeFile("Quorvel.ini", "[URLInfo]\nRequestLimit=2\n");
  RunBenchmark(view_);  // the window's run: its limits come from the settings file

  const QStringList log = logLines("QuorvelLog.txt");
  ASSERT_GE(log.size(), 3 * 7 + 1) << log.join('|').toStdString();
  EXPECT_EQ(log[0], k36 + "The request has timed out.");  // 12002
  EXPECT_EQ(log[8], k36 + "The request has timed out.");
  EXPECT_TRUE(log[16].endsWith(" secs " + t.url("/good"))) << log[16].toStdString();
  EXPECT_TRUE(logLines("QVSum.log")[0].endsWith("   1 URLS    1 Files   2 Errs"));
}

TEST_F(HttpRun, CancelDuringATricklingReadEndsTheRequest) {
  TricklingServer t;
  view_.url = t.url("/body");
  view_.onStatus = [](const QString& text) {
    if (text.startsWith(QLatin1String("Retrieving "))) appState().CancelRequested = true;
  };
  const auto t0 = std::chrono::steady_clock::now();
  RunBenchmark(view_);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
  EXPECT_EQ(view_.statuses.last(), QStringLiteral("Cancelled"));
  // The request that Cancel ended is counted nowhere: a cancelled run writes no summary.
  EXPECT_TRUE(logLines("QuorvelLog.txt").isEmpty());
  EXPECT_TRUE(logLines("QVSum.log").isEmpty());
}

TEST_F(HttpRun, UnattendedRunAgainstATricklingServerEndsByItself) {
  TricklingServer t;
  writeFile("URLS.DAT", (t.url("/body") + "\n" + t.url("/good") + "\n").toLatin1());
  writeFile("Quorvel.ini", "[URLInfo]\nURLFile=URLS.DAT\nRequestLimit=2\n");
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QUORVEL_HOME", dir_.path());
  env.insert("QT_QPA_PLATFORM", "offscreen");
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(QUORVEL_EXE), {QStringLiteral("auto")});
  ASSERT_TRUE(p.waitForFinished(60000)) << "quorvel auto did not end";
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  const QStringList log = logLines("QuorvelLog.txt");
  ASSERT_FALSE(log.isEmpty());
  EXPECT_EQ(log[0], k36 + "The request has timed out.");
  EXPECT_TRUE(logLines("QVSum.log").value(0).endsWith("   1 URLS    1 Files   1 Errs"))
      << readFile("QuorvelLog.txt").toStdString();
}

// The run as the main window starts it: the real Internet layer, the real clock, standard output.
TEST_F(HttpRun, UnattendedRunThroughTheWindowsEntryPoint) {
  RecordingServer s;
  s.page("/index.htm", "<html><img src=\"a.gif\"></html>");
  s.page("/a.gif", std::string(300, 'g'));
  s.start();
  appState().autoMode = true;
  view_.useFile = true;
  writeFile("URLS.DAT", ("; sample\n" + s.url("/index.htm") + "\n").toLatin1());
  // Standard output goes to a file while the run prints its summary line.
  QTemporaryFile capture;
  ASSERT_TRUE(capture.open());
  std::fflush(stdout);
  const int saved = ::dup(STDOUT_FILENO);
  ::dup2(capture.handle(), STDOUT_FILENO);
  RunBenchmark(view_);
  std::fflush(stdout);
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  capture.seek(0);
  const QString out = QString::fromUtf8(capture.readAll());

  EXPECT_EQ(s.targets(), (QStringList{"/index.htm", "/a.gif"}));
  EXPECT_EQ(view_.closeCalls, 1);
  const QStringList sum = logLines("QVSum.log");
  ASSERT_EQ(sum.size(), 1);
  EXPECT_EQ(out, sum[0] + "\n");
  EXPECT_EQ(sum[0].mid(40),
            QStringLiteral("     330 Bytes    0 Secs   1 URLS    2 Files   0 Errs"));
  EXPECT_EQ(logLines("QVURL.log").size(), 1);
  EXPECT_TRUE(logLines("QVURL.log")[0].endsWith(
      QStringLiteral(" Files    330 Bytes   0 Secs 127.0.0.1:%1").arg(s.port())));
  EXPECT_TRUE(logLines("QuorvelLog.txt").contains(QString(51, '-')));
}

// The sample site as scripts/run.sh serves and benchmarks it.
TEST_F(HttpRun, SampleSiteRun) {
  QProcess server;
  server.start(QStringLiteral(QUORVEL_SAMPLE_SERVER),
               {QStringLiteral(QUORVEL_SAMPLE_SITE), "--max-seconds", "120"});
  ASSERT_TRUE(server.waitForStarted(10000));
  ASSERT_TRUE(server.waitForReadyRead(10000));
  const QByteArray first = server.readLine().trimmed();
  ASSERT_TRUE(first.startsWith("PORT ")) << first.constData();
  const QString site = QStringLiteral("127.0.0.1:") + QString::fromLatin1(first.mid(5));

  appState().autoMode = true;
  view_.useFile = true;
  writeFile("URLS.DAT", ("; sample\nhttp://" + site + "/index.htm\n" + site + "/news.htm\nhttp://" +
                         site + "/old-page.htm\n")
                            .toLatin1());
  run();
  // index with its two frames (menu: 1 image; main: 2 images, an embed, a sound), news with two
  // images, and a page the server does not have.
  const QStringList sum = logLines("QVSum.log");
  ASSERT_EQ(sum.size(), 1);
  // On loopback the throughput may well be 100,000 Kbps or more, which widens its field.
  EXPECT_TRUE(
      sum[0].endsWith(QStringLiteral("   24141 Bytes    0 Secs   2 URLS   11 Files   1 Errs")))
      << sum[0].toStdString();
  EXPECT_EQ(printed_, sum);
  EXPECT_EQ(logLines("QVURL.log").size(), 5);
  EXPECT_EQ(view_.closeCalls, 1);

  ::kill(static_cast<pid_t>(server.processId()), SIGTERM);
  ASSERT_TRUE(server.waitForFinished(10000));
  EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(server.exitCode(), 0);
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// The main window with the real run, driven as a user drives it.
class WindowRun : public testing::RunFixture {
 protected:
  QPushButton* go(frmQuorvel& w) { return w.findChild<QPushButton*>("cmdGo"); }
  QString box(frmQuorvel& w, const char* name) { return w.findChild<QLineEdit*>(name)->text(); }
  void type(frmQuorvel& w, const QString& url) {
    QLineEdit* edit = w.findChild<QComboBox*>("cboURLToUse")->lineEdit();
    edit->clear();
    QTest::keyClicks(edit, url);
  }
};

TEST_F(WindowRun, CancelAndCloseDuringATricklingReadEndAtOnce) {
  TricklingServer t;
  for (const bool closeBox : {false, true}) {
    SCOPED_TRACE(closeBox ? "close box" : "Cancel");
    frmQuorvel w;
    w.show();
    type(w, t.url("/body"));
    QElapsedTimer sinceClick;
    QTimer::singleShot(1000, &w, [&] {
      sinceClick.start();
      if (closeBox)
        w.close();
      else
        QTest::mouseClick(go(w), Qt::LeftButton);
    });
    QTest::mouseClick(go(w), Qt::LeftButton);  // returns when the run is over
    ASSERT_TRUE(sinceClick.isValid());
    EXPECT_LT(sinceClick.elapsed(), 3000);
    EXPECT_EQ(box(w, "txtStatus"), "Cancelled");
    EXPECT_EQ(w.isVisible(), !closeBox);
  }
}

TEST_F(WindowRun, TotalsBoxesShowTheRunsFinalFigures) {
  RecordingServer s;
  s.page("/p.htm", std::string(2000, 'p'));
  s.start();
  frmQuorvel w;
  w.show();
  w.findChild<QCheckBox*>("chkLoggingOn")->setChecked(true);
  QLineEdit* iterations = w.findChild<QLineEdit*>("txtIterations");
  iterations->selectAll();
  QTest::keyClicks(iterations, "300");
  type(w, s.url("/p.htm"));
  QTest::mouseClick(go(w), Qt::LeftButton);

  EXPECT_EQ(box(w, "txtStatus"), "Done");
  EXPECT_EQ(box(w, "txtValidURLs"), "300");
  EXPECT_EQ(box(w, "txtTotalErrors"), "0");
  EXPECT_EQ(box(w, "txtTotalBytes"), "600,000");
  // The throughput box and the summary line come from the same totals.
  const QString sum = logLines("QVSum.log").value(0);
  const QString kbps = sum.mid(14, sum.indexOf(" Kbps") - 14).trimmed();
  EXPECT_EQ(box(w, "txtThroughput"), formatMask(kbps.toDouble(), "###,##0.0") + " Kbps")
      << sum.toStdString();
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

long peakRssKb() {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ')[0].toLong();
  return 0;
}

// A page at the in-memory limit is held once, also while its comments are stripped.
TEST_F(HttpRun, APageAtTheMemoryLimitIsHeldOnce) {
#ifdef QUORVEL_ASAN
  GTEST_SKIP() << "the sanitizer's quarantine keeps freed memory resident";
#endif
  constexpr qsizetype kLimit = qsizetype(160) << 20;
  RecordingServer s;
  // Beyond the limit (so cut there, 12004), served piece by piece from one small buffer so that
  // the server in this process holds nothing of it.
  constexpr size_t kSize = size_t(kLimit + (16 << 20));
  s.routes().Get("/big.htm", [](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(kSize, "text/html", [](size_t offset, size_t length, httplib::DataSink& sink) {
      static const std::string head = "<html><!-- a comment --><img src=a.gif>";
      static const std::string filler(1 << 20, 'x');
      const std::string& piece = offset == 0 ? head : filler;
      return sink.write(piece.data(), std::min(length, piece.size()));
    });
  });
  s.page("/a.gif", "gif");
  s.start();
  view_.url = s.url("/big.htm");
  CurlInternetOptions options;
  options.maxBodyInMemory = kLimit;
  QFile clear(QStringLiteral("/proc/self/clear_refs"));
  if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
    GTEST_SKIP() << "cannot reset the peak memory figure";
  clear.close();
  const long before = peakRssKb();
  run(options);
  const long grewKb = peakRssKb() - before;
  EXPECT_LT(grewKb, (kLimit >> 10) + 32 * 1024) << "peak grew by " << grewKb << " KiB";
  EXPECT_EQ(s.targets(), (QStringList{"/big.htm", "/a.gif"}));  // and it was still scanned
}

}  // namespace
}  // namespace quorvel
