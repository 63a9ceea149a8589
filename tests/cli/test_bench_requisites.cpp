// quorvel bench --browser against nginx on loopback, as a user runs it: what the server saw
// the program fetch for every kind of requisite (and nothing else), over HTTP/1.1 and over
// HTTP/2 with TLS; how many connections a host had at once; pages of 10,000 requisites; and
// single requisites that fail or stall while the rest of the page counts.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QSet>
#include <algorithm>

#include <unistd.h>

#include "cli/cli_fixture.h"
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
// Empty when that cannot be done here (not root).
QStringList TrustingOnly(const testing::TestAuthority& ca) {
  if (::geteuid() != 0) return {};
  return {"unshare", "--mount", "sh", "-c",
          "mount --bind \"$0\" /etc/ssl/certs/ca-certificates.crt && exec \"$@\"",
          QString::fromStdString(ca.caFile())};
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
       ".a { background-image: url(\"../img/css-bg.png\") }\n"},
      {"css/loop.css", "@import \"loop.css\";\n.l { background: url(../img/loop.png) }\n"},
      {"css/ping.css", "@import 'pong.css';\n"},
      {"css/pong.css", "@import 'ping.css';\n.p { background: url(/img/pong.png) }\n"},
      {"css/block.css", ".b { background: url(../img/block-import.png) }\n"},
      {"css/print.css", "body { color: black }\n"},
  };
  for (int i = 1; i <= 6; ++i) {
    const QString n = QString::number(i);
    files.append({"frames/f" + n + ".html",
                  ("<img src=f" + n + ".png><iframe src=f" + QString::number(i + 1) +
                   ".html></iframe>")
                      .toUtf8()});
  }
  for (const char* name :
       {"js/classic.js", "js/module.js", "js/legacy.js", "js/dep.js", "img/icon.png",
        "img/touch.png", "site.webmanifest", "fonts/pre.woff2", "fonts/main.woff2", "img/hero.png",
        "img/block-bg.png", "img/attr-bg.png", "img/fallback.png", "img/w400.png", "img/w1600.png",
        "img/narrow.png", "img/wide.webp", "img/wide2.webp", "img/pic-fallback.png", "img/d1.png",
        "img/d2.png", "img/lazy-near.png", "img/lazy-far.png", "img/poster.png", "img/tall.png",
        "img/css-bg.png", "img/loop.png", "img/pong.png", "img/block-import.png", "img/plain.png",
        "media/clip.mp4", "media/movie.webm", "media/movie.mp4", "media/auto.mp3",
        "media/none.mp3", "media/plugin.svg", "media/doc.pdf", "media/bg.mid", "frames/f1.png",
        "frames/f2.png", "frames/f3.png", "frames/f4.png", "frames/f5.png", "frames/f6.png",
        "favicon.ico"})
    files.append({QString::fromLatin1(name), QByteArray(3000, 'k')});
  return files;
}

// What a browser fetches for each page of the site, each once: not the nomodule script, the
// apple-touch-icon, the other candidates, the poster-only video's file, the audio without
// preload, the bgsound, the frame at depth 6 or the lazy image far below the first screen.
const struct {
  const char* page;
  QStringList fetched;
} kPages[] = {
    {"/index.html",
     {"/css/block.css",    "/css/loop.css",      "/css/main.css",       "/css/ping.css",
      "/css/pong.css",     "/css/print.css",     "/fonts/main.woff2",   "/fonts/pre.woff2",
      "/frames/f1.html",   "/frames/f1.png",     "/frames/f2.html",     "/frames/f2.png",
      "/frames/f3.html",   "/frames/f3.png",     "/frames/f4.html",     "/frames/f4.png",
      "/frames/f5.html",   "/frames/f5.png",     "/img/attr-bg.png",    "/img/block-bg.png",
      "/img/block-import.png", "/img/css-bg.png", "/img/d1.png",        "/img/hero.png",
      "/img/icon.png",     "/img/lazy-near.png", "/img/loop.png",       "/img/pong.png",
      "/img/poster.png",   "/img/tall.png",      "/img/w1600.png",      "/img/wide.webp",
      "/index.html",       "/js/classic.js",     "/js/dep.js",          "/js/module.js",
      "/media/auto.mp3",   "/media/doc.pdf",     "/media/movie.webm",   "/media/plugin.svg",
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
    if (tls && wrapper.isEmpty()) GTEST_SKIP() << "trusting the test's authority needs root";
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

}  // namespace
}  // namespace quorvel
