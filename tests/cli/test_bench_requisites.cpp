// quorvel bench --browser against nginx on loopback, as a user runs it: what the server saw
// the program fetch for every kind of requisite (and nothing else), over HTTP/1.1 and over
// HTTP/2 with TLS; how many connections a host had at once; pages of 10,000 requisites; and
// single requisites that fail or stall while the rest of the page counts.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QUrl>
#include <algorithm>

#include <unistd.h>

#include "cli/cli_fixture.h"
#include "core/error_numbers.h"
#include "core/exit_codes.h"
#include "core/settings.h"
#include "loopback_servers.h"
#include "nginx_server.h"

namespace quorvel {
namespace {

using testing::Ended;
using testing::jsonOf;
using testing::NginxServer;

// The real program started so that, for it alone, the system's certificate authorities are the
// test's: a mount namespace of its own with the test authority over the system's bundle.
// Empty when that cannot be done here (not root, or no mount namespaces).
QStringList TrustingOnly(const testing::TestAuthority& ca) {
  if (::geteuid() != 0) return {};
  const QStringList wrapper{"unshare",
                            "--mount",
                            "sh",
                            "-c",
                            "mount --bind \"$0\" /etc/ssl/certs/ca-certificates.crt && exec \"$@\"",
                            QString::fromStdString(ca.caFile())};
  QProcess probe;
  probe.start(wrapper[0], wrapper.mid(1) + QStringList{"true"});
  const bool works = probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit &&
                     probe.exitCode() == 0;
  return works ? wrapper : QStringList();
}

// A site that names a file of every kind a browser fetches at load, the kinds it does not
// fetch, and each of several files more than once.
const char kKinds[] = R"html(<!DOCTYPE html>
<html lang=en><head><meta charset=utf-8><title>Every kind</title>
<link rel=stylesheet href=css/main.css>
<link rel=stylesheet href=/css/main.css>
<link rel=stylesheet href=css/print.css media=print>
<style>@import url(css/block.css); .hero { background: url(img/block-bg.png) }</style>
<script src=js/classic.js></script>
<script type=module src=js/module.js></script>
<script nomodule src=js/legacy.js></script>
<link rel=icon href=img/icon.png>
<link rel=apple-touch-icon href=img/touch.png>
<link rel=manifest href=site.webmanifest>
<link rel=preload href=fonts/pre.woff2 as=font type=font/woff2 crossorigin>
<link rel=preload href=img/hero.png as=image>
<link rel=modulepreload href=js/dep.js>
</head><body>
<div class=hero style="background-image: url('img/attr-bg.png')"></div>
<img src=img/hero.png height=100><img src=/img/hero.png height=100>
<img src=img/fallback.png srcset="img/w400.png 400w, img/w1600.png 1600w"
     sizes="(max-width: 600px) 100vw, 50vw" height=100>
<picture><source media="(max-width: 800px)" srcset=img/narrow.png>
<source type=image/webp srcset="img/wide.webp 1x, img/wide2.webp 2x">
<img src=img/pic-fallback.png height=100></picture>
<img srcset="img/d1.png 1x, img/d2.png 2x" src=img/d1.png height=100>
<img loading=lazy src=img/lazy-near.png height=100>
<video poster=img/poster.png preload=none src=media/clip.mp4 height=100></video>
<video height=100><source src=media/movie.webm type=video/webm>
<source src=media/movie.mp4 type=video/mp4></video>
<audio preload=none autoplay src=media/auto.mp3></audio>
<audio preload=none src=media/none.mp3></audio>
<embed src=media/plugin.svg type=image/svg+xml height=100>
<object data=media/doc.pdf type=application/pdf height=100></object>
<bgsound src=media/bg.mid>
<iframe src=frames/f1.html height=100></iframe>
<img src=img/tall.png height=3000>
<img loading=lazy src=img/lazy-far.png>
</body></html>
)html";

NginxServer::Files KindsSite() {
  NginxServer::Files files{
      {"index.html", kKinds},
      {"plain.html", "<p>No icon declared <img src=img/plain.png>"},
      {"css/main.css",
       "@import 'loop.css';\n@import url(\"ping.css\") screen;\n"
       "@font-face { font-family: Main; src: url(../fonts/main.woff2) format('woff2') }\n"
       "body { font-family: Main; background: url(../img/css-bg.png) }\n"
       ".a { background-image: url(\"../img/css-bg.png\") }\n"
       "@media (max-width: 600px) { body { background: url(../img/phone-bg.png) } }\n"},
      {"css/loop.css", "@import \"loop.css\";\n.l { background: url(../img/loop.png) }\n"},
      {"css/ping.css", "@import 'pong.css';\n"},
      {"css/pong.css", "@import 'ping.css';\n.p { background: url(/img/pong.png) }\n"},
      {"css/block.css", ".b { background: url(../img/block-import.png) }\n"},
      {"css/print.css", "body { color: black }\n"},
  };
  for (int i = 1; i <= 6; ++i) {
    const QString n = QString::number(i);
    files.append({"frames/f" + n + ".html", ("<img src=f" + n + ".png><iframe src=f" +
                                             QString::number(i + 1) + ".html></iframe>")
                                                .toUtf8()});
  }
  for (const char* name :
       {"js/classic.js",        "js/module.js",      "js/legacy.js",         "js/dep.js",
        "img/icon.png",         "img/touch.png",     "site.webmanifest",     "fonts/pre.woff2",
        "fonts/main.woff2",     "img/hero.png",      "img/block-bg.png",     "img/attr-bg.png",
        "img/fallback.png",     "img/w400.png",      "img/w1600.png",        "img/narrow.png",
        "img/wide.webp",        "img/wide2.webp",    "img/pic-fallback.png", "img/d1.png",
        "img/d2.png",           "img/lazy-near.png", "img/lazy-far.png",     "img/poster.png",
        "img/tall.png",         "img/css-bg.png",    "img/loop.png",         "img/pong.png",
        "img/block-import.png", "img/plain.png",     "media/clip.mp4",       "media/movie.webm",
        "media/movie.mp4",      "media/auto.mp3",    "media/none.mp3",       "media/plugin.svg",
        "media/doc.pdf",        "media/bg.mid",      "frames/f1.png",        "frames/f2.png",
        "frames/f3.png",        "frames/f4.png",     "frames/f5.png",        "frames/f6.png",
        "img/phone-bg.png",     "favicon.ico"})
    files.append({QString::fromLatin1(name), QByteArray(3000, 'k')});
  return files;
}

// What a browser fetches for each page of the site, each once: not the nomodule script, the
// apple-touch-icon, the other candidates, the image of a phone's screen, the poster-only video's
// file, the audio without preload, the bgsound, the frame at depth 6 or the lazy image far below
// the first screen.
const struct {
  const char* page;
  QStringList fetched;
} kPages[] = {
    {"/index.html",
     {"/css/block.css",        "/css/loop.css",      "/css/main.css",     "/css/ping.css",
      "/css/pong.css",         "/css/print.css",     "/fonts/main.woff2", "/fonts/pre.woff2",
      "/frames/f1.html",       "/frames/f1.png",     "/frames/f2.html",   "/frames/f2.png",
      "/frames/f3.html",       "/frames/f3.png",     "/frames/f4.html",   "/frames/f4.png",
      "/frames/f5.html",       "/frames/f5.png",     "/img/attr-bg.png",  "/img/block-bg.png",
      "/img/block-import.png", "/img/css-bg.png",    "/img/d1.png",       "/img/hero.png",
      "/img/icon.png",         "/img/lazy-near.png", "/img/loop.png",     "/img/pong.png",
      "/img/poster.png",       "/img/tall.png",      "/img/w1600.png",    "/img/wide.webp",
      "/index.html",           "/js/classic.js",     "/js/dep.js",        "/js/module.js",
      "/media/auto.mp3",       "/media/doc.pdf",     "/media/movie.webm", "/media/plugin.svg",
      "/site.webmanifest"}},
    {"/plain.html", {"/favicon.ico", "/img/plain.png", "/plain.html"}},
};

class BenchRequisites : public testing::CommandLineTest {
 protected:
  // quorvel bench --browser --json for `url`, through `wrapper` when given.
  Ended bench(const QString& url, const QStringList& wrapper = {}, int timeoutMs = 60000) {
    return testing::runQuorvel(dir_.path(), {"bench", "--browser", "--no-log", "--json", url},
                               timeoutMs, false, wrapper);
  }
};

TEST_F(BenchRequisites, TheServerSeesWhatThePageNamesEachOnceOverHttp1AndHttp2) {
  testing::TestAuthority ca;
  ASSERT_TRUE(ca.ok());
  for (const bool tls : {false, true}) {
    SCOPED_TRACE(tls ? "HTTP/2 over TLS" : "HTTP/1.1");
    const QStringList wrapper = tls ? TrustingOnly(ca) : QStringList();
    if (tls && wrapper.isEmpty())
      GTEST_SKIP() << "trusting the test's authority needs root and mount namespaces";
    NginxServer nginx(KindsSite(), tls ? &ca : nullptr);
    if (!nginx.ready()) GTEST_SKIP() << "nginx (Debian's nginx-light) could not be started";
    qsizetype before = 0;
    for (const auto& p : kPages) {
      SCOPED_TRACE(p.page);
      const Ended r = bench(nginx.url(p.page), wrapper);
      ASSERT_EQ(r.code, kExitOk) << r.err.toStdString() << r.out.toStdString();
      const QJsonObject totals = jsonOf(r.out)["totals"].toObject();
      EXPECT_EQ(totals["files"].toInt(), p.fetched.size());
      EXPECT_EQ(totals["errors"].toInt(), 0);

      const QList<NginxServer::Request> all = nginx.requests(int(before + p.fetched.size()));
      const QList<NginxServer::Request> seen = all.mid(before);
      before = all.size();
      QStringList targets;
      QSet<QString> connections;
      for (const NginxServer::Request& s : seen) {
        targets << s.target;
        connections.insert(s.connection);
        EXPECT_EQ(s.protocol, tls ? "HTTP/2.0" : "HTTP/1.1") << s.target.toStdString();
      }
      targets.sort();
      EXPECT_EQ(targets, p.fetched);
      // One multiplexed connection to the origin; kept connections, never more than six.
      if (tls)
        EXPECT_EQ(connections.size(), 1);
      else
        EXPECT_LE(connections.size(), 6);
    }
  }
}

// Answers that take a second each (nginx sends the first 10 KB of each at once, the rest a
// second later), so that transfers overlap: the server never has more than six connections
// from the program at once, and it has several, kept for the next files.
TEST_F(BenchRequisites, AtMostSixConnectionsAtOnceToAHostOverHttp1) {
  NginxServer::Files files;
  QByteArray page = "<link rel=icon href=/slow/icon.png>";
  for (int i = 0; i < 14; ++i) {
    const QString name = QStringLiteral("slow/%1.png").arg(i);
    page += "<img src=/" + name.toUtf8() + ">";
    files.append({name, QByteArray(15000, 'c')});
  }
  files.append({QStringLiteral("slow/icon.png"), QByteArray(15000, 'i')});
  files.append({QStringLiteral("index.html"), page});
  NginxServer nginx(files, nullptr, "location /slow/ { limit_rate 10k; }");
  if (!nginx.ready()) GTEST_SKIP() << "nginx (Debian's nginx-light) could not be started";

  const Ended r = bench(nginx.url("/index.html"));
  ASSERT_EQ(r.code, kExitOk) << r.err.toStdString();
  const QList<NginxServer::Request> seen = nginx.requests(16);
  ASSERT_EQ(seen.size(), 16);
  QSet<QString> connections;
  for (const NginxServer::Request& s : seen) connections.insert(s.connection);
  EXPECT_LE(connections.size(), 6);  // kept, not opened anew
  const int most = testing::MostConnectionsAtOnce(seen);
  EXPECT_LE(most, 6);
  EXPECT_GE(most, 4);
}

// A page of 10,000 requisites is loaded whole; beyond that the run says how many it left.
TEST_F(BenchRequisites, PagesOfTenThousandRequisitesEndWithTheirCounts) {
  NginxServer nginx({{"favicon.ico", "i"}}, nullptr,
                    "location /n/ { access_log off; return 200 'x'; }");
  if (!nginx.ready()) GTEST_SKIP() << "nginx (Debian's nginx-light) could not be started";
  const struct {
    int images;
    int fetched, notFetched;
  } cases[] = {{9999, 10001, 0}, {10005, 10001, 6}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.images);
    QByteArray page = "<!DOCTYPE html><title>Many</title>";
    for (int i = 0; i < c.images; ++i) page += "<img src=/n/" + QByteArray::number(i) + ".png>";
    const QString name = QStringLiteral("many%1.html").arg(c.images);
    testing::put(nginx.root() + "/" + name, page);
    writeFile("URLS.DAT", nginx.url("/" + name).toUtf8() + "\n");
    writeFile("Quorvel.ini", "[URLInfo]\nURLFile=URLS.DAT\nBrowserLoad=1\n");
    QFile::remove(path("Debug.log"));
    const Ended r = runProgram({"auto", "debug1"}, 180000);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.code, kExitOk) << r.err.toStdString();
    // One line per file in the result log; the page's icon among them.
    int fileLines = 0;
    for (const QString& l : logLines("QuorvelLog.txt")) fileLines += l.contains(" bytes ");
    EXPECT_EQ(fileLines, c.fetched);
    EXPECT_TRUE(
        readFile("Debug.log")
            .contains(QStringLiteral(", %1 beyond the request limit").arg(c.notFetched).toUtf8()));
    QFile::remove(path("QuorvelLog.txt"));
  }
}

