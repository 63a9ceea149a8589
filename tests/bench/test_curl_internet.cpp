// The Internet access layer against real servers on loopback.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <mutex>
#include <thread>

#include "bench/curl_errors.h"
#include "bench/curl_internet.h"
#include "bench/internet_url.h"
#include "common/test_support.h"
#include "loopback_servers.h"

namespace quorvel {
namespace {

using namespace std::chrono_literals;
using testing::HttpTestServer;
using testing::RawTestServer;

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

// Short limits, so that a fault shows within about a second.
CurlInternetOptions shortLimits() {
  CurlInternetOptions o;
  o.connectTimeout = 1000ms;
  o.idleTimeout = 1000ms;
  return o;
}

// Opens and reads one URL; the error of the open, or of the read when the open succeeded.
struct Fetch {
  int error = 0;
  QByteArray body;
  std::int64_t bytes = 0;
};
Fetch fetch(CurlInternet& net, const QString& url, bool keepBody = true) {
  Fetch f;
  f.error = net.OpenURL(url);
  if (f.error == 0) f.error = net.ReadURL(keepBody ? &f.body : nullptr, f.bytes);
  return f;
}

long statusKb(const char* key) {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : f.readAll().split('\n')) {
    if (line.startsWith(key))
      return line.mid(qsizetype(strlen(key))).trimmed().split(' ')[0].toLong();
  }
  return 0;
}

TEST(InternetErrorText, SentencesAsTheyStand) {
  EXPECT_EQ(InternetErrorText(12032), "Error details not available.");
  EXPECT_EQ(InternetErrorText(12036), "The request failed because the handle already exists.");
  EXPECT_EQ(InternetErrorText(12011), "The request option can not be set, only queried. ");
  EXPECT_EQ(InternetErrorText(12014).right(11), "incorrect. ");
  EXPECT_EQ(InternetErrorText(12029), "The attempt to connect to the server failed.");
  EXPECT_EQ(InternetErrorText(0), "Error details not available.");
  EXPECT_EQ(InternetErrorText(991), "Error details not available.");
}

TEST(CurlErrors, EachFailureReadsRight) {
  EXPECT_EQ(InternetErrorFromCurl(CURLE_OK, 0), 0);
  EXPECT_EQ(InternetErrorFromCurl(CURLE_COULDNT_RESOLVE_HOST, 0), 12007);
  EXPECT_EQ(InternetErrorFromCurl(CURLE_COULDNT_RESOLVE_PROXY, 0), 12007);
  EXPECT_EQ(InternetErrorFromCurl(CURLE_COULDNT_CONNECT, ECONNREFUSED), 12029);
  EXPECT_EQ(InternetErrorFromCurl(CURLE_PEER_FAILED_VERIFICATION, 0), 12029);
  EXPECT_EQ(InternetErrorFromCurl(CURLE_OPERATION_TIMEDOUT, 0), 12002);
  EXPECT_EQ(InternetErrorFromCurl(CURLE_RECV_ERROR, ECONNRESET), 12031);
  EXPECT_EQ(InternetErrorFromCurl(CURLE_SEND_ERROR, ECONNRESET), 12031);
  EXPECT_EQ(InternetErrorFromCurl(CURLE_RECV_ERROR, 0), 12030);
  EXPECT_EQ(InternetErrorFromCurl(CURLE_GOT_NOTHING, 0), 12030);
  EXPECT_EQ(InternetErrorFromCurl(CURLE_PARTIAL_FILE, 0), 12030);
  EXPECT_EQ(InternetErrorFromCurl(CURLE_URL_MALFORMAT, 0), 12005);
  EXPECT_EQ(InternetErrorFromCurl(CURLE_UNSUPPORTED_PROTOCOL, 0), 12006);
  EXPECT_EQ(InternetErrorFromCurl(CURLE_TOO_MANY_REDIRECTS, 0), 12003);
  EXPECT_EQ(InternetErrorFromCurl(CURLE_REMOTE_FILE_NOT_FOUND, 0), 12003);
  EXPECT_EQ(InternetErrorFromCurl(CURLE_LOGIN_DENIED, 0), 12015);
  EXPECT_EQ(InternetErrorFromCurl(CURLE_BAD_FUNCTION_ARGUMENT, 0), 12004);
}

TEST(CurlInternet, CompletesAddresses) {
  EXPECT_EQ(CompleteURL("www.x.com/a/b.htm"), "http://www.x.com/a/b.htm");
  EXPECT_EQ(CompleteURL("FTP.x.com/pub"), "ftp://FTP.x.com/pub");
  EXPECT_EQ(CompleteURL("ftp.x.com"), "ftp://ftp.x.com");
  EXPECT_EQ(CompleteURL("www.x.com/ftp.htm"), "http://www.x.com/ftp.htm");
  EXPECT_EQ(CompleteURL("ftpx.com"), "http://ftpx.com");
  EXPECT_EQ(CompleteURL("www.x.com/a//b"), "www.x.com/a//b");
  EXPECT_EQ(CompleteURL("https://x.com/"), "https://x.com/");
  EXPECT_EQ(CompleteURL(""), "http://");
  // On the wire: blanks and 8-bit bytes encoded, the server name left alone.
  EXPECT_EQ(RequestURL("http://h/my pic.gif"), "http://h/my%20pic.gif");
  EXPECT_EQ(RequestURL(QString::fromLatin1("http://h/\xe9t\xe9.htm")), "http://h/%E9t%E9.htm");

  HttpTestServer http;
  http.server().Get("/page", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("completed", "text/html");
  });
  http.start();
  CurlInternet net(shortLimits());
  ASSERT_EQ(net.OpenInternet("Quorvel", ""), 0);
  const Fetch f = fetch(net, QStringLiteral("127.0.0.1:%1/page").arg(http.port()));
  EXPECT_EQ(f.error, 0);
  EXPECT_EQ(f.body, "completed");
}

