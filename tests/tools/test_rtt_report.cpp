// The spread of round trips (what the ping and the trace report add to least, mean and
// greatest) and the trace report's cycles over a scripted echo endpoint: which hops it keeps,
// their figures, the hint of a router that rate-limits its answers, and its table.
#include <gtest/gtest.h>

#include <map>

#include "tools/fake_echo.h"
#include "tools/hop_report.h"
#include "tools/rtt_stats.h"

namespace quorvel {
namespace {

std::vector<std::int64_t> micros(std::initializer_list<double> ms) {
  std::vector<std::int64_t> out;
  for (double x : ms) out.push_back(static_cast<std::int64_t>(x * 1000.0 + 0.5));
  return out;
}

TEST(RttSpread, FiguresOfTheReplies) {
  const struct {
    std::vector<std::int64_t> rtts;
    RttStats want;
    const char* line;
  } cases[] = {
      {micros({10, 20, 30, 40}),
       {4, 40, 25, 10, 40, 11.180340, 25, 38.5, 10},
       "rtt min/avg/max/mdev/median/p95 = 10.000/25.000/40.000/11.180/25.000/38.500 ms"},
      // Order matters to the jitter only.
      {micros({1, 3, 2}),
       {3, 2, 2, 1, 3, 0.816497, 2, 2.9, 1.5},
       "rtt min/avg/max/mdev/median/p95 = 1.000/2.000/3.000/0.816/2.000/2.900 ms"},
      {micros({0.041}),
       {1, 0.041, 0.041, 0.041, 0.041, 0, 0.041, 0.041, 0},
       "rtt min/avg/max/mdev/median/p95 = 0.041/0.041/0.041/0.000/0.041/0.041 ms"},
      {{}, {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const RttStats s = rttStats(c.rtts);
    EXPECT_EQ(s.count, c.want.count);
    const std::pair<double, double> figures[] = {
        {s.lastMs, c.want.lastMs},   {s.averageMs, c.want.averageMs}, {s.bestMs, c.want.bestMs},
        {s.worstMs, c.want.worstMs}, {s.stdevMs, c.want.stdevMs},     {s.medianMs, c.want.medianMs},
        {s.p95Ms, c.want.p95Ms},     {s.jitterMs, c.want.jitterMs}};
    for (const auto& [got, want] : figures) EXPECT_NEAR(got, want, 1e-6);
    EXPECT_EQ(rttSummaryLine(s), c.line);
  }
  // Twenty values 1..20: the 95th percentile lies between the 19th and the 20th.
  std::vector<double> ranks;
  for (int i = 1; i <= 20; ++i) ranks.push_back(i);
  EXPECT_DOUBLE_EQ(percentileOfSorted(ranks, 95), 19.05);
  EXPECT_DOUBLE_EQ(percentileOfSorted(ranks, 0), 1);
  EXPECT_DOUBLE_EQ(percentileOfSorted(ranks, 100), 20);
}

using testing::answer;
using testing::EchoCall;

// An answer to the n-th request (from 1) of a TTL.
using HopScript = std::function<EchoResult(int ttl, int n)>;

struct Cycles {
  HopReport report;
  std::vector<int> ttls;  // of every request, in order
};

Cycles runCycles(const HopScript& script, int cycles, std::function<bool()> pump = {}) {
  Cycles out;
  std::vector<EchoCall> calls;
  std::vector<IpFamily> families;
  std::map<int, int> perTtl;
  HopReportOptions o;
  o.cycles = cycles;
  o.intervalMicros = kReportMinimumIntervalMicros;
  HopReportEvents events;
  events.open = testing::fakeOpener(
      [&](const EchoCall& c, int) { return script(c.ttl, ++perTtl[c.ttl]); }, &calls, &families);
  events.pump = pump ? pump : [] { return true; };
  RunHopReport("198.51.100.2", o, events, out.report);
  for (const EchoCall& c : calls) out.ttls.push_back(c.ttl);
  return out;
}

struct HopFigures {
  QString host;
  int sent, received;
  double lossPercent, averageMs;
  bool hint;
};

std::vector<HopFigures> figuresOf(const HopReport& r) {
  std::vector<HopFigures> out;
  for (const ReportHop& h : r.hops)
    out.push_back(
        {h.host(), h.sent, h.received(), h.lossPercent(), h.stats().averageMs, h.rateLimitedHint});
  return out;
}

TEST(HopReportCycles, HopsFiguresAndTheHintOfARateLimitingRouter) {
  const EchoResult lost{};
  const struct {
    const char* what;
    HopScript script;
    int cycles;
    std::vector<int> ttls;  // of the requests ("" when not checked)
    TraceOutcome outcome;
    std::vector<HopFigures> hops;
  } cases[] = {
      {"three hops, two nodes answering for the second",
       [&](int ttl, int n) {
         if (ttl == 1) return answer("192.0.2.2", n, 11013);
         if (ttl == 2) return answer(n == 2 ? "192.0.2.70" : "192.0.2.66", 10, 11013);
         return n == 3 ? lost : answer("198.51.100.2", 20 + n);
       },
       3,
       {1, 2, 3, 1, 2, 3, 1, 2, 3},
       TraceOutcome::Complete,
       {{"192.0.2.2", 3, 3, 0, 2, false},
        {"192.0.2.66", 3, 3, 0, 10, false},
        {"198.51.100.2", 3, 2, 100.0 / 3, 21.5, false}}},
      {"the destination's first answer lost: a hop too many in the first cycle, dropped after",
       [&](int ttl, int n) {
         if (ttl < 3) return answer(ttl == 1 ? "192.0.2.2" : "192.0.2.66", 1, 11013);
         return ttl == 3 && n == 1 ? lost : answer("198.51.100.2", 4);
       },
       2,
       {1, 2, 3, 4, 1, 2, 3},
       TraceOutcome::Complete,
       {{"192.0.2.2", 2, 2, 0, 1, false},
        {"192.0.2.66", 2, 2, 0, 1, false},
        {"198.51.100.2", 2, 1, 50, 4, false}}},
      {"a silent destination: five silent hops in a row end each cycle",
       [&](int ttl, int) { return ttl == 1 ? answer("192.0.2.2", 1, 11013) : lost; },
       2,
       {1, 2, 3, 4, 5, 6, 1, 2, 3, 4, 5, 6},
       TraceOutcome::LastHop,
       {{"192.0.2.2", 2, 2, 0, 1, false},
        {"???", 2, 0, 100, 0, false},
        {"???", 2, 0, 100, 0, false},
        {"???", 2, 0, 100, 0, false},
        {"???", 2, 0, 100, 0, false},
        {"???", 2, 0, 100, 0, false}}},
      {"the second router answers one request in four; what follows loses nothing",
       [&](int ttl, int n) {
         if (ttl == 2) return n % 4 == 0 ? answer("192.0.2.66", 2, 11013) : lost;
         return ttl == 1 ? answer("192.0.2.2", 1, 11013) : answer("198.51.100.2", 3);
       },
       12,
       {},
       TraceOutcome::Complete,
       {{"192.0.2.2", 12, 12, 0, 1, false},
        {"192.0.2.66", 12, 3, 75, 2, true},
        {"198.51.100.2", 12, 12, 0, 3, false}}},
      {"a lossy first link: its loss is carried on, no hint",
       [&](int ttl, int n) {
         if (n % 4 == 0) return lost;
         return ttl == 3 ? answer("198.51.100.2", 3)
                         : answer(ttl == 1 ? "192.0.2.2" : "192.0.2.66", ttl, 11013);
       },
       12,
       {},
       TraceOutcome::Complete,
       {{"192.0.2.2", 12, 9, 25, 1, false},
        {"192.0.2.66", 12, 9, 25, 2, false},
        {"198.51.100.2", 12, 9, 25, 3, false}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Cycles r = runCycles(c.script, c.cycles);
    if (!c.ttls.empty()) {
      EXPECT_EQ(r.ttls, c.ttls);
    }
    EXPECT_EQ(r.report.outcome, c.outcome);
    EXPECT_EQ(r.report.cycles, c.cycles);
    const std::vector<HopFigures> got = figuresOf(r.report);
    ASSERT_EQ(got.size(), c.hops.size());
    for (std::size_t k = 0; k < got.size(); ++k) {
      SCOPED_TRACE(k + 1);
      EXPECT_EQ(got[k].host, c.hops[k].host);
      EXPECT_EQ(got[k].sent, c.hops[k].sent);
      EXPECT_EQ(got[k].received, c.hops[k].received);
      EXPECT_NEAR(got[k].lossPercent, c.hops[k].lossPercent, 1e-9);
      EXPECT_NEAR(got[k].averageMs, c.hops[k].averageMs, 1e-9);
      EXPECT_EQ(got[k].hint, c.hops[k].hint);
    }
  }
}

TEST(HopReportCycles, TheTableAndACancel) {
  const Cycles r = runCycles(
      [](int ttl, int n) {
        if (ttl == 1) return answer(n == 2 ? "192.0.2.9" : "192.0.2.2", 10 * n, 11013);
        return answer("198.51.100.2", 1);
      },
      3);
  EXPECT_EQ(hopReportTable(r.report),
            "Report of the route to 198.51.100.2: 3 cycles\n\n"
            "Hop  HOST          Loss%   Snt     Last      Avg     Best     Wrst    StDev\n"
            "  1  192.0.2.2      0.0%     3   30.000   20.000   10.000   30.000    8.165\n"
            "     192.0.2.9\n"
            "  2  198.51.100.2   0.0%     3    1.000    1.000    1.000    1.000    0.000\n");

  // Cancelled during the fifth request: the requests answered so far stay counted.
  int pumps = 0;
  const Cycles cut = runCycles([](int, int) { return answer("198.51.100.2", 1); }, 10,
                               [&] { return ++pumps < 5; });
  EXPECT_EQ(cut.report.outcome, TraceOutcome::Cancelled);
  EXPECT_LT(cut.ttls.size(), 6u);
  EXPECT_EQ(cut.report.hops.at(0).sent, static_cast<int>(cut.ttls.size()));
}

}  // namespace
}  // namespace quorvel
