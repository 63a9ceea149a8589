// Benchmark runs with the real Internet layer against servers on 127.0.0.1, in this process,
// through the main window, and as the real program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>
#include <atomic>

#include "app/frm_quorvel.h"
#include "bench/benchmark.h"
#include "bench/curl_internet.h"
#include "common/test_support.h"
#include "core/app_state.h"
#include "core/tick.h"
#include "loopback_servers.h"
#include "run_fakes.h"

namespace quorvel {
namespace {

using namespace std::chrono_literals;
using testing::click;
using testing::kRunDate;
using testing::RawTestServer;
using testing::shown;
using testing::type;
using testing::widget;

const QString k36(36, u' ');

using testing::HttpTestServer;

// A server that never finishes an answer: a byte (or, for "/head", a header line) every quarter
// of a second, never idle long enough for the idle limit. "/good" answers at once.
class TricklingServer {
 public:
  TricklingServer()
      : raw_([this](int s, const std::string& head) {
          if (head.rfind("GET /good ", 0) != 0)
            return RawTestServer::trickle(s, head.rfind("GET /head ", 0) == 0, 250ms, 120, &stop_);
          RawTestServer::sendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello");
          RawTestServer::waitForClose(s, 2);
        }) {}
  ~TricklingServer() { stop_ = true; }
  QString url(const char* path) const { return raw_.url(path); }

