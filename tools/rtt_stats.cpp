#include "tools/rtt_stats.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

double percentileOfSorted(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0;
  const double rank = std::clamp(p, 0.0, 100.0) / 100.0 * static_cast<double>(sorted.size() - 1);
  const auto below = static_cast<std::size_t>(std::floor(rank));
  const std::size_t above = std::min(below + 1, sorted.size() - 1);
  return sorted[below] + (rank - static_cast<double>(below)) * (sorted[above] - sorted[below]);
}

RttStats rttStats(const std::vector<std::int64_t>& micros) {
  RttStats s;
  if (micros.empty()) return s;
  std::vector<double> ms;
  ms.reserve(micros.size());
  for (std::int64_t us : micros) ms.push_back(static_cast<double>(us) / 1000.0);
  s.count = static_cast<int>(ms.size());
  s.lastMs = ms.back();
  double sum = 0, jitter = 0;
  for (std::size_t i = 0; i < ms.size(); ++i) {
    sum += ms[i];
    if (i > 0) jitter += std::abs(ms[i] - ms[i - 1]);
  }
  s.averageMs = sum / s.count;
  double squares = 0;
  for (double x : ms) squares += (x - s.averageMs) * (x - s.averageMs);
  s.stdevMs = std::sqrt(squares / s.count);
  s.jitterMs = s.count > 1 ? jitter / (s.count - 1) : 0.0;
  std::sort(ms.begin(), ms.end());
  s.bestMs = ms.front();
  s.worstMs = ms.back();
  s.medianMs = percentileOfSorted(ms, 50);
  s.p95Ms = percentileOfSorted(ms, 95);
  return s;
}

QString rttSummaryLine(const RttStats& s) {
  if (s.count == 0) return {};
  QString figures;
  for (double v : {s.bestMs, s.averageMs, s.worstMs, s.stdevMs, s.medianMs, s.p95Ms})
    figures += (figures.isEmpty() ? QString() : QStringLiteral("/")) + QString::number(v, 'f', 3);
  return QStringLiteral("rtt min/avg/max/mdev/median/p95 = ") + figures + QStringLiteral(" ms");
}

}  // namespace quorvel
