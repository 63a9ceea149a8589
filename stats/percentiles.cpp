#include "stats/percentiles.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
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
// numbers have no sign). Their bit patterns then order as the numbers do, so a radix sort on
// three digits of 11 bits orders a million runs in a fraction of a comparison sort's time: one
// pass counts all three digits, then one pass a digit moves the values (none for a digit that
// is the same in every value). `spare` is room for the moves; the two may trade buffers.
void sortNonNegative(std::vector<float>& values, std::vector<float>& spare) {
  const std::size_t n = values.size();
  if (n < 4096) {
    std::sort(values.begin(), values.end());
    return;
  }
  spare.resize(n);
  std::array<std::array<std::size_t, 1 << 11>, 3> count{};
  for (float v : values) {
    const auto k = std::bit_cast<std::uint32_t>(v);
    ++count[0][k & 0x7FF];
    ++count[1][(k >> 11) & 0x7FF];
    ++count[2][k >> 22];
  }
  for (int digit = 0; digit < 3; ++digit) {
    auto& start = count[size_t(digit)];
    if (std::find(start.begin(), start.end(), n) != start.end()) continue;
    std::size_t at = 0;
    for (std::size_t& c : start) at += std::exchange(c, at);
    const int shift = 11 * digit;
    for (float v : values) spare[start[(std::bit_cast<std::uint32_t>(v) >> shift) & 0x7FF]++] = v;
    values.swap(spare);
  }
}

// One figure of every run of the list, in ascending order, in `values`.
template <typename Field>
void sortedField(const SummaryLog& log, const std::vector<std::uint32_t>& runList, Field field,
                 std::vector<float>& values, std::vector<float>& spare) {
  values.clear();
  // A run's numbers are never negative; 0 stands for anything else all the same.
  for (std::uint32_t i : runList) values.push_back(std::max(log.runs[i].*field, 0.0f));
  sortNonNegative(values, spare);
}

template <size_t N>
void fillPercentiles(const std::array<int, N>& ranks, const std::vector<float>& sorted,
                     std::array<float, N>& out) {
  for (size_t i = 0; i < N; ++i)
    out[i] = percentileOfSorted(sorted.data(), sorted.size(), ranks[i]);
}
}  // namespace

std::array<Percentiles, 6> tablePercentiles(const SummaryLog& log, const StatisticsTable& table) {
  std::array<Percentiles, 6> out;
  // Two buffers for every row and figure, as long as the longest row.
  std::vector<float> values, spare;
  values.reserve(table.rows.back().runList.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    const std::vector<std::uint32_t>& runs = table.rows[i].runList;
    sortedField(log, runs, &SummaryRun::kbps, values, spare);
    fillPercentiles(kKbpsPercentileRanks, values, out[i].kbps);
    sortedField(log, runs, &SummaryRun::pageAvg, values, spare);
    fillPercentiles(kPageLoadPercentileRanks, values, out[i].pageLoad);
  }
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