// One image missing, one the server fails on, one that never comes within the request limit of
// the settings: three failures with their numbers, the rest of the page counted, exit code 4.
TEST_F(BenchRequisites, FailedAndStalledRequisitesAreErrorsAndTheRestCounts) {
  testing::TestAuthority ca;
  ASSERT_TRUE(ca.ok());
  testing::RawTestServer stalling([](int socket, const std::string&) {
    testing::RawTestServer::waitForClose(socket, 20);  // answers nothing
  });
  const NginxServer::Files files{
      {"index.html",
       "<link rel=stylesheet href=s.css><img src=a.png><img src=missing.png>"
       "<img src=/fail/b.png><img src=/stall/c.png><img src=d.png>"},
      {"s.css", "body{background:url(e.png)}"},
      {"a.png", QByteArray(1000, 'a')},
      {"d.png", QByteArray(2000, 'd')},
      {"e.png", QByteArray(4000, 'e')},
      {"favicon.ico", "i"}};
  const QString locations = QStringLiteral(
                                "location /fail/ { return 500; }\n"
                                "location /stall/ { proxy_pass http://127.0.0.1:%1; }")
                                .arg(stalling.port());
  ASSERT_TRUE(WriteSetting(path("Quorvel.ini"), "URLInfo", "RequestLimit", "1.5"));
  for (const bool tls : {false, true}) {
    SCOPED_TRACE(tls ? "HTTP/2 over TLS" : "HTTP/1.1");
    const QStringList wrapper = tls ? TrustingOnly(ca) : QStringList();
    if (tls && wrapper.isEmpty())
      GTEST_SKIP() << "trusting the test's authority needs root and mount namespaces";
    NginxServer nginx(files, tls ? &ca : nullptr, locations);
    if (!nginx.ready()) GTEST_SKIP() << "nginx (Debian's nginx-light) could not be started";

    const Ended r = bench(nginx.url("/index.html"), wrapper, 30000);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.code, kExitMeasureFailed) << r.err.toStdString();
    const QJsonObject doc = jsonOf(r.out), totals = doc["totals"].toObject();
    EXPECT_EQ(totals["valid_urls"].toInt(), 1);
    EXPECT_EQ(totals["files"].toInt(), 6);  // those that came
    EXPECT_EQ(totals["errors"].toInt(), 3);
    EXPECT_GE(totals["bytes"].toInt(), 7000);  // the page's good files all count
    QMap<QString, int> errors;
    for (const QJsonValue& v : doc["requests"].toArray()) {
      const QJsonObject o = v.toObject();
      if (o["error"].toInt() != 0) errors[QUrl(o["url"].toString()).path()] = o["error"].toInt();
    }
    EXPECT_EQ(errors, (QMap<QString, int>{{"/missing.png", err::kNotFoundPage},
                                          {"/fail/b.png", 500},
                                          {"/stall/c.png", err::kTimedOut}}));
  }
}

}  // namespace
}  // namespace quorvel