 private:
  std::atomic<bool> stop_{false};
  RawTestServer raw_;
};

class HttpRun : public testing::RunFixture {
 protected:
  void run(CurlInternetOptions options = {}) {
    CurlInternet net(options);
    RunBenchmark(view_, net, env_);
  }
};

TEST_F(HttpRun, TheFilesOfAnHttpsPageAreFetchedOverHttps) {
  testing::TestAuthority ca;
  ASSERT_TRUE(ca.ok()) << "the openssl tool could not make the test certificates";
  HttpTestServer s(&ca);  // speaks https only: a plain http request fails
  s.server().Get("/d/index.htm", [&s](const httplib::Request&, httplib::Response& res) {
    res.set_content(
        "<frameset><frame src=\"left.htm\"></frameset><img src=\"a.gif\">"
        "<img src=/b.gif><img src=\"http://127.0.0.1:" +
            std::to_string(s.port()) + "/c.gif\">",
        "text/html");
  });
  s.page("/d/left.htm", "<img src=\"img/l.gif\">");
  for (const char* r : {"/d/a.gif", "/b.gif", "/c.gif", "/d/img/l.gif"}) s.page(r, "GIF89a");
  s.start();
  view_.url = s.url("/d/index.htm");
  CurlInternetOptions trustTheTestAuthority;
  trustTheTestAuthority.caFile = QByteArray::fromStdString(ca.caFile());
  std::vector<RequestRecord> requests;
  env_.onRequest = [&](const RequestRecord& r) { requests.push_back(r); };
  env_.clockMicros = monotonicMicros;  // the request's real time
  run(trustTheTestAuthority);

  // The phases of the first request (a new connection) follow one another: its TCP connect
  // does not hold the TLS handshake, and together they are no longer than the request.
  ASSERT_FALSE(requests.empty());
  const RequestDetails& d = requests.front().details;
  EXPECT_GT(d.tlsMicros, 0);
  EXPECT_GE(d.connectMicros, 0);
  std::int64_t phases = 0;
  for (const std::int64_t p :
       {d.dnsMicros, d.connectMicros, d.tlsMicros, d.sendMicros, d.waitMicros, d.receiveMicros})
    phases += std::max<std::int64_t>(0, p);
  EXPECT_LE(phases, requests.front().micros);

  // The root-relative image from the server's root; the http one upgraded to https.
  const QStringList files{"/d/index.htm", "/b.gif",      "/c.gif",
                          "/d/a.gif",     "/d/left.htm", "/d/img/l.gif"};
  EXPECT_EQ(s.targets(), files);
  EXPECT_EQ(view_.totals.back().totalErrors, "0");
  const QString site = QStringLiteral("https://127.0.0.1:%1").arg(s.port());
  QStringList logged;
  for (const QString& l : logLines("QuorvelLog.txt"))
    if (l.contains(" bytes ")) logged << l.mid(l.indexOf(" secs ") + 6).remove(site);
  EXPECT_EQ(logged, files);
  EXPECT_TRUE(logLines("QuorvelLog.txt")
                  .contains(kRunDate + " Frame Summary for " + site + "/d/left.htm:"));
}

// Every kind of answer is counted where it belongs and logged with its number; the run goes on.
TEST_F(HttpRun, EveryAnswerIsCountedWhereItBelongs) {
  RawTestServer raw(testing::badAnswer);
  view_.useFile = true;
  const QString refused = QStringLiteral("http://127.0.0.1:%1/x").arg(testing::freeLoopbackPort());
  QByteArray list = refused.toLatin1() + "\n";
  for (const char* route : {"/stall", "/reset", "/cut", "/404", "/gone", "/good"})
    list += raw.url(route).toLatin1() + "\n";
  writeFile("URLS.DAT", list);
  CurlInternetOptions options;
  options.idleTimeout = std::chrono::milliseconds(300);
  run(options);

  const QStringList log = logLines("QuorvelLog.txt");
  for (const char* said :
       {"The attempt to connect to the server failed.", "The request has timed out.",
        "The connection with the server has been reset.",
        "The connection with the server has been terminated."})
    EXPECT_EQ(log.filter(k36 + said).size(), 1) << said << "\n" << log.join('\n').toStdString();
  // The 404 answer and the not-found page answered 200 are both not found.
  EXPECT_EQ(log.filter(k36 + "Link not found on server").size(), 2);
  EXPECT_EQ(
      log.filter(QRegularExpression("^" + kRunDate + "      7 bytes .* secs ERROR on .*/404$"))
          .size(),
      1);
  EXPECT_EQ(
      log.filter(QRegularExpression("^" + kRunDate + "      5 bytes .* secs .*/good$")).size(), 1);
  // Only the good page counts, with its bytes alone.
  EXPECT_EQ(logLines("QVSum.log").value(0).mid(40),
            "       5 Bytes    0 Secs   1 URLS    1 Files   6 Errs");
}

// A server's error answers are failed files: 404 and 410 are "not found" (991), any other takes
// its status as its number; a failing frame counts nowhere; nothing an error page links is
// fetched.
TEST_F(HttpRun, ErrorAnswersAreFailedFiles) {
  HttpTestServer s;
  s.page("/index.htm",
         "<frameset><frame src=busy.htm></frameset><img src=ok.gif><img src=missing.gif>"
         "<img src=gone.gif>");
  s.page("/ok.gif", "GIF89a");
  s.page("/missing.gif", "<html>missing</html>", "text/html", 404);
  s.page("/gone.gif", "gone", "text/plain", 410);
  s.page("/busy.htm", "<img src=busy.gif>", "text/html", 503);
  s.page("/forbidden.htm", "<title>403 Forbidden</title><img src=lock.gif>", "text/html", 403);
  s.start();
  view_.useFile = true;
  writeFile("URLS.DAT", (s.url("/index.htm") + "\n" + s.url("/forbidden.htm") + "\n").toLatin1());
  run();

  EXPECT_EQ(s.targets(), QStringList({"/index.htm", "/gone.gif", "/missing.gif", "/ok.gif",
                                      "/busy.htm", "/forbidden.htm"}));
  QStringList errors;
  for (const QString& l : logLines("QuorvelLog.txt"))
    if (l.startsWith(k36) || l.contains(" ERROR on "))
      errors << l.mid(l.lastIndexOf(QLatin1Char('/')) + 1).trimmed();
  EXPECT_EQ(errors, QStringList({"gone.gif", "Link not found on server", "missing.gif",
                                 "Link not found on server", "busy.htm", "Quorvel error 503",
                                 "forbidden.htm", "Quorvel error 403"}));
  // The page and its one good image; the two images and the listed page failed, the frame
  // is counted nowhere.
  EXPECT_EQ(logLines("QVSum.log").value(0).mid(64), "   1 URLS    2 Files   3 Errs");
}

// The unattended run of the real program, its limits from the settings file: a trickling body
// and a trickling head end at the limit of the whole request, and the run goes on and ends.
TEST_F(HttpRun, UnattendedRunAgainstTricklingServersEndsByItself) {
  TricklingServer t;
  writeFile("URLS.DAT",
            (t.url("/body") + "\n" + t.url("/head") + "\n" + t.url("/good") + "\n").toLatin1());
  writeFile("Quorvel.ini", "[URLInfo]\nURLFile=URLS.DAT\nRequestLimit=2\n");
  const testing::Ended e = testing::runQuorvel(dir_.path(), {"auto"});
  ASSERT_TRUE(e.finished) << "quorvel auto did not end";
  const QStringList log = logLines("QuorvelLog.txt");
  EXPECT_EQ(log.filter(k36 + "The request has timed out.").size(), 2);  // 12002
  EXPECT_TRUE(log.value(16).endsWith(" secs " + t.url("/good"))) << log.join('\n').toStdString();
  EXPECT_TRUE(logLines("QVSum.log").value(0).endsWith("   1 URLS    1 Files   2 Errs"));
  EXPECT_EQ(e.out, readFile("QVSum.log").replace("\r\n", "\n"));  // the summary line, printed
}

// A page at the in-memory limit is held once, also while its comments are stripped; a page
// whose length is announced beyond the limit is refused before any of it is read.
TEST_F(HttpRun, APageAtTheMemoryLimitIsHeldOnce) {
#ifdef QUORVEL_ASAN
  GTEST_SKIP() << "the sanitizer's quarantine keeps freed memory resident";
#endif
  constexpr qsizetype kLimit = qsizetype(160) << 20;
  constexpr size_t kBeyond = size_t(kLimit + (16 << 20));
  HttpTestServer s;
  // Beyond the limit (so cut there, 12004), served piece by piece from one small buffer so that
  // the server in this process holds nothing of it; without a length, and with one.
  const auto piece = [](size_t offset) -> const std::string& {
    static const std::string head = "<html><!-- a comment --><img src=a.gif>";
    static const std::string filler(1 << 20, 'x');
    return offset == 0 ? head : filler;
  };
  s.server().Get("/big.htm", [&](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("text/html", [&](size_t offset, httplib::DataSink& sink) {
      if (offset >= kBeyond) {
        sink.done();
        return true;
      }
      return sink.write(piece(offset).data(), piece(offset).size());
    });
  });
  s.server().Get("/announced.htm", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(kBeyond, "text/html",
                             [&](size_t offset, size_t length, httplib::DataSink& sink) {
                               const std::string& p = piece(offset);
                               return sink.write(p.data(), std::min(length, p.size()));
                             });
  });
  s.page("/a.gif", "gif");
  s.start();
  CurlInternetOptions options;
  options.maxBodyInMemory = kLimit;
  const struct {
    const char* page;
    long mostKb;  // that the peak may grow by
    QStringList fetched;
  } cases[] = {
      {"/big.htm", long(kLimit >> 10) + 32 * 1024, {"/big.htm", "/a.gif"}},  // still scanned
      {"/announced.htm", 32 * 1024, {"/announced.htm"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    view_.url = s.url(c.page);
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
      GTEST_SKIP() << "cannot reset the peak memory figure";
    clear.close();
    const qsizetype before = s.targets().size();
    const long peak = testing::procStatusKb("VmHWM:");
    run(options);
    const long grewKb = testing::procStatusKb("VmHWM:") - peak;
    EXPECT_LT(grewKb, c.mostKb) << "peak grew by " << grewKb << " KiB";
    EXPECT_EQ(s.targets().mid(before), c.fetched);
    EXPECT_EQ(view_.totals.back().totalErrors, "1")
        << logLines("QuorvelLog.txt").join('\n').toStdString();
  }
}

// The main window with the real run, driven as a user drives it.
using WindowRun = testing::RunFixture;

// Cancel and the close box end a trickling read at once; the request counts nowhere; the
// close box ends the program once the run has stopped.
TEST_F(WindowRun, CancelAndCloseDuringATricklingReadEndAtOnce) {
  TricklingServer t;
  for (const bool closeBox : {false, true}) {
    SCOPED_TRACE(closeBox ? "close box" : "Cancel");
    frmQuorvel w;
    w.show();
    click(&w, "chkLoggingOn");
    click(&w, "chkImagesOn");
    type(&w, "cboURLToUse", t.url("/body"));
    QElapsedTimer sinceClick;
    QTimer::singleShot(1000, &w, [&] {
      sinceClick.start();
      if (closeBox)
        w.close();
      else
        click(&w, "cmdGo");
    });
    click(&w, "cmdGo");  // returns when the run is over
    ASSERT_TRUE(sinceClick.isValid());
    EXPECT_LT(sinceClick.elapsed(), 3000);
    EXPECT_EQ(shown(&w, "txtStatus"), "Cancelled");
    EXPECT_EQ(w.isVisible(), !closeBox);
    EXPECT_TRUE(logLines("QuorvelLog.txt").isEmpty() && logLines("QVSum.log").isEmpty());
    // Closed or not, the window stored its check boxes.
    EXPECT_EQ(readFile("Quorvel.ini").contains("GetImages=0"), closeBox);
  }
}

TEST_F(WindowRun, TotalsBoxesShowTheRunsFinalFigures) {
  HttpTestServer s;
  s.page("/p.htm", std::string(2000, 'p'));
  s.start();
  frmQuorvel w;
  w.show();
  click(&w, "chkLoggingOn");
  type(&w, "txtIterations", "300");
  type(&w, "cboURLToUse", s.url("/p.htm"));
  click(&w, "cmdGo");
  EXPECT_EQ(shown(&w, "txtStatus") + " " + shown(&w, "txtValidURLs") + " " +
                shown(&w, "txtTotalErrors") + " " + shown(&w, "txtTotalBytes"),
            "Done 300 0 600,000");
  // The throughput box and the summary line come from the same totals.
  const QString sum = logLines("QVSum.log").value(0);
  const QString kbps = sum.mid(14, sum.indexOf(" Kbps") - 14).trimmed();
  EXPECT_EQ(shown(&w, "txtThroughput"), formatMask(kbps.toDouble(), "###,##0.0") + " Kbps")
      << sum.toStdString();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the wait cursor is gone
}

}  // namespace
}  // namespace quorvel
