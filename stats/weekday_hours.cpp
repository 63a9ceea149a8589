#include "stats/weekday_hours.h"

#include <algorithm>

#include "core/number_format.h"

namespace quorvel {

WeekdayHours weekdayHours(const SummaryLog& log, const std::vector<std::uint32_t>& runList) {
  WeekdayHours cells;
  for (std::size_t c = 0; c < cells.size(); ++c) {
    cells[c].weekday = int(c / 24) + 1;
    cells[c].hour = int(c % 24);
  }
  // The values gathered cell after cell (a counting sort), then each cell's medians. The log's
  // runs are large records: read once, into the cell, throughput and page load of each.
  std::vector<std::uint8_t> cellOf(runList.size());
  std::vector<float> kbpsIn(runList.size()), pageIn(runList.size());
  std::array<std::size_t, 7 * 24 + 1> start{};
  for (std::size_t k = 0; k < runList.size(); ++k) {
    const SummaryRun& run = log.runs[runList[k]];
    cellOf[k] = std::uint8_t((run.date.dayOfWeek() - 1) * 24 + run.hour);
    kbpsIn[k] = run.kbps;
    pageIn[k] = run.pageAvg;
    ++start[cellOf[k] + 1u];
  }
  for (std::size_t c = 0; c < cells.size(); ++c) start[c + 1] += start[c];
  std::vector<float> kbps(runList.size()), page(runList.size());
  std::array<std::size_t, 7 * 24> next{};
  std::copy(start.begin(), start.end() - 1, next.begin());
  for (std::size_t k = 0; k < runList.size(); ++k) {
    const std::size_t at = next[cellOf[k]]++;
    kbps[at] = kbpsIn[k];
    page[at] = pageIn[k];
  }
  for (std::size_t c = 0; c < cells.size(); ++c) {
    cells[c].count = std::int32_t(start[c + 1] - start[c]);
    cells[c].medKbps = medianOf(kbps.data() + start[c], kbps.data() + start[c + 1]);
    cells[c].medPageLoad = medianOf(page.data() + start[c], page.data() + start[c + 1]);
  }
  return cells;
}

QString weekdayName(int weekday) {
  static const char* const kNames[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                       "Friday", "Saturday", "Sunday"};
  return weekday >= 1 && weekday <= 7 ? QString::fromLatin1(kNames[weekday - 1]) : QString();
}

QStringList weekdayHourColumnTitles() {
  return {QStringLiteral("Weekday"), QStringLiteral("Hour"), QStringLiteral("N"),
          QStringLiteral("Med Kbps"), QStringLiteral("Med Pg Load")};
}

QStringList weekdayHourRowTexts(const HourCell& cell) {
  return {weekdayName(cell.weekday), QStringLiteral("%1").arg(cell.hour, 2, 10, QLatin1Char('0')),
          formatMask(cell.count, "####0"), formatMask(cell.medKbps, "###0.0"),
          formatMask(cell.medPageLoad, "###0.0")};
}

}  // namespace quorvel