TEST(CurlInternet, ReadsPagesAndCountsResources) {
  HttpTestServer http;
  std::mutex m;
  httplib::Headers seen;
  std::vector<int> clientPorts;
  QByteArray page;
  for (int i = 0; i < 30000; ++i) page += QByteArray::number(i) + ' ';
  const std::string pageStr = page.toStdString();
  constexpr size_t kBig = 8 * 1024 * 1024;
  http.server().Get("/page", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(m);
    seen = req.headers;
    clientPorts.push_back(req.remote_port);
    res.set_content(pageStr, "text/html");
  });
  http.server().Get("/2k", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(std::string(2048, 'k'), "text/plain");
  });
  http.server().Get("/big", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(kBig, "application/octet-stream",
                             [](size_t offset, size_t length, httplib::DataSink& sink) {
                               static const std::string chunk(65536, 'b');
                               sink.write(chunk.data(), std::min(length, chunk.size()));
                               (void)offset;
                               return true;
                             });
  });
  http.server().Get("/missing", [](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("<title>Not Found</title>gone", "text/html");
  });
  http.server().Get(
      "/hop", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/2k"); });
  http.start();

  CurlInternet net(shortLimits());
  int pumps = 0;
  net.setEventPump([&] {
    ++pumps;
    return true;
  });
  ASSERT_EQ(net.OpenInternet("Quorvel", ""), 0);

  Fetch f = fetch(net, q(http.url("/page")));
  EXPECT_EQ(f.error, 0);
  EXPECT_EQ(f.body, page);
  EXPECT_EQ(f.bytes, page.size());
  EXPECT_EQ(pumps, 0);  // a quick fetch measures the network alone: no window work inside it
  {
    std::lock_guard lock(m);
    EXPECT_EQ(seen.find("Cache-Control")->second, "no-cache");
    EXPECT_EQ(seen.find("Pragma")->second, "no-cache");
    EXPECT_EQ(seen.find("User-Agent")->second, "Quorvel");
    EXPECT_EQ(seen.count("Accept-Encoding"), 0u);
  }

  f = fetch(net, q(http.url("/2k")));
  EXPECT_EQ(f.error, 0);
  EXPECT_EQ(f.body, QByteArray(2048, 'k'));
  EXPECT_EQ(f.bytes, 2048);

  // Counted and thrown away.
  f = fetch(net, q(http.url("/big")), false);
  EXPECT_EQ(f.error, 0);
  EXPECT_EQ(f.bytes, std::int64_t(kBig));
  EXPECT_TRUE(f.body.isEmpty());

  // An error status is a page like any other.
  f = fetch(net, q(http.url("/missing")));
  EXPECT_EQ(f.error, 0);
  EXPECT_EQ(f.body, "<title>Not Found</title>gone");

  // A redirect is followed; only the final body counts.
  f = fetch(net, q(http.url("/hop")));
  EXPECT_EQ(f.error, 0);
  EXPECT_EQ(f.bytes, 2048);

  // The connection stays open from one request to the next.
  fetch(net, q(http.url("/page")));
  {
    std::lock_guard lock(m);
    ASSERT_EQ(clientPorts.size(), 2u);
    EXPECT_EQ(clientPorts[0], clientPorts[1]);
  }

  // Reading without an open URL, and opening without a session, are refused.
  std::int64_t bytes = -1;
  EXPECT_EQ(net.ReadURL(nullptr, bytes), 12019);
  EXPECT_EQ(bytes, 0);
  net.CloseInternet();
  EXPECT_EQ(net.OpenURL(q(http.url("/page"))), 12019);
}

