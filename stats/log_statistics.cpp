#include "stats/log_statistics.h"

#include <algorithm>

#include "core/number_format.h"
#include "stats/chart_file.h"

namespace quorvel {

bool isCandidate(const SummaryRun& run, DayPart part, const DateLimits& limits) {
  if (!(run.kbps >= 1.0f && run.pageAvg <= 60.0f)) return false;
  if (part != kAllDayParts && run.dayPart != part) return false;
  if (limits.first && run.date < *limits.first) return false;
  if (limits.last && run.date > *limits.last) return false;
  return true;
}

std::int32_t medianIndex(std::int32_t count) {
  if (count <= 0) return 0;
  if (count % 2 == 1) return count / 2 + 1;
  const std::int32_t k = count / 2;  // (2k + 1) / 2 = k + 0.5: the even one of k, k + 1
  return k % 2 == 0 ? k : k + 1;
}

float medianOf(std::vector<float>& values) {
  return medianOf(values.data(), values.data() + values.size());
}

float medianOf(float* first, float* last) {
  const auto idx = medianIndex(static_cast<std::int32_t>(last - first));
  if (idx == 0) return 0.0f;
  // The element that an ascending sort would put at position idx (1-based).
  float* nth = first + (idx - 1);
  std::nth_element(first, nth, last);
  return *nth;
}

StatisticsResult statisticsPass(const SummaryLog& log, DayPart part, const DateLimits& limits) {
  StatisticsResult r;
  r.firstDate = log.firstDate;
  r.lastDate = log.lastDate;
  std::vector<float> kbps, page;
  double sumKbps = 0.0, sumPage = 0.0;
  const auto n = static_cast<std::uint32_t>(log.runs.size());
  for (std::uint32_t i = 0; i < n; ++i) {
    const SummaryRun& run = log.runs[i];
    if (!isCandidate(run, part, limits)) continue;
    r.runList.push_back(i);
    kbps.push_back(run.kbps);
    page.push_back(run.pageAvg);
    sumKbps += run.kbps;
    sumPage += run.pageAvg;
  }
  r.count = static_cast<std::int32_t>(r.runList.size());
  if (r.count > 0) {
    r.avgKbps = static_cast<float>(sumKbps / r.count);
    r.avgPageLoad = static_cast<float>(sumPage / r.count);
  }
  r.medKbps = medianOf(kbps);
  r.medPageLoad = medianOf(page);
  return r;
}

namespace {
bool writeChartFor(const SummaryLog& log, const StatisticsResult& r, const QString& chartPath,
                   QString* error) {
  std::vector<ChartRunLine> lines;
  lines.reserve(r.runList.size());
  for (std::uint32_t i : r.runList) {
    const SummaryRun& run = log.runs[i];
    lines.push_back({run.dateText, run.hourText, run.kbps});
  }
  return writeChartFile(chartPath, r.firstDate, r.lastDate, lines, error);
}
}  // namespace

StatisticsTable computeStatistics(const SummaryLog& log, const DateLimits& limits,
                                  const QString& chartPath) {
  StatisticsTable t;
  for (size_t i = 0; i < kDayPartRows.size(); ++i)
    t.rows[i] = statisticsPass(log, kDayPartRows[i].part, limits);
  t.chartWritten = writeChartFor(log, t.rows.back(), chartPath, &t.chartError);
  return t;
}

StatisticsResult statisticsPassFile(const QString& logPath, DayPart part, const DateLimits& limits,
                                    const QString& chartPath, QString* chartError) {
  const SummaryLog log = readSummaryLog(logPath);
  StatisticsResult r = statisticsPass(log, part, limits);
  QString error;
  writeChartFor(log, r, chartPath, &error);
  if (chartError) *chartError = error;
  return r;
}

QStringList statisticsColumnTitles() {
  return {QStringLiteral("Day Part"), QStringLiteral("N"),           QStringLiteral("Avg Kbps"),
          QStringLiteral("Med Kbps"), QStringLiteral("Avg Pg Load"), QStringLiteral("Med Pg Load")};
}

QStringList statisticsRowTexts(const QString& label, const StatisticsResult& r) {
  return {label,
          formatMask(r.count, "####0"),
          formatMask(r.avgKbps, "###0.0"),
          formatMask(r.medKbps, "###0.0"),
          formatMask(r.avgPageLoad, "###0.0"),
          formatMask(r.medPageLoad, "###0.0")};
}

}  // namespace quorvel
