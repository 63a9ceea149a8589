// Where a run is, as the window's status bar learns it: the page of the list and the iteration
// before each page, and, while a request has gone on for more than a second, what it has
// received so far. A real run against loopback servers; the status texts stay as they were.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quorvel
