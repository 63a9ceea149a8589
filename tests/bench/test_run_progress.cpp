// Where a run is, as the window's status bar learns it: the page of the list and the iteration
// before each page, and, while a request has gone on for more than a second, what it has
// received so far. A real run against loopback servers; the status texts stay as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "bench/curl_internet.h"
#include "bench/totals_text.h"
#include "core/tick.h"
#include "loopback_servers.h"
#include "run_fakes.h"

namespace quorvel {
namespace {

using testing::RawTestServer;

class ProgressRun : public testing::RunFixture {};

TEST_F(ProgressRun, PagesIterationsAndALongRequestsBytes) {
  testing::HttpTestServer quick;
  quick.page("/quick.htm", "<html>quick</html>");
  quick.start();
  // 30,000 bytes over about 1.8 seconds.
  RawTestServer slow([](int s, const std::string&) {
    RawTestServer::sendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 30000\r\n\r\n");
    for (int i = 0; i < 30; ++i) {
      RawTestServer::sendAll(s, std::string(1000, 's'));
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
  });
  writeFile("URLS.DAT", (quick.url("/quick.htm") + "\r\n" + slow.url("/slow.htm")).toUtf8());
  view_.useFile = true;
  view_.logging = false;
  env_.clockMicros = [] { return monotonicMicros(); };
  CurlInternet net;
  RunBenchmark(view_, net, env_);

  ASSERT_GE(view_.progress.size(), 3u);
  QStringList texts;
  for (const RunProgress& p : view_.progress) texts << ProgressText(p);
  EXPECT_EQ(texts[0], "Page 1 of 2, iteration 1 of 1");
  EXPECT_EQ(texts[1], "Page 2 of 2, iteration 1 of 1");
  const RunProgress& longest = view_.progress.back();
  EXPECT_EQ(longest.page, 2);
  EXPECT_GE(longest.elapsedMicros, 1'000'000);
  EXPECT_GT(longest.bytes, 0);
  EXPECT_LT(longest.bytes, 30000);
  EXPECT_TRUE(texts.back().startsWith("Page 2 of 2, iteration 1 of 1, "))
      << texts.back().toStdString();
  EXPECT_TRUE(texts.back().endsWith(" secs")) << texts.back().toStdString();
  // The status line says what it always said.
  EXPECT_TRUE(view_.statuses.contains("Retrieving " + slow.url("/slow.htm")));
  EXPECT_EQ(view_.statuses.back(), "Done");
}

// A page loaded as a browser loads it tells, while it loads, its files done of those found and
// the bytes so far: here the page, its icon and a quick image done while a slow image (10,000
// bytes over about 0.6 seconds) comes in.
TEST_F(ProgressRun, ABrowserLoadsFilesAndBytesSoFar) {
  const std::string page = "<html><link rel=icon href=i.png><img src=a.png><img src=s.png>";
  testing::HttpTestServer server;
  server.page("/index.htm", page);
  server.page("/i.png", std::string(100, 'i'), "image/png");
  server.page("/a.png", std::string(200, 'a'), "image/png");
  server.server().Get("/s.png", [](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(10000, "image/png", [](size_t, size_t, httplib::DataSink& sink) {
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
      return sink.write(std::string(1000, 's').data(), 1000);
    });
  });
  server.start();
  writeFile("Quorvel.ini", "[URLInfo]\nBrowserLoad=1\n");
  view_.url = server.url("/index.htm");
  view_.logging = false;
  env_.clockMicros = [] { return monotonicMicros(); };
  CurlInternet net;
  RunBenchmark(view_, net, env_);
  ASSERT_EQ(view_.statuses.back(), "Done");

  std::vector<RunProgress> loading;
  for (const RunProgress& p : view_.progress)
    if (p.filesDone >= 0) loading.push_back(p);
  ASSERT_GE(loading.size(), 3u);
  const auto waiting = std::find_if(loading.begin(), loading.end(), [](const RunProgress& p) {
    return p.filesDone == 3 && p.filesFound == 4;
  });
  ASSERT_NE(waiting, loading.end());
  for (size_t i = 1; i < loading.size(); ++i) {
    EXPECT_GE(loading[i].bytes, loading[i - 1].bytes);
    EXPECT_GE(loading[i].elapsedMicros, loading[i - 1].elapsedMicros);
  }
  const std::int64_t quick = std::int64_t(page.size()) + 300;
  EXPECT_GT(loading.back().bytes, quick);
  EXPECT_LE(loading.back().bytes, quick + 10000);
  const QString text = ProgressText(loading.back());
  EXPECT_TRUE(text.startsWith("Page 1 of 1, iteration 1 of 1, 3 of 4 files, "))
      << text.toStdString();
  EXPECT_TRUE(text.endsWith(" secs")) << text.toStdString();
}

}  // namespace
}  // namespace quorvel
