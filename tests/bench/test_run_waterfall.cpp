// The last run's requests in time, from records as a run reports them: which pages a run
// loaded, where each request's bar begins and how its phases lie, the page's marks, and the
// texts the waterfall shows and copies.
#include <gtest/gtest.h>

#include "bench/run_requests.h"
#include "bench/run_waterfall.h"

namespace quorvel {
namespace {

struct Phases {
  std::int64_t blocked = -1, dns = -1, connect = -1, tls = -1, send = -1, wait = -1, receive = -1,
               redirect = 0;
};

RequestRecord record(RequestRecord::Kind kind, int iteration, int entry, const char* url,
                     std::int64_t start, std::int64_t micros, const Phases& p, int error = 0) {
  RequestRecord r;
  r.kind = kind;
  r.iteration = iteration;
  r.entry = entry;
  r.pageUrl = QStringLiteral("http://127.0.0.1/%1.htm").arg(entry);
  r.url = QString::fromLatin1(url);
  r.startMicros = start;
  r.micros = micros;
  r.bytes = 1000;
  r.error = error;
  RequestDetails& d = r.details;
  d.known = p.dns >= 0 || p.connect >= 0 || p.wait >= 0 || p.blocked >= 0;
  d.blockedMicros = p.blocked;
  d.dnsMicros = p.dns;
  d.connectMicros = p.connect;
  d.tlsMicros = p.tls;
  d.sendMicros = p.send;
  d.waitMicros = p.wait;
  d.receiveMicros = p.receive;
  d.redirectMicros = p.redirect;
  d.status = error == 0 ? 200 : 0;
  d.httpVersion = d.known ? QStringLiteral("HTTP/1.1") : QString();
  return r;
}

using Segments = QList<std::tuple<Phase, std::int64_t, std::int64_t>>;

Segments segments(const WaterfallBar& bar) {
  Segments out;
  for (const WaterfallSegment& s : bar.segments) out.append({s.phase, s.from, s.micros});
  return out;
}

using K = RequestRecord::Kind;

TEST(RunWaterfall, PagesBarsAndMarksOfBothModes) {
  RunRequests run;
  // A page loaded as a browser does (iteration 1): the HTML over a new connection, a stylesheet
  // queued behind it then sent on a connection of its own, and an image that failed before
  // anything of it was measured. Its marks come with the page's own record.
  RequestRecord page =
      record(K::Page, 1, 1, "http://127.0.0.1/1.htm", 5'000'000, 50'000,
             {.dns = 1000, .connect = 2000, .send = 100, .wait = 30'000, .receive = 16'900});
  page.pageLoadMicros = 120'000;
  page.pageContentLoadMicros = 80'000;
  page.pageFirstByteMicros = 33'100;
  run.add(page);
  run.add(record(K::Resource, 1, 1, "http://127.0.0.1/a.css", 5'040'000, 38'000,
                 {.blocked = 10'000, .connect = 3000, .wait = 20'000, .receive = 5000}));
  run.add(record(K::Resource, 1, 1, "127.0.0.1:9/b.gif", 5'060'000, 500, {}, 12029));
  // The same list loaded one file at a time (iteration 2): the page after a redirect, its
  // interval longer than what libcurl measured, then an image whose phases run past its
  // interval; then the list's second page.
  run.add(record(
      K::Page, 2, 1, "http://127.0.0.1/1.htm", 9'000'000, 10'000,
      {.dns = 500, .connect = 500, .send = 0, .wait = 4000, .receive = 1000, .redirect = 2000}));
  run.add(record(K::Resource, 2, 1, "127.0.0.1/c.gif", 9'012'000, 3000,
                 {.wait = 2500, .receive = 2500}));
  run.add(record(K::Page, 2, 2, "http://127.0.0.1/2.htm", 9'020'000, 4000,
                 {.wait = 3000, .receive = 1000}, 991));

  const QList<WaterfallPage> pages = WaterfallPages(run);
  ASSERT_EQ(pages.size(), 3);
  const auto where = [](const WaterfallPage& p) {
    return std::tuple(p.iteration, p.entry, p.first, p.count, p.cut);
  };
  EXPECT_EQ(where(pages[0]), std::tuple(1, 1, 0, 3, false));
  EXPECT_EQ(where(pages[1]), std::tuple(2, 1, 3, 2, false));
  EXPECT_EQ(where(pages[2]), std::tuple(2, 2, 5, 1, false));
  EXPECT_EQ(WaterfallPageCaption(pages[2]), "Iteration 2, page 2: http://127.0.0.1/2.htm");

  const Waterfall browser = PageWaterfall(run, pages[0]);
  ASSERT_EQ(browser.bars.size(), 3);
  EXPECT_EQ(browser.bars[1].offset, 40'000);
  EXPECT_EQ(segments(browser.bars[0]), (Segments{{Phase::Dns, 0, 1000},
                                                 {Phase::Connect, 1000, 2000},
                                                 {Phase::Send, 3000, 100},
                                                 {Phase::Wait, 3100, 30'000},
                                                 {Phase::Receive, 33'100, 16'900}}));
  EXPECT_EQ(segments(browser.bars[1]), (Segments{{Phase::Queued, 40'000, 10'000},
                                                 {Phase::Connect, 50'000, 3000},
                                                 {Phase::Wait, 53'000, 20'000},
                                                 {Phase::Receive, 73'000, 5000}}));
  EXPECT_TRUE(browser.bars[2].segments.isEmpty());
  EXPECT_TRUE(browser.bars[2].failed());
  EXPECT_EQ(std::tuple(browser.marks.firstByte, browser.marks.contentLoad, browser.marks.load),
            std::tuple(33'100, 80'000, 120'000));
  EXPECT_EQ(browser.span, 120'000);

  const Waterfall oneByOne = PageWaterfall(run, pages[1]);
  ASSERT_EQ(oneByOne.bars.size(), 2);
  EXPECT_EQ(segments(oneByOne.bars[0]), (Segments{{Phase::Redirect, 0, 2000},
                                                  {Phase::Dns, 2000, 500},
                                                  {Phase::Connect, 2500, 500},
                                                  {Phase::Wait, 3000, 4000},
                                                  {Phase::Receive, 7000, 1000},
                                                  {Phase::Other, 8000, 2000}}));
  EXPECT_EQ(segments(oneByOne.bars[1]),
            (Segments{{Phase::Wait, 12'000, 2500}, {Phase::Receive, 14'500, 500}}));
  // The first byte from the page's own phases; no load or DOMContentLoaded one file at a time.
  EXPECT_EQ(std::tuple(oneByOne.marks.firstByte, oneByOne.marks.contentLoad, oneByOne.marks.load),
            std::tuple(7000, -1, -1));
  EXPECT_EQ(oneByOne.span, 15'000);
  // A page that failed has no first byte.
  EXPECT_EQ(PageWaterfall(run, pages[2]).marks.firstByte, -1);

  // The texts: a row as listed and copied, a failure with the failure list's text, the details.
  EXPECT_EQ(WaterfallColumns(), (QStringList{"URL", "Status", "Bytes", "ms", "Timeline", "Error"}));
  EXPECT_EQ(WaterfallRow(browser.bars[1]),
            (QStringList{"http://127.0.0.1/a.css", "200", "1,000", "38.0",
                         "at 40.0 ms, Queued 10.0 ms, Connect 3.0 ms, Waiting 20.0 ms, "
                         "Receiving 5.0 ms",
                         ""}));
  EXPECT_EQ(WaterfallRow(browser.bars[2]),
            (QStringList{"127.0.0.1:9/b.gif", "", "1,000", "0.5", "at 60.0 ms",
                         "12029: The attempt to connect to the server failed."}));
  EXPECT_EQ(WaterfallTooltip(oneByOne.bars[0]),
            "http://127.0.0.1/1.htm\nStatus 200 (HTTP/1.1), 1,000 bytes\n"
            "Starts at 0.0 ms, takes 10.0 ms\nRedirects: 2.0 ms\nDNS: 0.5 ms\nConnect: 0.5 ms\n"
            "Sending: 0.0 ms\nWaiting: 4.0 ms\nReceiving: 1.0 ms");
  EXPECT_EQ(WaterfallDetailLine(browser.bars[2]),
            "127.0.0.1:9/b.gif: 0.5 ms in all, at 60.0 ms; error 12029: The attempt to connect "
            "to the server failed.");
}

// A run of more requests than are kept: the page whose requests stop at the limit says so,
// and nothing is drawn beyond what was kept.
TEST(RunWaterfall, APageCutAtTheKeptLimit) {
  RunRequests run;
  const qsizetype pages = 4, perPage = RunRequests::kMaxKept / 3;
  for (qsizetype p = 1; p <= pages; ++p)
    for (qsizetype i = 0; i < perPage; ++i)
      run.add(record(i == 0 ? K::Page : K::Resource, 1, int(p), "http://127.0.0.1/x", p * 1000 + i,
                     10, {.wait = 5, .receive = 5}, i == 7 ? 12002 : 0));
  const QList<WaterfallPage> shown = WaterfallPages(run);
  ASSERT_EQ(shown.size(), 4);
  EXPECT_FALSE(shown[2].cut);
  EXPECT_TRUE(shown[3].cut);
  EXPECT_EQ(shown[3].count, RunRequests::kMaxKept - 3 * perPage);
  EXPECT_TRUE(WaterfallPageCaption(shown[3]).endsWith(" (only its first requests kept)"));
  const Waterfall last = PageWaterfall(run, shown[3]);
  EXPECT_EQ(last.bars.size(), shown[3].count);
  EXPECT_EQ(last.bars.last().offset, shown[3].count - 1);
}

TEST(RunWaterfall, TimeScaleSteps) {
  const struct {
    std::int64_t span;
    int pixels, minPixels;
    std::int64_t tick;
  } cases[] = {
      {120'000, 600, 60, 20'000},        // 12 ms would do: the next 1-2-5 step
      {120'000, 600, 50, 10'000},        // exactly 50 px
      {10'000'000, 500, 80, 2'000'000},  // 1.6 s would do
      {500, 600, 60, 1000},              // never under a millisecond
      {0, 600, 60, 1000},
      {1'000'000, 0, 60, 1000},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WaterfallTick(c.span, c.pixels, c.minPixels), c.tick) << c.span << ' ' << c.pixels;
}

}  // namespace
}  // namespace quorvel