TEST(CurlInternet, LargeBodiesStayIntactWhenBuffersAreReused) {
  // Large bodies' buffers serve again once their reader lets go; one still held must never
  // be written into.
  HttpTestServer http;
  constexpr size_t kSize = 5 * 1024 * 1024;
  http.server().Get(R"(/fill/(\w))", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(std::string(kSize, req.matches[1].str()[0]), "text/plain");
  });
  http.start();
  CurlInternet net(shortLimits());
  ASSERT_EQ(net.OpenInternet("Quorvel", ""), 0);
  const Fetch a = fetch(net, q(http.url("/fill/a")));
  Fetch b = fetch(net, q(http.url("/fill/b")));
  EXPECT_EQ(a.body, QByteArray(kSize, 'a'));
  EXPECT_EQ(b.body, QByteArray(kSize, 'b'));
  const char* reusable = b.body.constData();
  b.body = QByteArray();
  QByteArray c;
  std::int64_t bytes = 0;
  ASSERT_EQ(net.OpenURL(q(http.url("/fill/c"))), 0);
  ASSERT_EQ(net.ReadURL(&c, bytes), 0);
  EXPECT_EQ(c, QByteArray(kSize, 'c'));
  EXPECT_EQ(c.constData(), reusable);  // the buffer let go of was used again
  EXPECT_EQ(a.body, QByteArray(kSize, 'a'));

  // A page beyond what memory may hold ends with an error and what fitted; counting only has
  // no such limit.
  CurlInternetOptions small = shortLimits();
  small.maxBodyInMemory = 1024 * 1024;
  CurlInternet limited(small);
  ASSERT_EQ(limited.OpenInternet("Quorvel", ""), 0);
  const Fetch d = fetch(limited, q(http.url("/fill/d")));
  EXPECT_EQ(d.error, 12004);
  EXPECT_EQ(d.body, QByteArray(1024 * 1024, 'd'));
  EXPECT_EQ(d.bytes, 1024 * 1024);
  const Fetch e = fetch(limited, q(http.url("/fill/e")), false);
  EXPECT_EQ(e.error, 0);
  EXPECT_EQ(e.bytes, std::int64_t(kSize));
}

