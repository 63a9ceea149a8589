// The HAR file of a run that loads its page as a browser does: the real loader against real
// servers on loopback (HTTP/1.1 with more files than a host's connections, HTTP/2 over TLS),
// the run's records, the archive as the command writes it. It must be valid HAR, and its
// timings what a viewer needs to draw the waterfall as the requests happened.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "bench/browser_loader.h"
#include "cli/bench_report.h"
#include "cli/cli_fixture.h"
#include "cli/har_validator.h"
#include "core/app_state.h"
#include "core/settings.h"
#include "core/tick.h"
#include "loopback_servers.h"
#include "nginx_server.h"
#include "run_fakes.h"

namespace quorvel {
namespace {

qint64 msOf(const QJsonValue& isoTime) {
  return QDateTime::fromString(isoTime.toString(), Qt::ISODateWithMs).toMSecsSinceEpoch();
}

// What a HAR viewer relies on to draw one page's waterfall: each entry's time is the sum of its
// timings (ssl inside connect) and the interval the run measured; the entries start no earlier
// than their page and end by its onLoad, after its onContentLoad; requests made side by side
// overlap. Returns the largest number of entries under way at one moment.
int expectDrawnRight(const QJsonObject& log, const std::vector<RequestRecord>& records) {
  const QJsonObject page = log["pages"].toArray()[0].toObject();
  const QJsonObject pageTimings = page["pageTimings"].toObject();
  const qint64 pageStart = msOf(page["startedDateTime"]);
  const double onLoad = pageTimings["onLoad"].toDouble();
  const double onContentLoad = pageTimings["onContentLoad"].toDouble();
  EXPECT_GT(onContentLoad, 0);
  EXPECT_LE(onContentLoad, onLoad);
  EXPECT_LE(pageTimings["_firstByte"].toDouble(), onContentLoad);
  std::vector<std::pair<double, double>> spans;  // ms from the page's start
  const QJsonArray entries = log["entries"].toArray();
  EXPECT_EQ(entries.size(), qsizetype(records.size()));
  for (qsizetype i = 0; i < entries.size(); ++i) {
    const QJsonObject e = entries[i].toObject(), t = e["timings"].toObject();
    const QString url = e["request"].toObject()["url"].toString();
    SCOPED_TRACE(url.toStdString());
    double sum = 0;
    for (const char* phase : {"blocked", "dns", "connect", "send", "wait", "receive"})
      sum += std::max(0.0, t[phase].toDouble());
    const double time = e["time"].toDouble();
    EXPECT_NEAR(time, sum, 0.001);
    EXPECT_NEAR(time, double(records[size_t(i)].micros) / 1000.0, 0.001);
    EXPECT_LE(t["ssl"].toDouble(), t["connect"].toDouble());
    const double start = double(msOf(e["startedDateTime"]) - pageStart);
    EXPECT_GE(start, 0);
    EXPECT_LE(start + time, onLoad + 1.0);  // the start is whole milliseconds
    spans.emplace_back(start, start + time);
  }
  int most = 0;
  for (const auto& span : spans) {
    const double at = span.first;
    most = std::max(most, int(std::count_if(spans.begin(), spans.end(), [at](const auto& s) {
                      return s.first <= at && at < s.second;
                    })));
  }
  return most;
}

class BrowserHar : public testing::RunFixture {
 protected:
  // Runs the page as a browser loads it, trusting `caFile` for https, and writes the HAR file.
  QJsonObject archive(const QString& url, const QByteArray& caFile = {}) {
    EXPECT_TRUE(WriteSetting(appState().settingsPath, QStringLiteral("URLInfo"),
                             QStringLiteral("BrowserLoad"), QStringLiteral("1")));
    BrowserLoadOptions options;
    options.caFile = caFile;
    CurlBrowserLoader loader(options);
    view_.url = url;
    view_.logging = false;
    env_.browserLoader = &loader;
    env_.clockMicros = &monotonicMicros;
    report_ = {};
    report_.browser = true;
    env_.onRequest = [this](const RequestRecord& r) { report_.requests.push_back(r); };
    run();
    writeFile(QStringLiteral("run.har"), QJsonDocument(cli::BenchHar(report_)).toJson());
    if (const QString missing = testing::harValidatorMissing(); missing.isEmpty())
      EXPECT_EQ(testing::harVerdict(path(QStringLiteral("run.har"))), "valid");
    else
      ADD_FAILURE() << missing.toStdString();
    return testing::jsonOf(readFile(QStringLiteral("run.har")))["log"].toObject();
  }
  cli::BenchReport report_;
};

// A page with a stylesheet, a script and 12 images on one host: over HTTP/1.1 six connections
// at most, so images wait in the queue; over HTTP/2 one connection, its TLS handshake part of
// the page's connect. Text comes compressed in both, so decoded bytes exceed the wire's.
TEST_F(BrowserHar, TimingsDrawTheLoadAsItHappened) {
  std::string page =
      "<html><head><link rel=stylesheet href=s.css><script src=a.js></script>"
      "</head><body>";
  for (int i = 0; i < 12; ++i) page += "<img src=i" + std::to_string(i) + ".png>";
  page += "<link rel=icon href=i0.png></body></html>";
  const std::string style = "body{margin:0}\n" + std::string(8000, ' ') + "p{color:red}";
  const std::string script = "var a = 1;\n" + std::string(8000, ' ') + "var b = 2;";
  const QByteArray image(3000, 'i');

  testing::HttpTestServer http;
  http.page("/index.html", page);
  http.page("/s.css", style, "text/css");
  http.page("/a.js", script, "application/javascript");
  http.server().Get(R"(/i\d+\.png)", [&](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    res.set_content(image.toStdString(), "image/png");
  });
  http.start();

  testing::TestAuthority ca;
  ASSERT_TRUE(ca.ok());
  testing::NginxServer::Files files{
      {QStringLiteral("index.html"), QByteArray::fromStdString(page)},
      {QStringLiteral("s.css"), QByteArray::fromStdString(style)},
      {QStringLiteral("a.js"), QByteArray::fromStdString(script)}};
  for (int i = 0; i < 12; ++i) files.append({QStringLiteral("i%1.png").arg(i), image});
  testing::NginxServer nginx(
      files, &ca, {},
      QStringLiteral("types { text/html html; text/css css; application/javascript js; "
                     "image/png png; } gzip on; "
                     "gzip_types text/css application/javascript;"));

  const struct {
    const char* name;
    std::function<QString()> url;
    QByteArray caFile;
    const char* version;
    bool queued, tls;
  } cases[] = {
      {"HTTP/1.1", [&] { return http.url("/index.html"); }, {}, "HTTP/1.1", true, false},
      {"HTTP/2 over TLS", [&] { return nginx.url(QStringLiteral("/index.html")); },
       QByteArray::fromStdString(ca.caFile()), "HTTP/2", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.tls && !nginx.ready()) {
      ADD_FAILURE() << "nginx (Debian's nginx-light) could not be started";
      continue;
    }
    const QJsonObject log = archive(c.url(), c.caFile);
    ASSERT_EQ(report_.requests.size(), 15u);  // the page, 2 files, 12 images
    const int most = expectDrawnRight(log, report_.requests);
    EXPECT_GE(most, c.queued ? 6 : 3);

    const QJsonArray entries = log["entries"].toArray();
    const QJsonObject first = entries[0].toObject(), firstTimings = first["timings"].toObject();
    EXPECT_EQ(first["_kind"].toString(), "page");
    EXPECT_EQ(firstTimings["ssl"].toDouble() > 0, c.tls);
    EXPECT_GE(firstTimings["connect"].toDouble(), firstTimings["ssl"].toDouble());
    double longestQueue = 0;
    int compressed = 0;
    for (const QJsonValue& v : entries) {
      const QJsonObject e = v.toObject(), response = e["response"].toObject(),
                        content = response["content"].toObject();
      EXPECT_EQ(response["httpVersion"].toString(), c.version);
      longestQueue = std::max(longestQueue, e["timings"].toObject()["blocked"].toDouble());
      // The body as sent, decoded, and what its encoding saved.
      const double saved = content["size"].toDouble() - response["bodySize"].toDouble();
      EXPECT_GE(saved, 0);
      EXPECT_EQ(content["compression"].toDouble(), saved);
      compressed += saved > 4000;
    }
    EXPECT_EQ(compressed, 2);  // the stylesheet and the script
    // Six connections busy with images for 80 ms each: the seventh waits its turn.
    if (c.queued) {
      EXPECT_GE(longestQueue, 50);
    }
  }
}

// A load with a redirect and a queued file, laid out by hand: where each phase goes, where the
// redirect's time goes, and the page's own figures in the other forms.
TEST_F(BrowserHar, EveryPhaseHasItsPlaceAndThePageItsFigures) {
  RequestRecord page;
  page.kind = RequestRecord::Kind::Page;
  page.iteration = page.entry = 1;
  page.pageUrl = page.url = QStringLiteral("https://h.test/");
  page.startedMs = 1'800'000'000'000;
  page.startMicros = 5'000'000;
  page.bytes = 1000;
  page.micros = 100'000;
  page.pageLoadMicros = 400'000;
  page.pageContentLoadMicros = 250'000;
  page.pageFirstByteMicros = 50'000;
  RequestDetails& d = page.details;
  d.known = true;
  d.status = 200;
  d.httpVersion = QStringLiteral("HTTP/2");
  d.blockedMicros = 0;
  d.dnsMicros = 2'000;
  d.connectMicros = 3'000;
  d.tlsMicros = 5'000;
  d.redirectMicros = 10'000;
  d.sendMicros = 0;
  d.waitMicros = 30'000;
  d.receiveMicros = 50'000;
  d.decodedBytes = 3000;
  RequestRecord image = page;
  image.kind = RequestRecord::Kind::Resource;
  image.url = QStringLiteral("https://h.test/i.png");
  image.startMicros = page.startMicros + 120'700;
  image.startedMs = page.startedMs + 120;
  image.bytes = 500;
  image.micros = 100'000;
  image.pageLoadMicros = image.pageContentLoadMicros = image.pageFirstByteMicros = -1;
  image.details.dnsMicros = image.details.connectMicros = image.details.tlsMicros = -1;
  image.details.blockedMicros = 40'000;
  image.details.redirectMicros = 0;
  image.details.waitMicros = 20'000;
  image.details.receiveMicros = 40'000;
  image.details.decodedBytes = -1;
  cli::BenchReport report;
  report.browser = true;
  report.requests = {page, image};

  const QJsonObject log = cli::BenchHar(report)["log"].toObject();
  const QJsonObject harPage = log["pages"].toArray()[0].toObject();
  EXPECT_EQ(harPage["pageTimings"].toObject(),
            QJsonObject({{"onContentLoad", 250}, {"onLoad", 400}, {"_firstByte", 50}}));
  const struct {
    qint64 startMs;
    QJsonObject timings;
    double size, compression;
  } expected[] = {
      // connect holds the TLS handshake; the redirect's 10 ms are part of the wait.
      {0,
       {{"blocked", 0},
        {"dns", 2},
        {"connect", 8},
        {"ssl", 5},
        {"send", 0},
        {"wait", 40},
        {"receive", 50},
        {"_queued", 0},
        {"_redirect", 10}},
       3000,
       2000},
      // Placed by its start on the run's clock, queued 40 ms on a kept connection.
      {120,
       {{"blocked", 40},
        {"dns", -1},
        {"connect", -1},
        {"ssl", -1},
        {"send", 0},
        {"wait", 20},
        {"receive", 40},
        {"_queued", 40},
        {"_redirect", 0}},
       500,
       0},
  };
  const QJsonArray entries = log["entries"].toArray();
  ASSERT_EQ(entries.size(), 2);
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const QJsonObject e = entries[i].toObject(),
                      content = e["response"].toObject()["content"].toObject();
    EXPECT_EQ(msOf(e["startedDateTime"]) - msOf(harPage["startedDateTime"]), expected[i].startMs);
    EXPECT_EQ(e["timings"].toObject(), expected[i].timings);
    EXPECT_EQ(e["time"].toDouble(), 100);
    EXPECT_EQ(content["size"].toDouble(), expected[i].size);
    EXPECT_EQ(content["compression"].toDouble(), expected[i].compression);
  }
  expectDrawnRight(log, report.requests);

  // The page's record in JSON and CSV: first byte, DOMContentLoaded, bytes decoded.
  const QJsonObject json = cli::BenchJson(report)["requests"].toArray()[0].toObject();
  EXPECT_EQ(json["first_byte_microseconds"].toDouble(), 50'000);
  EXPECT_EQ(json["content_load_microseconds"].toDouble(), 250'000);
  EXPECT_EQ(json["decoded_bytes"].toDouble(), 3000);
  EXPECT_EQ(json["load"].toObject(),
            QJsonObject({{"requests", 2}, {"bytes", 1500}, {"decoded_bytes", 3500}}));
  const QList<QByteArray> rows = cli::BenchCsv(report).split('\n');
  EXPECT_TRUE(rows[0].trimmed().endsWith(
      ",mode,queued_seconds,decoded_bytes,load_seconds,first_byte_seconds,content_load_seconds"));
  EXPECT_TRUE(rows[1].trimmed().endsWith(",browser,0.000000,3000,0.400000,0.050000,0.250000"))
      << rows[1].toStdString();
  EXPECT_TRUE(rows[2].trimmed().endsWith(",browser,0.040000,,,,")) << rows[2].toStdString();
}

}  // namespace
}  // namespace quorvel
