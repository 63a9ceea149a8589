// quorvel bench --browser: the real program loads a page on loopback as a browser loads it and
// says so in every form it writes.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>

#include "cli/cli_fixture.h"
#include "cli/har_validator.h"
#include "core/exit_codes.h"
#include "core/settings.h"
#include "loopback_servers.h"

namespace quorvel {
namespace {

using testing::Ended;
using testing::jsonOf;

// A stylesheet with a font and a background image, a script, an image with candidates (the
// 1x one chosen at the default viewport), each named twice, and no icon declared; a lazy image
// far below the first viewport and one that only a script would load, neither fetched.
const std::string kIndex =
    "<html><head><link rel=stylesheet href=s.css><script src=a.js></script>"
    "<link rel=stylesheet href=/s.css></head><body>"
    "<img src=i1.png srcset=\"i1.png 1x, i2.png 2x\"><img src=p.png><img src=/p.png>"
    "<script src=a.js></script><img src=p.png height=4000><img loading=lazy src=far.png>"
    "<img class=lazyload data-src=later.png></body></html>";
const std::string kStyle =
    "@font-face{font-family:F;src:url(f.woff2) format('woff2')}"
    "body{font-family:F;background:url(\"bg.png\")}";
const QStringList kRequisites{"/a.js",   "/bg.png", "/f.woff2", "/favicon.ico",
                              "/i1.png", "/p.png",  "/s.css"};

class BenchBrowser : public testing::CommandLineTest {
 protected:
  void SetUp() override {
    CommandLineTest::SetUp();
    http_.page("/index.htm", kIndex);
    http_.page("/s.css", kStyle, "text/css");
    http_.page("/a.js", "var a = 1;", "text/javascript");
    http_.page("/f.woff2", std::string(500, 'f'), "font/woff2");
    http_.page("/bg.png", std::string(700, 'b'), "image/png");
    http_.page("/i1.png", std::string(1000, '1'), "image/png");
    http_.page("/i2.png", std::string(2000, '2'), "image/png");
    http_.page("/p.png", std::string(300, 'p'), "image/png");
    http_.page("/far.png", std::string(300, 'f'), "image/png");  // fetched by a page run
    http_.page("/favicon.ico", "icon", "image/x-icon");
    http_.page("/gone.htm", "<img src=p.png><img src=nothere.png>");
    http_.page("/nothere.png", "gone", "text/plain", 404);
    http_.start();
  }
  QString url(const char* path) const { return http_.url(path); }
  QStringList seenSorted() {
    QStringList s = http_.targets();
    std::sort(s.begin(), s.end());
    return s;
  }
  testing::HttpTestServer http_;
};

TEST_F(BenchBrowser, EveryRequisiteOnceTheLoadTimeAndTheModeInEveryOutput) {
  const Ended r = runProgram({"bench", "--browser", "--json", "--har", path("run.har"), "--metrics",
                              path("run.prom"), url("/index.htm")});
  ASSERT_EQ(r.code, kExitOk) << r.err.toStdString();
  QStringList all = kRequisites + QStringList{"/index.htm"};
  all.sort();
  EXPECT_EQ(seenSorted(), all);  // i2.png, the 2x candidate, is not

  const QJsonObject doc = jsonOf(r.out), totals = doc["totals"].toObject();
  EXPECT_EQ(doc["mode"].toString(), "browser");
  EXPECT_EQ(totals["files"].toInt(), 8);
  EXPECT_EQ(totals["errors"].toInt(), 0);
  const QJsonArray requests = doc["requests"].toArray();
  ASSERT_EQ(requests.size(), 8);
  const QJsonObject page = requests[0].toObject();
  EXPECT_EQ(page["kind"].toString(), "page");
  // The page's time is its load time: no shorter than any of its files, no longer than their sum.
  const double load = page["load_microseconds"].toDouble();
  double longest = 0, sum = 0;
  for (const QJsonValue& v : requests) {
    longest = std::max(longest, v.toObject()["microseconds"].toDouble());
    sum += v.toObject()["microseconds"].toDouble();
  }
  EXPECT_GE(load, longest);
  EXPECT_LE(load, sum + 1000);
  EXPECT_EQ(totals["microseconds"].toDouble(), load);
  // First byte, then DOMContentLoaded (the stylesheet and script done), then load.
  const double firstByte = page["first_byte_microseconds"].toDouble(),
               contentLoad = page["content_load_microseconds"].toDouble();
  EXPECT_GT(firstByte, 0);
  EXPECT_LE(firstByte, contentLoad);
  EXPECT_LE(contentLoad, load);
  EXPECT_EQ(page["load"].toObject()["requests"].toInt(), 8);
  EXPECT_EQ(
      page["not_fetched"].toObject(),
      (QJsonObject{{"lazy_below_viewport", 1}, {"beyond_request_limit", 0}, {"script_only", 1}}));

  // The result log: one line per file, each its own interval.
  int fileLines = 0;
  for (const QString& l : logLines("QuorvelLog.txt")) fileLines += l.contains(" bytes ");
  EXPECT_EQ(fileLines, 8);

  const QJsonObject har = jsonOf(readFile("run.har"))["log"].toObject();
  EXPECT_EQ(har["_mode"].toString(), "browser");
  const QJsonObject harPage = har["pages"].toArray()[0].toObject();
  EXPECT_EQ(harPage["_mode"].toString(), "browser");
  EXPECT_NEAR(harPage["pageTimings"].toObject()["onLoad"].toDouble(), load / 1000.0, 0.01);
  EXPECT_EQ(har["entries"].toArray().size(), 8);
  if (const QString missing = testing::harValidatorMissing(); missing.isEmpty())
    EXPECT_EQ(testing::harVerdict(path("run.har")), "valid");
  else
    ADD_FAILURE() << missing.toStdString();

  const QByteArray metrics = readFile("run.prom");
  EXPECT_TRUE(metrics.contains("\nquorvel_bench_browser_mode 1\n"));
  EXPECT_TRUE(metrics.contains("\nquorvel_bench_page_content_load_seconds{url="));
  EXPECT_EQ(testing::promtoolComplaint(path("run.prom")), "");
}

TEST_F(BenchBrowser, TheSettingChoosesAndErrorsCountAsInAPageRun) {
  const struct {
    const char* setting;
    QStringList args;
    const char* mode;
    int code;
    bool cssFetched;
  } cases[] = {
      {"0", {"--json", "/index.htm"}, "page", kExitOk, false},
      {"1", {"--json", "/index.htm"}, "browser", kExitOk, true},
      {"0", {"--browser", "--json", "/index.htm"}, "browser", kExitOk, true},
      {"1", {"--csv", "/gone.htm"}, "browser", kExitMeasureFailed, false},
      {"1", {"--json", "/nowhere.htm"}, "browser", kExitMeasureFailed, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString() + " with " + c.setting);
    ASSERT_TRUE(WriteSetting(path("Quorvel.ini"), "URLInfo", "BrowserLoad", c.setting));
    QStringList args{"bench", "--no-log"};
    for (const QString& a : c.args) args << (a.startsWith('/') ? url(a.toUtf8().constData()) : a);
    const int before = int(http_.targets().size());
    const Ended r = runProgram(args);
    EXPECT_EQ(r.code, c.code) << r.err.toStdString();
    const QStringList seen = http_.targets().mid(before);
    EXPECT_EQ(seen.contains("/s.css"), c.cssFetched);
    if (c.args.contains("--csv")) {
      const QList<QByteArray> rows = r.out.split('\n');
      const qsizetype mode = rows[0].split(',').indexOf("mode");
      EXPECT_EQ(rows[1].split(',').value(mode), "browser");
      // The page, its image, the missing image (an error) and the icon, each once.
      EXPECT_EQ(seen.size(), 4) << seen.join(' ').toStdString();
      EXPECT_EQ(seen.count("/p.png"), 1);
    } else {
      EXPECT_EQ(jsonOf(r.out)["mode"].toString(), c.mode);
    }
  }
}

TEST_F(BenchBrowser, ThePageAndItsRequisitesGoThroughTheProxyOfTheSettings) {
  testing::HttpTestServer proxy;
  proxy.page(".*", "<html><img src=i.png></html>");
  proxy.start();
  writeFile(
      "Quorvel.ini",
      QStringLiteral("[Proxy]\nUse=1\nAddress=127.0.0.1\nPort=%1\n").arg(proxy.port()).toUtf8());
  const Ended r =
      runProgram({"bench", "--browser", "--no-log", "http://quorvel-proxy-test.invalid/p.htm"});
  EXPECT_EQ(r.code, kExitOk) << r.err.toStdString();
  QStringList seen = proxy.targets();
  seen.sort();
  EXPECT_EQ(seen, QStringList({"http://quorvel-proxy-test.invalid/favicon.ico",
                               "http://quorvel-proxy-test.invalid/i.png",
                               "http://quorvel-proxy-test.invalid/p.htm"}));
}

}  // namespace
}  // namespace quorvel