TEST(CurlInternet, RefusedMalformedAndForeignUrls) {
  HttpTestServer http;
  int loops = 0;
  http.server().Get("/loop", [&](const httplib::Request&, httplib::Response& res) {
    ++loops;
    res.set_redirect("/loop");
  });
  http.server().Get("/ok", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("fine", "text/plain");
  });
  http.server().Get("/to-file", [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("file:///etc/hostname");
  });
  http.start();
  CurlInternet net(shortLimits());
  ASSERT_EQ(net.OpenInternet("Quorvel", ""), 0);

  const QString closed = QStringLiteral("http://127.0.0.1:%1/").arg(testing::UnusedLoopbackPort());
  EXPECT_EQ(net.OpenURL(closed), 12029);
  EXPECT_EQ(net.OpenURL(q(http.url("/loop"))), 12003);
  EXPECT_EQ(loops, 11);  // the first request and ten redirects
  EXPECT_EQ(net.OpenURL(q(http.url("/to-file"))), 12006);
  EXPECT_EQ(net.OpenURL("file:///etc/hostname"), 12006);
  EXPECT_EQ(net.OpenURL("gopher://127.0.0.1/"), 12006);
  EXPECT_EQ(net.OpenURL("http://127.0.0.1:99999/"), 12005);
  // The session still works after all that, also after a page opened and never read.
  EXPECT_EQ(net.OpenURL(q(http.url("/unknown"))), 0);
  EXPECT_EQ(net.OpenURL(q(http.url("/ok"))), 0);
  EXPECT_EQ(net.OpenURL(q(http.url("/ok"))), 0);
  QByteArray body;
  std::int64_t bytes = 0;
  EXPECT_EQ(net.ReadURL(&body, bytes), 0);
  EXPECT_EQ(body, "fine");
}

