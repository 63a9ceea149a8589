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
  // The values gathered cell after cell (a counting sort), then each cell's medians.
  const auto cellOf = [&](std::uint32_t i) {
    const SummaryRun& run = log.runs[i];
    return std::size_t(run.date.dayOfWeek() - 1) * 24 + std::size_t(run.hour);
  };
  std::array<std::size_t, 7 * 24 + 1> start{};
  for (std::uint32_t i : runList) ++start[cellOf(i) + 1];
  for (std::size_t c = 0; c < cells.size(); ++c) start[c + 1] += start[c];
  std::vector<float> kbps(runList.size()), page(runList.size());
  std::array<std::size_t, 7 * 24> next{};
  std::copy(start.begin(), start.end() - 1, next.begin());
  for (std::uint32_t i : runList) {
    const std::size_t at = next[cellOf(i)]++;
    kbps[at] = log.runs[i].kbps;
    page[at] = log.runs[i].pageAvg;
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
