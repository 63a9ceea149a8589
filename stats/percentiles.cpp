#include "stats/percentiles.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "core/number_format.h"

namespace quorvel {

float percentileOfSorted(const float* sorted, std::size_t n, int p) {
  if (n == 0) return 0.0f;
  // The position (n - 1) * p / 100 in whole hundredths, so that no rounding moves a rank.
  const std::uint64_t scaled = std::uint64_t(n - 1) * std::uint64_t(std::clamp(p, 0, 100));
  const std::size_t below = std::size_t(scaled / 100);
  const double fraction = double(scaled % 100) / 100.0;
  const double low = sorted[below];
  if (fraction == 0.0 || below + 1 >= n) return float(low);
  return float(low + fraction * (double(sorted[below + 1]) - low));
}

namespace {
// Ascending order of values that are never negative (a throughput, a page load: the log's
// numbers have no sign). Their bit patterns then order as the numbers do, so a radix sort of
// three passes on 11 bits each orders a million runs in a fraction of a comparison sort's time;
// a pass whose digit is the same for every value (the top bits of values of one range) is left
// out.
void sortNonNegative(std::vector<float>& values) {
  if (values.size() < 4096) {
    std::sort(values.begin(), values.end());
    return;
  }
  std::vector<std::uint32_t> keys(values.size()), spare(values.size());
  std::memcpy(keys.data(), values.data(), values.size() * sizeof(float));
  std::array<std::size_t, 1 << 11> start;
  for (int shift : {0, 11, 22}) {
    start.fill(0);
    for (std::uint32_t k : keys) ++start[(k >> shift) & 0x7FF];
    if (std::find(start.begin(), start.end(), keys.size()) != start.end()) continue;
    std::size_t at = 0;
    for (std::size_t& s : start) at += std::exchange(s, at);
    for (std::uint32_t k : keys) spare[start[(k >> shift) & 0x7FF]++] = k;
    keys.swap(spare);
  }
  std::memcpy(values.data(), keys.data(), values.size() * sizeof(float));
}

// The throughputs and page loads of a set of runs, each in ascending order.
struct SortedRuns {
  std::vector<float> kbps, pageLoad;
};

SortedRuns sortedRunsOf(const SummaryLog& log, const std::vector<std::uint32_t>& runList) {
  SortedRuns s;
  s.kbps.reserve(runList.size());
  s.pageLoad.reserve(runList.size());
  for (std::uint32_t i : runList) {
    // A run's numbers are never negative; 0 stands for anything else all the same.
    s.kbps.push_back(std::max(log.runs[i].kbps, 0.0f));
    s.pageLoad.push_back(std::max(log.runs[i].pageAvg, 0.0f));
  }
  sortNonNegative(s.kbps);
  sortNonNegative(s.pageLoad);
  return s;
}

Percentiles percentilesOf(const SortedRuns& s) {
  Percentiles p;
  for (std::size_t i = 0; i < kKbpsPercentileRanks.size(); ++i)
    p.kbps[i] = percentileOfSorted(s.kbps.data(), s.kbps.size(), kKbpsPercentileRanks[i]);
  for (std::size_t i = 0; i < kPageLoadPercentileRanks.size(); ++i)
    p.pageLoad[i] =
        percentileOfSorted(s.pageLoad.data(), s.pageLoad.size(), kPageLoadPercentileRanks[i]);
  return p;
}
}  // namespace

std::array<Percentiles, 6> tablePercentiles(const SummaryLog& log, const StatisticsTable& table) {
  std::array<Percentiles, 6> out;
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = percentilesOf(sortedRunsOf(log, table.rows[i].runList));
  return out;
}

QString percentileKey(int p) {
  return QStringLiteral("p") + QString::number(p);
}

QStringList percentileColumnTitles() {
  QStringList titles;
  for (int p : kKbpsPercentileRanks) titles << QStringLiteral("Kbps p%1").arg(p);
  for (int p : kPageLoadPercentileRanks) titles << QStringLiteral("Pg Load p%1").arg(p);
  return titles;
}

QString percentileNote() {
  return QStringLiteral(
      "Percentiles by linear interpolation between closest ranks (type 7); p50 may differ "
      "from Med, which is one run.");
}

QStringList percentileRowTexts(const Percentiles& p) {
  QStringList texts;
  for (float v : p.kbps) texts << formatMask(v, "###0.0");
  for (float v : p.pageLoad) texts << formatMask(v, "###0.0");
  return texts;
}

}  // namespace quorvel
