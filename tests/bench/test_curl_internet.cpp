// The Internet access layer against real servers on loopback: what it sends, what it reads,
// and the error number of every way a server can fail.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>

#include "bench/curl_internet.h"
#include "bench/internet_url.h"
#include "common/ftp_server.h"
#include "common/test_support.h"
#include "core/text_util.h"
#include "loopback_servers.h"

namespace quorvel {
namespace {

using namespace std::chrono_literals;
using testing::HttpTestServer;
using testing::RawTestServer;

// Short limits, so that a fault shows within about a second.
CurlInternetOptions shortLimits(std::chrono::milliseconds transferLimit = 0ms) {
  CurlInternetOptions o;
  o.connectTimeout = 1000ms;
  o.idleTimeout = transferLimit > 0ms ? 5000ms : 1000ms;
  o.transferLimit = transferLimit;
  return o;
}

// Opens and reads one URL: the error of the open, or of the read when the open succeeded.
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

TEST(CurlInternet, AddressesAreCompletedAndEncoded) {
  const std::pair<const char*, const char*> completed[] = {
      {"www.x.com/a/b.htm", "http://www.x.com/a/b.htm"},
      {"FTP.x.com/pub", "ftp://FTP.x.com/pub"},
      {"www.x.com/ftp.htm", "http://www.x.com/ftp.htm"},
      {"ftpx.com", "http://ftpx.com"},
      {"www.x.com/a//b", "www.x.com/a//b"},
      {"https://x.com/", "https://x.com/"},
      {"", "http://"}};
  for (const auto& [typed, url] : completed) EXPECT_EQ(CompleteURL(typed), url) << typed;
  // On the wire, in one encoding: blanks and everything beyond ASCII percent-encoded as UTF-8,
  // bytes that came as no UTF-8 as they came; the server name left to the library (IDNA).
  const std::pair<QByteArray, QByteArray> sent[] = {
      {"http://h/my pic.gif", "http://h/my%20pic.gif"},
      {"http://h/\xC3\xBCn\xC3\xAF\xE2\x82\xAC\xF0\x9F\x98\x80.htm?\xC3\xA9",
       "http://h/%C3%BCn%C3%AF%E2%82%AC%F0%9F%98%80.htm?%C3%A9"},
      {"http://h/caf\xE9\xFF.htm", "http://h/caf%E9%FF.htm"},
      {"http://m\xC3\xBCnchen.example/\xC3\xBC", "http://m\xC3\xBCnchen.example/%C3%BC"}};
  for (const auto& [given, wire] : sent)
    EXPECT_EQ(RequestURL(FromUtf8KeepingBytes(given)), wire) << given.data();
}

TEST(CurlInternet, ReadsPagesAndCountsResources) {
  HttpTestServer http;
  std::mutex m;
  httplib::Headers seen;
  std::vector<int> clientPorts;
  QByteArray page;
  for (int i = 0; i < 30000; ++i) page += QByteArray::number(i) + ' ';
  http.server().Get("/page", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(m);
    seen = req.headers;
    clientPorts.push_back(req.remote_port);
    res.set_content(page.toStdString(), "text/html");
  });
  http.page("/big", std::string(8 << 20, 'b'));
  http.page("/missing", "<title>Not Found</title>gone", "text/html", 404);
  http.server().Get("/hop", [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("/missing");
  });
  http.start();

