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

template <size_t N>
void fillPercentiles(const std::array<int, N>& ranks, const std::vector<float>& sorted,
                     std::array<float, N>& out) {
  for (size_t i = 0; i < N; ++i)
    out[i] = percentileOfSorted(sorted.data(), sorted.size(), ranks[i]);
}
}  // namespace

std::array<Percentiles, 6> tablePercentiles(const SummaryLog& log, const StatisticsTable& table) {
  std::array<Percentiles, 6> out;
  // The Total's runs read once (the log's runs are large records); each part of the day's are
  // those of its class among them, in the same order, as statisticsPass counts them.
  const std::vector<std::uint32_t>& all = table.rows[5].runList;
  std::vector<float> kbps, page, values, spare;
  std::vector<DayPart> part;
  kbps.reserve(all.size());
  page.reserve(all.size());
  part.reserve(all.size());
  for (std::uint32_t i : all) {
    // A run's numbers are never negative; 0 stands for anything else all the same.
    kbps.push_back(std::max(log.runs[i].kbps, 0.0f));
    page.push_back(std::max(log.runs[i].pageAvg, 0.0f));
    part.push_back(log.runs[i].dayPart);
  }
  const auto sortedOfPart = [&](const std::vector<float>& figures,
                                DayPart p) -> const std::vector<float>& {
    values.clear();
    for (std::size_t k = 0; k < figures.size(); ++k)
      if (part[k] == p) values.push_back(figures[k]);
    sortNonNegative(values, spare);
    return values;
  };
  for (std::size_t r = 0; r < 5; ++r) {
    fillPercentiles(kKbpsPercentileRanks, sortedOfPart(kbps, kDayPartRows[r].part), out[r].kbps);
    fillPercentiles(kPageLoadPercentileRanks, sortedOfPart(page, kDayPartRows[r].part),
                    out[r].pageLoad);
  }
  sortNonNegative(kbps, spare);
  fillPercentiles(kKbpsPercentileRanks, kbps, out[5].kbps);
  sortNonNegative(page, spare);
  fillPercentiles(kPageLoadPercentileRanks, page, out[5].pageLoad);
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
