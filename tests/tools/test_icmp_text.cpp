// How the trace and ping windows read their boxes, and the texts of their reports.
#include <gtest/gtest.h>

#include "tools/diag_input.h"
#include "tools/ping_report.h"
#include "tools/trace_report.h"

namespace quorvel {
namespace {

TEST(TraceInput, TimeoutAndRequestCount) {
  EXPECT_EQ(traceTimeout("100"), 500);
  EXPECT_EQ(traceTimeout("abc"), 2400);
  EXPECT_EQ(traceTimeout(""), 2400);
  EXPECT_EQ(traceTimeout("2400.5"), 2400);
  EXPECT_EQ(traceTimeout("2401.5"), 2402);
  EXPECT_EQ(traceTimeout("99999"), 99999);
  EXPECT_EQ(traceTimeout(" 1e3 "), 1000);
  EXPECT_EQ(traceTimeout("12abc"), 2400);        // must read as a number as a whole
  EXPECT_EQ(traceTimeout("1e400"), 2147483647);  // beyond 32 bits: held, never wrapped
  EXPECT_EQ(traceTimeout("-5"), 500);

  EXPECT_EQ(traceRequests("0"), 3);
  EXPECT_EQ(traceRequests("6"), 3);
  EXPECT_EQ(traceRequests("100000"), 3);
  EXPECT_EQ(traceRequests("1e30"), 3);
  EXPECT_EQ(traceRequests("5"), 5);
  EXPECT_EQ(traceRequests("1"), 1);
  EXPECT_EQ(traceRequests("letters"), 3);
  EXPECT_EQ(traceRequests("4.5"), 4);
  EXPECT_EQ(traceRequests("0.5"), 3);  // rounds to 0
  EXPECT_EQ(traceRequests("-2"), 3);
}

TEST(PingInput, TimeoutAndRequestCount) {
  EXPECT_EQ(pingTimeout("100"), 500);
  EXPECT_EQ(pingTimeout("abc"), 500);
  EXPECT_EQ(pingTimeout("2000"), 2000);
  EXPECT_EQ(pingTimeout("99999999999999"), 2147483647);
  EXPECT_EQ(pingRequests("0"), 10);
  EXPECT_EQ(pingRequests("-3"), 10);
  EXPECT_EQ(pingRequests("x"), 10);
  EXPECT_EQ(pingRequests("4"), 4);
  EXPECT_EQ(pingRequests("2.5"), 2);
  EXPECT_EQ(pingRequests("100000"), 32767);
}

TEST(TraceReport, TabStops) {
  EXPECT_EQ(traceTabStops(1), (std::vector<int>{20, 50, 110}));
  EXPECT_EQ(traceTabStops(3), (std::vector<int>{20, 50, 80, 110, 170}));
  EXPECT_EQ(traceTabStops(5), (std::vector<int>{20, 50, 80, 110, 140, 170, 230}));
  // A dialog unit is a quarter of the average character width.
  EXPECT_EQ(dialogUnitsToPixels({20, 50}, 8.0), (std::vector<double>{40.0, 100.0}));
}

TEST(TraceReport, HopLines) {
  EXPECT_EQ(hopTimeText(0), "<10 ms");
  EXPECT_EQ(hopTimeText(9), "<10 ms");
  EXPECT_EQ(hopTimeText(10), "10 ms");
  EXPECT_EQ(hopTimeText(1200), "1200 ms");
  EXPECT_EQ(hopTimeText(1201), "*");
  EXPECT_EQ(hopTimeText(500), "500 ms");  // an unanswered request with a 500 ms time-out

  EXPECT_EQ(hopLine(7, {12, 3, 15}, "192.0.2.66", true, "r2.example"),
            "7\t12 ms\t<10 ms\t15 ms\t192.0.2.66\tr2.example");
  EXPECT_EQ(hopLine(8, {2400, 2400, 2400}, "", true, ""), "8\t*\t*\t*\t\t");
  EXPECT_EQ(hopLine(8, {2400, 2400, 2400}, "", false, ""), "8\t*\t*\t*\t");
  EXPECT_EQ(hopLine(1, {0}, "127.0.0.1", false, "ignored"), "1\t<10 ms\t127.0.0.1");
}

TEST(PingReport, LinesAndStatusTexts) {
  EXPECT_EQ(pingReplyLine(3, "127.0.0.1", 12, 64), "3\t127.0.0.1\tRTT = 12 ms\tTTL = 64");
  EXPECT_EQ(pingErrorLine(4, 11010), "4\tError: req timed out");
  EXPECT_EQ(GetStatusCode(-1), "inet_addr: bad IP format");
  EXPECT_EQ(GetStatusCode(0), "success");
  EXPECT_EQ(GetStatusCode(500), "ping timeout");
  EXPECT_EQ(GetStatusCode(11001), "buffer toosmall");
  EXPECT_EQ(GetStatusCode(11013), "ttl expired transit");
  EXPECT_EQ(GetStatusCode(11050), "general failure");
  EXPECT_EQ(GetStatusCode(11255), "pending");
  EXPECT_EQ(GetStatusCode(12000), "unknown error");
  EXPECT_EQ(GetStatusCode(11024), "unknown error");
  EXPECT_EQ(GetStatusCode(11000), "unknown error");
}

TEST(PingReport, Statistics) {
  PingStats s;
  EXPECT_EQ(s.averageText(), "n.a.");

  // Replies of 0 ms: a stored 0 counts as no minimum yet.
  s.addReply(0);
  EXPECT_EQ(s.minimumText(), "0 ms");
  s.addReply(4);
  EXPECT_EQ(s.minimumText(), "4 ms");
  s.addReply(0);  // the last successful reply of 0 ms leaves 0 as minimum
  EXPECT_EQ(s.minimumText(), "0 ms");

  // Four requests, one lost: the average divides by all four.
  PingStats q;
  q.addReply(10);
  q.addLost();
  q.addReply(20);
  q.addReply(31);
  EXPECT_EQ(q.averageText(), "15.3 ms");
  EXPECT_EQ(q.minimumText(), "10 ms");
  EXPECT_EQ(q.maximumText(), "31 ms");
  EXPECT_EQ(q.sentText(), "4");
  EXPECT_EQ(q.lostText(), "1 (25%)");

  PingStats all;
  for (int i = 0; i < 3; ++i) all.addLost();
  EXPECT_EQ(all.averageText(), "0.0 ms");
  EXPECT_EQ(all.minimumText(), "0 ms");
  EXPECT_EQ(all.maximumText(), "0 ms");
  EXPECT_EQ(all.lostText(), "3 (100%)");

  PingStats third;  // 1 of 3: 33.33 -> "33"; 2 of 3: 66.67 -> "67"
  third.addLost();
  third.addReply(1);
  third.addReply(1);
  EXPECT_EQ(third.lostText(), "1 (33%)");
  third.addLost();
  third.addLost();
  third.addLost();
  EXPECT_EQ(third.lostText(), "4 (67%)");

  PingStats big;  // the sum never wraps
  big.addReply(2147483000);
  big.addReply(2147483000);
  EXPECT_EQ(big.sum, 2147483647);
}

TEST(AddressList, HostPartsWithoutDuplicates) {
  EXPECT_EQ(hostPart("http://www.example.com/a/b"), "www.example.com");
  EXPECT_EQ(hostPart("www.example.com/a"), "www.example.com");
  EXPECT_EQ(hostPart("ftp://user@host:2121/x"), "user@host:2121");
  EXPECT_EQ(hostPart("127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(hostPart("a//b//c/d"), "b");

  const QStringList list =
      addressListFromSources({"HTTP://Www.Example.COM/path/one", "www.example.com/other",
                              "http://host:8080/", "http://www.example.com/x", "HOST:8080"});
  EXPECT_EQ(list, (QStringList{"Www.Example.COM", "host:8080"}));
  // The current text is listed even when empty or already there.
  EXPECT_EQ(addressListFromSources({"", "a.example"}), (QStringList{"", "a.example"}));
  EXPECT_EQ(addressListFromSources({}), QStringList{QString()});
}

}  // namespace
}  // namespace quorvel
