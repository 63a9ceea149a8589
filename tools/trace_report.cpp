#include "tools/trace_report.h"

#include <algorithm>
#include <limits>

#include "tools/diag_input.h"

namespace quorvel {

int traceTimeout(const QString& text) {
  const std::optional<double> v = numericText(text);
  if (!v) return kTraceDefaultTimeout;
  const long long ms = roundHalfEven(*v, kTraceMinimumTimeout, std::numeric_limits<int>::max());
  return static_cast<int>(ms);
}

int traceRequests(const QString& text) {
  const std::optional<double> v = numericText(text);
  if (!v) return kTraceDefaultRequests;
  // Held to a range wider than 1..5 so that "however large" still reads as out of range.
  const long long n = roundHalfEven(*v, -1, kTraceMaximumRequests + 1);
  if (n < 1 || n > kTraceMaximumRequests) return kTraceDefaultRequests;
  return static_cast<int>(n);
}

std::vector<int> traceTabStops(int n, int addressUnits) {
  std::vector<int> stops;
  for (int k = 0; k <= n; ++k) stops.push_back(20 + 30 * k);
  stops.push_back(stops.back() + std::max(60, addressUnits + kColumnGapUnits));
  return stops;
}

QString hopTimeText(std::int32_t ms) {
  if (ms < 10) return QStringLiteral("<10 ms");
  if (ms > 1200) return QStringLiteral("*");
  return QString::number(ms) + QStringLiteral(" ms");
}

QString hopLine(int ttl, const std::vector<std::int32_t>& times, const QString& address,
                bool withName, const QString& hostName) {
  QString line = QString::number(ttl);
  for (std::int32_t t : times) line += QLatin1Char('\t') + hopTimeText(t);
  line += QLatin1Char('\t') + address;
  if (withName) line += QLatin1Char('\t') + hostName;
  return line;
}

}  // namespace quorvel