  CurlInternet net(shortLimits());
  int pumps = 0;
  net.setEventPump([&] { return ++pumps > 0; });
  ASSERT_EQ(net.OpenInternet("Quorvel", ""), 0);
  Fetch f = fetch(net, QStringLiteral("127.0.0.1:%1/page").arg(http.port()));  // no scheme typed
  EXPECT_EQ(f.error, 0);
  EXPECT_EQ(f.body, page);
  EXPECT_EQ(f.bytes, page.size());
  EXPECT_EQ(pumps, 0);  // a quick fetch measures the network alone: no window work inside it
  {
    std::lock_guard lock(m);
    for (const auto& [name, value] : {std::pair{"Cache-Control", "no-cache"},
                                      {"Pragma", "no-cache"},
                                      {"User-Agent", "Quorvel"}})
      EXPECT_EQ(seen.find(name)->second, value) << name;
    EXPECT_EQ(seen.count("Accept-Encoding"), 0u);
  }
  f = fetch(net, http.url("/big"), false);  // counted and thrown away
  EXPECT_EQ(f.bytes, 8 << 20);
  EXPECT_TRUE(f.body.isEmpty());
  // An error status is a page like any other; a redirect is followed, its body alone counts.
  EXPECT_EQ(fetch(net, http.url("/missing")).body, "<title>Not Found</title>gone");
  EXPECT_EQ(fetch(net, http.url("/hop")).bytes, 28);
  fetch(net, http.url("/page"));
  {
    std::lock_guard lock(m);  // the connection stays open from one request to the next
    EXPECT_EQ(clientPorts, std::vector<int>(2, clientPorts.front()));
  }
  // Reading without an open URL, and opening without a session, are refused.
  std::int64_t bytes = -1;
  EXPECT_EQ(net.ReadURL(nullptr, bytes), 12019);
  EXPECT_EQ(bytes, 0);
  net.CloseInternet();
  EXPECT_EQ(net.OpenURL(http.url("/page")), 12019);
}

TEST(CurlInternet, LargeBodiesBuffersAndTheMemoryLimit) {
  HttpTestServer http;
  constexpr size_t kSize = 5 * 1024 * 1024;
  for (const char c : {'a', 'b', 'c', 'd'})
    http.page("/" + std::string(1, c), std::string(kSize, c));
  http.server().Get("/chunked", [](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("text/html", [](size_t offset, httplib::DataSink& sink) {
      if (offset >= kSize) {
        sink.done();
        return true;
      }
      const std::string piece(10000, 'u');
      return sink.write(piece.data(), piece.size());
    });
  });
  http.start();
  CurlInternet net(shortLimits());
  ASSERT_EQ(net.OpenInternet("Quorvel", ""), 0);
  // A buffer still held by its reader is never written into.
  const Fetch a = fetch(net, http.url("/a"));
  fetch(net, http.url("/b"));
  EXPECT_EQ(fetch(net, http.url("/c")).body, QByteArray(kSize, 'c'));
  EXPECT_EQ(a.body, QByteArray(kSize, 'a'));

  // A page beyond what memory may hold ends with 12004: at once when its length says so, else
  // with what fitted, the buffer never grown past the limit; counting has no limit.
  CurlInternetOptions small = shortLimits();
  small.maxBodyInMemory = 1024 * 1024;
  CurlInternet limited(small);
  ASSERT_EQ(limited.OpenInternet("Quorvel", ""), 0);
  const Fetch d = fetch(limited, http.url("/d"));
  EXPECT_EQ(d.error, 12004);
  EXPECT_EQ(d.bytes, 0);
  const Fetch unannounced = fetch(limited, http.url("/chunked"));
  EXPECT_EQ(unannounced.error, 12004);
  EXPECT_EQ(unannounced.body, QByteArray(1024 * 1024, 'u'));
  EXPECT_LE(unannounced.body.capacity(), 1024 * 1024);
  const Fetch e = fetch(limited, http.url("/a"), false);
  EXPECT_EQ(e.error, 0);
  EXPECT_EQ(e.bytes, std::int64_t(kSize));
}

// Every failure has its number, and the session still works after all of them.
TEST(CurlInternet, EveryFailureHasItsNumber) {
  HttpTestServer http;
  int loops = 0;
  http.server().Get("/loop", [&](const httplib::Request&, httplib::Response& res) {
    ++loops;
    res.set_redirect("/loop");
  });
  http.server().Get("/to-file", [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("file:///etc/hostname");
  });
  http.page("/ok", "fine");
  http.start();
  // An FTP port that a redirect must never reach.
  quint16 ftpPort = 0;
  const int ftp = testing::boundLoopbackSocket(&ftpPort);
  ASSERT_EQ(listen(ftp, 4), 0);
  RawTestServer raw([&](int s, const std::string& head) {
    if (head.rfind("GET /toftp ", 0) != 0) return testing::badAnswer(s, head);
    RawTestServer::sendAll(s, "HTTP/1.1 302 Found\r\nLocation: ftp://127.0.0.1:" +
                                  std::to_string(ftpPort) + "/x\r\nContent-Length: 0\r\n\r\n");
  });

  CurlInternet net(shortLimits());
  ASSERT_EQ(net.OpenInternet("Quorvel", ""), 0);
  const std::pair<QString, int> failures[] = {
      {QStringLiteral("http://127.0.0.1:%1/").arg(testing::freeLoopbackPort()), 12029},
      {http.url("/loop"), 12003},  // the first request and ten redirects
      {http.url("/to-file"), 12006},
      {"file:///etc/hostname", 12006},
      {"gopher://127.0.0.1/", 12006},
      {"http://127.0.0.1:99999/", 12005},
      {raw.url("/toftp"), 12006},  // redirects lead to http and https only
      // Answers that are not HTTP are invalid answers, not an unknown scheme or lost memory.
      {raw.url("/09"), 12152},
      {raw.url("/garbage"), 12152},
      {raw.url("/long"), 12152},
      {raw.url("/many"), 12152},
      {raw.url("/nothing"), 12030},
      {raw.url("/silent"), 12002},
      {raw.url("/stall"), 12002},
      {raw.url("/cut"), 12030},
      {raw.url("/reset"), 12031},
  };
  for (const auto& [url, error] : failures) {
    const auto t0 = std::chrono::steady_clock::now();
    const Fetch f = fetch(net, url);
    EXPECT_EQ(f.error, error) << url.toStdString();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 5s) << url.toStdString();
    // What came before the failure.
    EXPECT_TRUE(!url.endsWith("/cut") || f.bytes == 10000);
    EXPECT_EQ(f.body, QByteArray(f.body.size(), 'r')) << url.toStdString();
  }
  EXPECT_EQ(loops, 11);
  EXPECT_LT(accept(ftp, nullptr, nullptr), 0) << "the redirect reached the FTP port";
  close(ftp);
  EXPECT_EQ(net.OpenURL(http.url("/unknown")), 0);  // opened and never read
  EXPECT_EQ(fetch(net, http.url("/ok")).body, "fine");
}

