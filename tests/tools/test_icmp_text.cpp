// How the trace and ping windows read their boxes and the addresses typed, and the texts of
// their reports.
#include <gtest/gtest.h>

#include <functional>

#include "tools/diag_input.h"
#include "tools/fake_echo.h"
#include "tools/ping_report.h"
#include "tools/trace_report.h"
#include "tools/trace_rt.h"

namespace quorvel {
namespace {

using testing::ip;

TEST(EchoInput, TimeoutsAndRequestCounts) {
  const struct {
    std::function<int(const QString&)> read;
    std::vector<std::pair<const char*, int>> cases;
  } boxes[] = {
      {traceTimeout,
       {{"100", 500},
        {"abc", 2400},
        {"", 2400},
        {"2400.5", 2400},
        {"2401.5", 2402},
        {"99999", 99999},
        {" 1e3 ", 1000},
        {"12abc", 2400},
        {"1e400", 2147483647},
        {"-5", 500}}},
      {traceRequests,
       {{"0", 3},
        {"6", 3},
        {"100000", 3},
        {"1e30", 3},
        {"5", 5},
        {"1", 1},
        {"letters", 3},
        {"4.5", 4},
        {"0.5", 3},
        {"-2", 3}}},
      {pingTimeout, {{"100", 500}, {"abc", 500}, {"2000", 2000}, {"99999999999999", 2147483647}}},
      {pingRequests, {{"0", 10}, {"-3", 10}, {"x", 10}, {"4", 4}, {"2.5", 2}, {"100000", 32767}}},
  };
  for (const auto& box : boxes)
    for (const auto& [text, value] : box.cases) EXPECT_EQ(box.read(text), value) << text;
}

TEST(EchoInput, AddressesNamesAndFamilies) {
  EXPECT_EQ(ip("2001:0DB8:0:0:0:0:0:0001").text(), "2001:db8::1");  // one address, however written
  EXPECT_FALSE(ip("::1") == ip("127.0.0.1"));
  EXPECT_EQ(ip("fe80::1%lo").text(), "fe80::1%lo");
  for (const char* none : {"[127.0.0.1]", "[::1]:80", "localhost"})  // brackets for IPv6, no port
    EXPECT_FALSE(IpAddress::parse(none)) << none;

  const struct {
    const char* typed;
    AddressChoice choice;
    const char* address;  // "" for none
  } cases[] = {
      // (Addresses of the other family are met in the windows and from the commands.)
      {"2001:0db8::0001", AddressChoice::V6, "2001:db8::1"},
      {"localhost", AddressChoice::Automatic, "127.0.0.1"},  // IPv4 first
      {"localhost", AddressChoice::V4, "127.0.0.1"},
      {"", AddressChoice::Automatic, ""},
      // An IPv4 address written as IPv6 is pinged and traced over IPv4.
      {"::ffff:127.0.0.1", AddressChoice::Automatic, "127.0.0.1"},
      {"[::ffff:7f00:1]", AddressChoice::V4, "127.0.0.1"},
      {"::ffff:127.0.0.1", AddressChoice::V6, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ResolveHost(c.typed, c.choice).text(), c.address) << c.typed;

  // The IPv4 routines of the sockets module.
  EXPECT_EQ(GetAddressText(ip("127.0.0.1").v4Value()), "127.0.0.1");
  EXPECT_EQ(GetHostAddress("198.51.100.7"), "198.51.100.7");  // dotted text: no look-up
  EXPECT_EQ(GetHostAddress("localhost"), "127.0.0.1");
  EXPECT_EQ(GetHostAddress("::1"), "");
  EXPECT_FALSE(GetHostNameFromAddress(ip("127.0.0.1").v4Value()).isEmpty());  // the hosts file

  // The address list of the windows: the host part of each source, once, without a user part,
  // a port or the brackets of an IPv6 literal: an address that can be pinged as it stands.
  const struct {
    const char* url;
    const char* host;
  } hosts[] = {
      {"ftp://user@host:2121/x", "host"},  {"a//b//c/d", "b"},
      {"http://127.0.0.1:51529/index.htm", "127.0.0.1"}, {"http://[::1]:8080/x", "::1"},
      {"[2001:db8::1]", "2001:db8::1"},   {"2001:db8::1", "2001:db8::1"},
      {"http://host.example:/", "host.example"},
  };
  for (const auto& h : hosts) EXPECT_EQ(hostPart(h.url), h.host) << h.url;
  EXPECT_EQ(addressListFromSources({"HTTP://Www.Example.COM/path/one", "www.example.com/other",
                                    "http://host:8080/", "127.0.0.1", "HOST:8080"}),
            (QStringList{"Www.Example.COM", "host", "127.0.0.1"}));
  // A typed address with a port is refused; a bare IPv6 address has none.
  for (const char* withPort : {"127.0.0.1:51529", "[::1]:80", " host.example:8080 ", "host:"})
    EXPECT_TRUE(hasPort(withPort)) << withPort;
  for (const char* without : {"127.0.0.1", "::1", "[::1]", "2001:db8::1", "host.example", ""})
    EXPECT_FALSE(hasPort(without)) << without;
  // The current text is listed even when empty or already there.
  EXPECT_EQ(addressListFromSources({"", "a.example"}), (QStringList{"", "a.example"}));
  EXPECT_EQ(addressListFromSources({}), QStringList{QString()});
}

TEST(EchoReports, TraceTimesAndTabStops) {
  EXPECT_EQ(traceTabStops(1), (std::vector<int>{20, 50, 110}));
  EXPECT_EQ(traceTabStops(5), (std::vector<int>{20, 50, 80, 110, 140, 170, 230}));
  // A dialog unit is a quarter of the average character width.
  EXPECT_EQ(dialogUnitsToPixels({20, 50}, 8.0), (std::vector<double>{40.0, 100.0}));
  for (const auto& [ms, text] : std::vector<std::pair<int, const char*>>{
           {0, "<10 ms"}, {9, "<10 ms"}, {10, "10 ms"}, {1200, "1200 ms"}, {1201, "*"}})
    EXPECT_EQ(hopTimeText(ms), text) << ms;
}

TEST(EchoReports, PingStatusTextsAndStatistics) {
  // The ends of the table of status texts, and numbers beside it.
  for (const auto& [status, text] :
       std::vector<std::pair<int, const char*>>{{-1, "inet_addr: bad IP format"},
                                                {0, "success"},
                                                {500, "ping timeout"},
                                                {11001, "buffer toosmall"},
                                                {11050, "general failure"},
                                                {11255, "pending"},
                                                {11000, "unknown error"},
                                                {11024, "unknown error"},
                                                {12000, "unknown error"}})
    EXPECT_EQ(GetStatusCode(status), text) << status;

  PingStats s;
  EXPECT_EQ(s.averageText(), "n.a.");
  // A reply of 0 ms: a stored 0 counts as no minimum yet, so a later one takes its place;
  // the last reply of 0 ms leaves 0.
  for (const auto& [rtt, minimum] : {std::pair{0, "0 ms"}, {4, "4 ms"}, {0, "0 ms"}}) {
    s.addReply(rtt);
    EXPECT_EQ(s.minimumText(), minimum) << rtt;
  }
  // (A series with losses, and one of losses only, is shown whole by the windows.)
  PingStats third;  // 1 of 3: 33.33 is "33"; 4 of 6: 66.67 is "67"
  for (int rtt : {-1, 1, 1}) rtt < 0 ? third.addLost() : third.addReply(rtt);
  EXPECT_EQ(third.lostText(), "1 (33%)");
  for (int i = 0; i < 3; ++i) third.addLost();
  EXPECT_EQ(third.lostText(), "4 (67%)");
  PingStats big;  // the sum never wraps
  big.addReply(2147483000);
  big.addReply(2147483000);
  EXPECT_EQ(big.sum, 2147483647);
}

}  // namespace
}  // namespace quorvel
