#include "tools/ping_report.h"

#include <limits>

#include "core/number_format.h"
#include "tools/diag_input.h"

namespace quorvel {

int pingTimeout(const QString& text) {
  const std::optional<double> v = numericText(text);
  if (!v) return kPingDefaultTimeout;
  return static_cast<int>(roundHalfEven(*v, kPingDefaultTimeout, std::numeric_limits<int>::max()));
}

int pingRequests(const QString& text) {
  const std::optional<double> v = numericText(text);
  if (!v) return kPingDefaultRequests;
  const long long n = roundHalfEven(*v, 0, std::numeric_limits<std::int16_t>::max());
  return n < 1 ? kPingDefaultRequests : static_cast<int>(n);
}

std::vector<int> pingTabStops(int addressUnits) {
  if (addressUnits + kColumnGapUnits <= 30) return {20, 50, 80};
  const int rtt = 20 + addressUnits + kColumnGapUnits;
  return {20, rtt, rtt + 56};
}

QString GetStatusCode(std::int32_t status) {
  switch (status) {
    case -1:
      return QStringLiteral("inet_addr: bad IP format");
    case 0:
      return QStringLiteral("success");
    case 500:
      return QStringLiteral("ping timeout");
    case 11001:
      return QStringLiteral("buffer toosmall");
    case 11002:
      return QStringLiteral("dest net unreachable");
    case 11003:
      return QStringLiteral("dest host unreachable");
    case 11004:
      return QStringLiteral("dest prot unreachable");
    case 11005:
      return QStringLiteral("dest port unreachable");
    case 11006:
      return QStringLiteral("no resources");
    case 11007:
      return QStringLiteral("bad option");
    case 11008:
      return QStringLiteral("hw error");
    case 11009:
      return QStringLiteral("packet too big");
    case 11010:
      return QStringLiteral("req timed out");
    case 11011:
      return QStringLiteral("bad req");
    case 11012:
      return QStringLiteral("bad route");
    case 11013:
      return QStringLiteral("ttl expired transit");
    case 11014:
      return QStringLiteral("ttl expired reassem");
    case 11015:
      return QStringLiteral("param problem");
    case 11016:
      return QStringLiteral("source quench");
    case 11017:
      return QStringLiteral("option too big");
    case 11018:
      return QStringLiteral("bad destination");
    case 11019:
      return QStringLiteral("address deleted");
    case 11020:
      return QStringLiteral("spec mtu change");
    case 11021:
      return QStringLiteral("mtu change");
    case 11022:
      return QStringLiteral("unload");
    case 11023:
      return QStringLiteral("addr added");
    case 11050:
      return QStringLiteral("general failure");
    case 11255:
      return QStringLiteral("pending");
    default:
      return QStringLiteral("unknown error");
  }
}

QString pingReplyLine(int n, const QString& address, std::uint32_t rttMs, int ttl) {
  return QStringLiteral("%1\t%2\tRTT = %3 ms\tTTL = %4")
      .arg(n)
      .arg(address)
      .arg(rttMs)
      .arg(ttl & 0xff);
}

QString pingErrorLine(int n, std::int32_t status) {
  return QStringLiteral("%1\tError: %2").arg(n).arg(GetStatusCode(status));
}

void PingStats::addLost() {
  ++sent;
  ++lost;
}

void PingStats::addReply(std::int32_t rttMs) {
  ++sent;
  // Held below the 32-bit limit: a long series of slow replies never wraps the sum.
  const std::int64_t s = static_cast<std::int64_t>(sum) + rttMs;
  sum = s > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                     : static_cast<std::int32_t>(s);
  if (min == 0 || min > rttMs) min = rttMs;
  if (max < rttMs) max = rttMs;
}

QString PingStats::averageText() const {
  if (sent < 1) return QStringLiteral("n.a.");
  return formatMask(static_cast<double>(sum) / sent, "###0.0") + QStringLiteral(" ms");
}

QString PingStats::minimumText() const {
  return QString::number(min) + QStringLiteral(" ms");
}

QString PingStats::maximumText() const {
  return QString::number(max) + QStringLiteral(" ms");
}

QString PingStats::sentText() const {
  return QString::number(sent);
}

QString PingStats::lostText() const {
  const double pct = sent > 0 ? static_cast<double>(lost) * 100.0 / sent : 0.0;
  return QString::number(lost) + QStringLiteral(" (") + formatMask(pct, "##0") +
         QStringLiteral("%)");
}

}  // namespace quorvel
