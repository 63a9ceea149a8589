// A page loaded as a browser loads it, against a real server on loopback: what is fetched
// (each file once, stylesheets' files after them, frames with theirs), what fails, and how
// many connections a host sees at once.
#include <gtest/gtest.h>

#include <QSet>
#include <algorithm>
#include <atomic>
#include <thread>

#include "bench/browser_load.h"
#include "loopback_servers.h"
#include "nginx_server.h"

namespace quorvel {
namespace {

using testing::HttpTestServer;

TEST(BrowserLoad, FetchesEveryRequisiteOnceAndCountsErrors) {
  HttpTestServer http;
  http.page("/",
            "<link rel=stylesheet href=/s.css><script src=/a.js></script><img src=/i.png>"
            "<img srcset='/small.png 1x, /big.png 2x'><iframe src=/frame.html></iframe>"
            "<img src=/missing.png><img src=i.png><img loading=lazy src=/lazy.png>");
  http.page("/s.css",
            "@import '/s.css';@import url(/t.css);body{background:url(bg.png)}"
            "@font-face{font-family:F;src:url(/f.woff2)}",
            "text/css");
  http.page("/t.css", "p{background:url(/t.png)}", "text/css");
  http.page("/frame.html", "<img src=/frame.png><iframe src=/frame.html></iframe>");
  for (const char* path : {"/a.js", "/i.png", "/small.png", "/bg.png", "/f.woff2", "/t.png",
                           "/frame.png", "/lazy.png"})
    http.page(path, std::string(1000, 'x'), "application/octet-stream");
  http.page("/missing.png", "gone", "text/plain", 404);
  http.page("/favicon.ico", "icon", "image/x-icon");
  http.start();

  const BrowserLoad load = LoadLikeABrowser(http.url("/"));
  QStringList targets = http.targets();
  const QSet<QString> once(targets.begin(), targets.end());
  EXPECT_EQ(once.size(), targets.size()) << targets.join(' ').toStdString();
  targets.sort();
  EXPECT_EQ(targets.join(' '),
            "/ /a.js /bg.png /f.woff2 /favicon.ico /frame.html /frame.png /i.png /lazy.png "
            "/missing.png /s.css /small.png /t.css /t.png");
  ASSERT_EQ(load.files.size(), 14);
  EXPECT_EQ(load.failures, 1);
  EXPECT_FALSE(load.cancelled);
  for (const LoadedFile& f : load.files) {
    EXPECT_EQ(f.status, f.url.endsWith("/missing.png") ? 404 : 200) << f.url.data();
    EXPECT_LE(f.start, f.end);
    EXPECT_LE(f.end, load.loadTime);
    EXPECT_EQ(f.httpVersion, "1.1");
  }
  // A stylesheet's files start after it ends; the frame's image after the frame.
  auto file = [&](const char* path) {
    return *std::find_if(load.files.begin(), load.files.end(),
                         [&](const LoadedFile& f) { return f.url.endsWith(path); });
  };
  EXPECT_GE(file("/t.css").start, file("/s.css").end);
  EXPECT_GE(file("/t.png").start, file("/t.css").end);
  EXPECT_GE(file("/frame.png").start, file("/frame.html").end);
  EXPECT_EQ(file("/frame.html").depth, 1);
  EXPECT_EQ(file("/i.png").decodedBytes, 1000);
  EXPECT_GT(load.firstByte, 0);
  // DOMContentLoaded waits for the page, its stylesheets with their imports and its script;
  // not for its images or frames.
  for (const char* path : {"/s.css", "/t.css", "/a.js"}) EXPECT_TRUE(file(path).blocking) << path;
  for (const char* path : {"/i.png", "/bg.png", "/frame.html", "/frame.png"})
    EXPECT_FALSE(file(path).blocking) << path;
  EXPECT_EQ(load.contentLoad, std::max({file("/s.css").end, file("/t.css").end, file("/a.js").end,
                                        load.files.front().end}));
}

TEST(BrowserLoad, AtMostSixConnectionsToAHostAndALimitOfRequests) {
  HttpTestServer http;
  std::atomic<int> now{0}, most{0};
  QByteArray page;
  for (int i = 0; i < 30; ++i) page += "<img src=/img" + QByteArray::number(i) + ".png>";
  http.page("/", page.toStdString());
  http.page("/favicon.ico", "icon", "image/x-icon");
  http.server().Get(R"(/img\d+\.png)", [&](const httplib::Request&, httplib::Response& res) {
    const int n = ++now;
    int seen = most.load();
    while (n > seen && !most.compare_exchange_weak(seen, n)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    --now;
    res.set_content(std::string(500, 'x'), "image/png");
  });
  http.start();

  const BrowserLoad load = LoadLikeABrowser(http.url("/"));
  EXPECT_EQ(load.files.size(), 32);
  EXPECT_EQ(load.failures, 0);
  EXPECT_LE(most.load(), 6);
  EXPECT_GE(most.load(), 2);
  // The phases of each file follow one another from its start to its end; the images that
  // waited for one of the six connections show that wait as queued, not as a name look-up.
  int queued = 0;
  for (const LoadedFile& f : load.files) {
    const std::int64_t sum =
        f.blocked + f.dns + f.connect + f.tls + f.redirect + f.wait + f.receive;
    EXPECT_NEAR(double(sum), double(f.end - f.start), 2000) << f.url.data();
    EXPECT_LT(f.dns, 50000) << f.url.data();
    if (f.blocked >= 50000) ++queued;
  }
  EXPECT_GE(queued, 20);

  BrowserLoadOptions limited;
  limited.maxRequests = 5;
  const BrowserLoad few = LoadLikeABrowser(http.url("/"), limited);
  EXPECT_EQ(few.files.size(), 6);
  EXPECT_EQ(few.notFetched, 26);
}

// A module's static imports are fetched after it, each once, cycles and all; what the module
// would fetch as it runs, and names that need an import map, are not.
TEST(BrowserLoad, ModulesBringTheirStaticImports) {
  HttpTestServer http;
  http.page("/",
            "<script type=module src=/m/main.js></script><link rel=modulepreload href=/m/pre.js>");
  http.page("/m/main.js",
            "import {a} from './dep.js'; import _ from 'lodash'; const l = import('./lazy.js');",
            "text/javascript");
  http.page("/m/dep.js", "import '../m/main.js'; export * from '/m/leaf.js';", "text/javascript");
  http.page("/m/pre.js", "import './leaf.js'", "text/javascript");
  http.page("/m/leaf.js", "export const x = 1;", "text/javascript");
  http.page("/favicon.ico", "icon", "image/x-icon");
  http.start();

  const BrowserLoad load = LoadLikeABrowser(http.url("/"));
  QStringList targets = http.targets();
  targets.sort();
  EXPECT_EQ(targets.join(' '), "/ /favicon.ico /m/dep.js /m/leaf.js /m/main.js /m/pre.js");
  EXPECT_EQ(load.failures, 0);
  std::int64_t modulesEnd = 0;
  for (const LoadedFile& f : load.files)
    if (f.url.contains("/m/") && !f.url.endsWith("pre.js"))
      modulesEnd = std::max(modulesEnd, f.end);
  EXPECT_EQ(load.contentLoad, modulesEnd);  // deferred modules hold DOMContentLoaded back
}

// Over HTTP/1.1, as in a browser, images wait their turn while the page's stylesheet is loading:
// one at a time; after it, many at once.
TEST(BrowserLoad, ImagesGoOneAtATimeWhileAStylesheetBlocksThePageOverHttp1) {
  HttpTestServer http;
  std::atomic<bool> styleLoading{false};
  std::atomic<int> now{0}, mostWhileStyle{0}, mostAfter{0};
  QByteArray page = "<link rel=stylesheet href=/s.css>";
  for (int i = 0; i < 12; ++i) page += "<img src=/img" + QByteArray::number(i) + ".png>";
  http.page("/", page.toStdString());
  http.page("/favicon.ico", "icon", "image/x-icon");
  http.server().Get("/s.css", [&](const httplib::Request&, httplib::Response& res) {
    styleLoading = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    styleLoading = false;
    res.set_content("p{color:red}", "text/css");
  });
  http.server().Get(R"(/img\d+\.png)", [&](const httplib::Request&, httplib::Response& res) {
    const int n = ++now;
    std::atomic<int>& most = styleLoading ? mostWhileStyle : mostAfter;
    int seen = most.load();
    while (n > seen && !most.compare_exchange_weak(seen, n)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    --now;
    res.set_content(std::string(500, 'x'), "image/png");
  });
  http.start();

  const BrowserLoad load = LoadLikeABrowser(http.url("/"));
  EXPECT_EQ(load.failures, 0);
  EXPECT_EQ(mostWhileStyle.load(), 1);
  EXPECT_GE(mostAfter.load(), 4);
}

TEST(BrowserLoad, CancelEndsEveryTransfer) {
  HttpTestServer http;
  http.page("/", "<img src=/slow1.png><img src=/slow2.png>");
  http.server().Get(R"(/slow\d\.png)", [](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    res.set_content("x", "image/png");
  });
  http.page("/favicon.ico", "icon", "image/x-icon");
  http.start();
  BrowserLoadOptions options;
  int calls = 0;
  options.pump = [&] { return ++calls < 4; };
  const BrowserLoad load = LoadLikeABrowser(http.url("/"), options);
  EXPECT_TRUE(load.cancelled);
  const int cancelled = int(std::count_if(load.files.begin(), load.files.end(),
                                          [](const LoadedFile& f) { return f.error == 12017; }));
  EXPECT_GE(cancelled, 2);
  EXPECT_EQ(LoadLikeABrowser("ftp://x.example/").files.value(0).error, 12005);
}

// Over TLS a server that offers HTTP/2 gets every request on one multiplexed connection.
TEST(BrowserLoad, OneHttp2ConnectionPerOriginOverTls) {
  testing::TestAuthority ca;
  ASSERT_TRUE(ca.ok());
  testing::NginxServer::Files files{
      {QStringLiteral("index.html"),
       "<link rel=stylesheet href=s.css><script src=a.js></script><img src=i.png><img src=j.png>"
       "<img src=k.png>"},
      {QStringLiteral("s.css"), "body{background:url(bg.png)}"},
      {QStringLiteral("favicon.ico"), "icon"}};
  for (const char* name : {"a.js", "i.png", "j.png", "k.png", "bg.png"})
    files << std::pair{QString::fromLatin1(name), QByteArray(20000, 'z')};
  testing::NginxServer nginx(files, &ca);
  if (!nginx.ready()) GTEST_SKIP() << "nginx (Debian's nginx-light) could not be started";

  BrowserLoadOptions options;
  options.caFile = QByteArray::fromStdString(ca.caFile());
  const BrowserLoad load = LoadLikeABrowser(nginx.url(QStringLiteral("/index.html")), options);
  ASSERT_EQ(load.files.size(), 8);
  EXPECT_EQ(load.failures, 0);
  for (const LoadedFile& f : load.files) EXPECT_EQ(f.httpVersion, "2") << f.url.data();
  const QList<testing::NginxServer::Request> log = nginx.requests(8);
  EXPECT_EQ(log.size(), 8);
  QSet<QString> connections;
  for (const testing::NginxServer::Request& r : log) {
    EXPECT_EQ(r.protocol, "HTTP/2.0") << r.target.toStdString();
    connections.insert(r.connection);
  }
  EXPECT_EQ(connections.size(), 1);
  EXPECT_GT(load.files[0].tls, 0);
}

}  // namespace
}  // namespace quorvel