// Answers that are not HTTP are invalid answers (12152), not an unknown scheme or memory that
// ran out; and a redirect never leads to FTP.
TEST(CurlInternet, InvalidAnswersAndRedirectsOffTheWeb) {
  const int ftpListener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ASSERT_EQ(bind(ftpListener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(ftpListener, 4), 0);
  getsockname(ftpListener, reinterpret_cast<sockaddr*>(&a), &len);
  const int ftpPort = ntohs(a.sin_port);

  RawTestServer raw([&](int s, const std::string& head) {
    std::string answer;
    if (head.find("GET /09 ") == 0) answer = "hello, no status line\r\n\r\nbody";
    if (head.find("GET /garbage ") == 0) answer = "HTTP/1.1 abc def\r\n\r\nbody";
    if (head.find("GET /long ") == 0)
      answer = "HTTP/1.1 200 OK\r\nX-Long: " + std::string(200000, 'a') + "\r\n\r\nbody";
    if (head.find("GET /many ") == 0) {
      answer = "HTTP/1.1 200 OK\r\n";
      for (int i = 0; i < 40000; ++i) answer += "X-A: b\r\n";
      answer += "\r\nbody";
    }
    if (head.find("GET /toftp ") == 0)
      answer = "HTTP/1.1 302 Found\r\nLocation: ftp://127.0.0.1:" + std::to_string(ftpPort) +
               "/x\r\nContent-Length: 0\r\n\r\n";
    RawTestServer::sendAll(s, answer);
  });
  CurlInternet net(shortLimits());
  ASSERT_EQ(net.OpenInternet("Quorvel", ""), 0);
  for (const char* route : {"/09", "/garbage", "/long", "/many"})
    EXPECT_EQ(fetch(net, q(raw.url(route))).error, 12152) << route;
  EXPECT_EQ(fetch(net, q(raw.url("/toftp"))).error, 12006);
  EXPECT_LT(accept(ftpListener, nullptr, nullptr), 0) << "the redirect reached the FTP port";
  close(ftpListener);
  // A listed URL may still name FTP, and an unknown scheme is still one.
  EXPECT_EQ(fetch(net, "gopher://127.0.0.1/").error, 12006);
}

TEST(CurlInternet, ServersThatStallCutOrReset) {
  const std::string body(10000, 'r');
  RawTestServer raw([&](int s, const std::string& head) {
    if (head.find("GET /silent ") == 0) {
      RawTestServer::waitForClose(s, 10);  // accepts, never answers
    } else if (head.find("GET /stall ") == 0) {
      RawTestServer::sendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
      RawTestServer::waitForClose(s, 10);
    } else if (head.find("GET /cut ") == 0) {
      RawTestServer::sendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + body);
    } else if (head.find("GET /reset ") == 0) {
      RawTestServer::sendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + body);
      std::this_thread::sleep_for(200ms);
      RawTestServer::resetConnection(s);
    } else if (head.find("GET /slow ") == 0) {
      RawTestServer::sendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\nslow");
      std::this_thread::sleep_for(400ms);
      RawTestServer::sendAll(s, "body");
    } else if (head.find("GET /nothing ") == 0) {
      // closes at once
    } else if (head.find("GET /trickle ") == 0 || head.find("GET /trickle-head ") == 0) {
      // One byte (or one header line) every 100 ms: never idle, never done.
      const bool inHead = head.find("GET /trickle-head ") == 0;
      RawTestServer::sendAll(
          s, inHead ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
      for (int i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(100ms);
        if (send(s, inHead ? "X-A: b\r\n" : "t", inHead ? 8 : 1, MSG_NOSIGNAL) <= 0) break;
      }
    }
  });
  CurlInternet net(shortLimits());
  ASSERT_EQ(net.OpenInternet("Quorvel", ""), 0);

  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(net.OpenURL(q(raw.url("/silent"))), 12002);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 5s);

  ASSERT_EQ(net.OpenURL(q(raw.url("/stall"))), 0);
  QByteArray got;
  std::int64_t bytes = -1;
  t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(net.ReadURL(&got, bytes), 12002);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 5s);
  EXPECT_EQ(bytes, 0);

  Fetch f = fetch(net, q(raw.url("/cut")));
  EXPECT_EQ(f.error, 12030);
  EXPECT_EQ(f.bytes, 10000);
  EXPECT_EQ(f.body, QByteArray::fromStdString(body));  // what came before the failure

  f = fetch(net, q(raw.url("/reset")));
  EXPECT_EQ(f.error, 12031);
  EXPECT_LE(f.bytes, 10000);
  EXPECT_EQ(f.body, QByteArray::fromStdString(body).left(f.body.size()));

  EXPECT_EQ(net.OpenURL(q(raw.url("/nothing"))), 12030);

  // A slow body: the window is served while waiting.
  int pumps = 0;
  net.setEventPump([&] {
    ++pumps;
    return true;
  });
  f = fetch(net, q(raw.url("/slow")));
  EXPECT_EQ(f.error, 0);
  EXPECT_EQ(f.body, "slowbody");
  EXPECT_GE(pumps, 4);

  // A Cancel seen there abandons a trickling read, or a trickling head, at once.
  for (const char* route : {"/trickle", "/trickle-head"}) {
    bool cancelled = false;
    net.setEventPump([&] { return !(cancelled = pumps++ > 8); });
    t0 = std::chrono::steady_clock::now();
    f = fetch(net, q(raw.url(route)));
    EXPECT_EQ(f.error, 12017) << route;
    EXPECT_TRUE(cancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 3s) << route;
  }
}

TEST(CurlInternet, TricklingServerEndsAtTheRequestLimit) {
  RawTestServer raw([&](int s, const std::string& head) {
    const bool inHead = head.find("GET /head ") == 0;
    RawTestServer::sendAll(
        s, inHead ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
    for (int i = 0; i < 100; ++i) {
      std::this_thread::sleep_for(100ms);
      if (send(s, inHead ? "X-A: b\r\n" : "t", inHead ? 8 : 1, MSG_NOSIGNAL) <= 0) break;
    }
  });
  CurlInternetOptions o = shortLimits();
  o.idleTimeout = 5000ms;  // the trickle never lets the idle limit act
  o.transferLimit = 1000ms;
  CurlInternet net(o);
  ASSERT_EQ(net.OpenInternet("Quorvel", ""), 0);
  for (const char* route : {"/body", "/head"}) {
    const auto t0 = std::chrono::steady_clock::now();
    const Fetch f = fetch(net, q(raw.url(route)));
    EXPECT_EQ(f.error, 12002) << route;
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 4s) << route;
  }
}

