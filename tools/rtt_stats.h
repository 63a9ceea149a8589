// The spread of a list of round trips: what the ping and the trace report add to least, mean
// and greatest (iputils' mdev, a median and 95th percentile, mtr's jitter), and the fixed
// buckets their distributions are counted in, so that the counts of many machines add up.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace quorvel {

struct RttStats {
  int count = 0;
  double lastMs = 0, averageMs = 0, bestMs = 0, worstMs = 0;
  double stdevMs = 0;   // population standard deviation (iputils' mdev)
  double medianMs = 0;  // 50th percentile, as percentileMs gives it
  double p95Ms = 0;
  double jitterMs = 0;  // mean absolute difference of consecutive round trips (mtr's Javg)
};

// The statistics of the round trips in microseconds, in the order they were measured; all 0
// when there are none.
RttStats rttStats(const std::vector<std::int64_t>& micros);

// The p-th percentile (0..100) of sorted values, by linear interpolation between the closest
// ranks: rank p/100 x (n - 1) from 0.
double percentileOfSorted(const std::vector<double>& sorted, double p);

// "rtt min/avg/max/mdev/median/p95 = 0.041/0.052/0.070/0.011/0.050/0.068 ms"; "" without
// round trips.
QString rttSummaryLine(const RttStats& s);

// Upper bounds of the round-trip histogram buckets of the metrics files, in milliseconds (a
// last bucket, +Inf, holds the rest). Fixed, so that the files of many machines add up.
inline const std::vector<double> kRttBucketsMs{0.5, 1,   2.5, 5,   10,   25,
                                               50,  100, 250, 500, 1000, 2500};

}  // namespace quorvel
