#include "stats/percentiles.h"

#include <algorithm>
#include <cstdint>
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
// The throughputs and page loads of a set of runs, each in ascending order.
struct SortedRuns {
  std::vector<float> kbps, pageLoad;
};

SortedRuns sortedRunsOf(const SummaryLog& log, const std::vector<std::uint32_t>& runList) {
  SortedRuns s;
  s.kbps.reserve(runList.size());
  s.pageLoad.reserve(runList.size());
  for (std::uint32_t i : runList) {
    s.kbps.push_back(log.runs[i].kbps);
    s.pageLoad.push_back(log.runs[i].pageAvg);
  }
  std::sort(s.kbps.begin(), s.kbps.end());
  std::sort(s.pageLoad.begin(), s.pageLoad.end());
  return s;
}

// The five parts of the day share out the Total's runs: their sorted values merge into the
// Total's, which is quicker than sorting them again.
std::vector<float> mergedParts(const std::array<SortedRuns, 5>& parts,
                               std::vector<float> SortedRuns::*values) {
  std::vector<float> all;
  for (const SortedRuns& part : parts) {
    const std::vector<float>& v = part.*values;
    const auto middle = static_cast<std::ptrdiff_t>(all.size());
    all.insert(all.end(), v.begin(), v.end());
    std::inplace_merge(all.begin(), all.begin() + middle, all.end());
  }
  return all;
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
  static_assert(kDayPartRows.size() == 6 && kDayPartRows[5].part == kAllDayParts);
  std::array<Percentiles, 6> out;
  std::array<SortedRuns, 5> parts;
  std::size_t inParts = 0;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    parts[i] = sortedRunsOf(log, table.rows[i].runList);
    out[i] = percentilesOf(parts[i]);
    inParts += parts[i].kbps.size();
  }
  SortedRuns total;
  if (inParts == table.rows[5].runList.size()) {
    total.kbps = mergedParts(parts, &SortedRuns::kbps);
    total.pageLoad = mergedParts(parts, &SortedRuns::pageLoad);
  } else {
    total = sortedRunsOf(log, table.rows[5].runList);
  }
  out[5] = percentilesOf(total);
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