TEST(CurlInternet, EndlessBodyIsCountedInFlatMemory) {
  HttpTestServer http;
  http.server().Get("/endless", [](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("application/octet-stream",
                                     [](size_t, httplib::DataSink& sink) {
                                       static const std::string chunk(65536, 'e');
                                       return sink.write(chunk.data(), chunk.size());
                                     });
  });
  http.start();
  CurlInternetOptions o = shortLimits();
  o.transferLimit = 1500ms;
  CurlInternet net(o);
  long peakKb = 0;
  net.setEventPump([&] {
    peakKb = std::max(peakKb, statusKb("VmRSS:"));
    return true;
  });
  ASSERT_EQ(net.OpenInternet("Quorvel", ""), 0);
  [[maybe_unused]] const long beforeKb = statusKb("VmRSS:");
  const auto t0 = std::chrono::steady_clock::now();
  const Fetch f = fetch(net, q(http.url("/endless")), false);
  EXPECT_EQ(f.error, 12002);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 10s);
  EXPECT_GT(f.bytes, 32 * 1024 * 1024);
#ifndef QUORVEL_ASAN
  EXPECT_LT(peakKb - beforeKb, 16 * 1024) << "bytes " << f.bytes;
#endif
}

TEST(CurlInternet, FetchesOverFtp) {
  // A real FTP server on loopback (pyftpdlib, anonymous read access to a temporary folder).
  QTemporaryDir dir;
  QFile file(dir.filePath("file.bin"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray(3000, 'f'));
  file.close();
  const int port = testing::UnusedLoopbackPort();
  QProcess ftp;
  ftp.start("/usr/bin/python3",
            {"-m", "pyftpdlib", "-i", "127.0.0.1", "-p", QString::number(port), "-d", dir.path()});
  if (!ftp.waitForStarted(5000)) GTEST_SKIP() << "python3 with pyftpdlib is not available";
  bool up = false;
  for (int i = 0; i < 100 && !up && ftp.state() == QProcess::Running; ++i) {
    up = testing::LoopbackPortOpen(port);
    if (!up) std::this_thread::sleep_for(50ms);
  }
  if (!up) GTEST_SKIP() << "the FTP server did not start: " << ftp.readAllStandardError().data();

  CurlInternet net(shortLimits());
  ASSERT_EQ(net.OpenInternet("Quorvel", ""), 0);
  Fetch f = fetch(net, QStringLiteral("ftp://127.0.0.1:%1/file.bin").arg(port));
  EXPECT_EQ(f.error, 0);
  EXPECT_EQ(f.body, QByteArray(3000, 'f'));
  f = fetch(net, QStringLiteral("ftp://127.0.0.1:%1/missing.bin").arg(port));
  EXPECT_EQ(f.error, 12003);  // the server's refusal
  net.CloseInternet();
  ftp.kill();
  ftp.waitForFinished(5000);
}

TEST(CurlInternet, GoesThroughTheProxyExceptForLoopback) {
  HttpTestServer proxy;
  std::mutex m;
  std::vector<std::string> targets;
  proxy.server().Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(m);
    targets.push_back(req.target);
    res.set_content("via proxy", "text/html");
  });
  proxy.start();
  HttpTestServer direct;
  direct.server().Get("/d", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("direct", "text/html");
  });
  direct.start();

  CurlInternet net(shortLimits());
  ASSERT_EQ(net.OpenInternet("Quorvel", QStringLiteral("127.0.0.1:%1").arg(proxy.port())), 0);
  // The name is never looked up here: the proxy gets the whole URL.
  Fetch f = fetch(net, "quorvel-proxy-test.invalid/dir/page.htm");
  EXPECT_EQ(f.error, 0);
  EXPECT_EQ(f.body, "via proxy");
  f = fetch(net, q(direct.url("/d")));
  EXPECT_EQ(f.body, "direct");
  std::lock_guard lock(m);
  ASSERT_EQ(targets.size(), 1u);
  EXPECT_EQ(targets[0], "http://quorvel-proxy-test.invalid/dir/page.htm");
}

}  // namespace
}  // namespace quorvel
