// Percentiles of the table's rows: how slow the slowest runs of a part of the day were, which
// a mean and a median do not say.
//
// Method: linear interpolation between closest ranks (Hyndman and Fan's type 7, numpy's
// default). Of n ascending values x[0..n-1], percentile p is x[h] for the position
// h = (n - 1) * p / 100, interpolated between x[floor(h)] and x[floor(h) + 1]. So p50 of an
// even number of runs is the average of the two middle ones, while the table's median column
// takes one run (medianIndex). No runs give 0.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstddef>

#include "stats/log_statistics.h"

namespace quorvel {

// Low throughput is the bad end, so its lower percentiles; a long page load is, so its upper.
inline constexpr std::array<int, 7> kKbpsPercentileRanks{5, 10, 25, 50, 75, 90, 95};
inline constexpr std::array<int, 5> kPageLoadPercentileRanks{50, 75, 90, 95, 99};

// Percentile p (0-100) of `n` ascending values, as above.
float percentileOfSorted(const float* sorted, std::size_t n, int p);

struct Percentiles {
  std::array<float, kKbpsPercentileRanks.size()> kbps{};
  std::array<float, kPageLoadPercentileRanks.size()> pageLoad{};
};

// For each of the table's six rows, over exactly the runs that row counted.
std::array<Percentiles, 6> tablePercentiles(const SummaryLog& log, const StatisticsTable& table);

// "p5", "p50", ...: the keys of the figures in JSON.
QString percentileKey(int p);

// The titles of the extra columns: "Kbps p5" ... "Kbps p95", "Pg Load p50" ... "Pg Load p99".
QStringList percentileColumnTitles();

// Where percentiles and the median column stand side by side: "Percentiles by linear
// interpolation between closest ranks (type 7); p50 may differ from Med, which is one run."
QString percentileNote();

// The figures of a row, in the order of the titles, as the table shows them ("###0.0").
QStringList percentileRowTexts(const Percentiles& p);

}  // namespace quorvel