// A slow body serves the window while it waits; a Cancel seen there, or the limit of the whole
// request, ends a trickling read or head that the idle limit never ends, and an endless resource.
TEST(CurlInternet, SlowTricklingAndEndlessAnswersEnd) {
  RawTestServer raw(testing::badAnswer);
  CurlInternet net(shortLimits()), limited(shortLimits(1000ms));
  ASSERT_EQ(net.OpenInternet("Quorvel", ""), 0);
  ASSERT_EQ(limited.OpenInternet("Quorvel", ""), 0);
  int pumps = 0;
  net.setEventPump([&] { return ++pumps > 0; });
  EXPECT_EQ(fetch(net, raw.url("/slow")).body, "slowbody");
  EXPECT_GE(pumps, 4);
  net.setEventPump([&] { return ++pumps % 8 != 0; });  // Cancel at the eighth look
  for (CurlInternet* session : {&net, &limited})
    for (const char* route : {"/trickle", "/trickle-head"}) {
      const auto t0 = std::chrono::steady_clock::now();
      EXPECT_EQ(fetch(*session, raw.url(route)).error, session == &net ? 12017 : 12002) << route;
      EXPECT_LT(std::chrono::steady_clock::now() - t0, 4s) << route;
    }

  HttpTestServer http;
  http.server().Get("/endless", [](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("application/octet-stream",
                                     [](size_t, httplib::DataSink& sink) {
                                       static const std::string chunk(65536, 'e');
                                       return sink.write(chunk.data(), chunk.size());
                                     });
  });
  http.start();
  long peakKb = 0;
  limited.setEventPump(
      [&] { return (peakKb = std::max(peakKb, testing::procStatusKb("VmRSS:"))) >= 0; });
  [[maybe_unused]] const long beforeKb = testing::procStatusKb("VmRSS:");
  const Fetch f = fetch(limited, http.url("/endless"), false);
  EXPECT_EQ(f.error, 12002);
  EXPECT_GT(f.bytes, 32 * 1024 * 1024);
#ifndef QUORVEL_ASAN
  EXPECT_LT(peakKb - beforeKb, 16 * 1024) << "counted in flat memory: " << f.bytes << " bytes";
#endif
}

TEST(CurlInternet, FtpAndTheProxy) {
  testing::FtpServer ftp;
  ftp.addFile("file.bin", QByteArray(3000, 'f'));
  ASSERT_TRUE(ftp.start()) << ftp.log().constData();
  HttpTestServer proxy, direct;
  proxy.page(".*", "via proxy");
  direct.page("/d", "direct");
  proxy.start();
  direct.start();
  CurlInternet net(shortLimits());
  ASSERT_EQ(net.OpenInternet("Quorvel", ""), 0);
  const QString server = QStringLiteral("ftp://127.0.0.1:%1/").arg(ftp.port());
  EXPECT_EQ(fetch(net, server + "file.bin").body, QByteArray(3000, 'f'));
  EXPECT_EQ(fetch(net, server + "missing.bin").error, 12003);
  // Through the proxy, which gets the whole URL (the name is never looked up here), except
  // for loopback.
  CurlInternet proxied(shortLimits());
  ASSERT_EQ(proxied.OpenInternet("Quorvel", QStringLiteral("127.0.0.1:%1").arg(proxy.port())), 0);
  EXPECT_EQ(fetch(proxied, "quorvel-proxy-test.invalid/dir/page.htm").body, "via proxy");
  EXPECT_EQ(fetch(proxied, direct.url("/d")).body, "direct");
  EXPECT_EQ(proxy.targets(), QStringList{"http://quorvel-proxy-test.invalid/dir/page.htm"});
}

}  // namespace
}  // namespace quorvel
