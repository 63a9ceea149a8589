// The runs by weekday and hour of the day: which hour of the week is slow, which the five parts
// of the day hide. Over the runs of the table's Total row, by the local date and hour the log
// gives each run.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

#include "stats/log_statistics.h"

namespace quorvel {

struct HourCell {
  int weekday = 1;  // ISO: 1 Monday .. 7 Sunday
  int hour = 0;     // 0 .. 23
  std::int32_t count = 0;
  float medKbps = 0.0f;  // medians by the table's rule (medianOf): one run, never an average
  float medPageLoad = 0.0f;
};

// 7 x 24 cells, Monday 0:00 first, Sunday 23:00 last; a cell without runs has a count of 0.
using WeekdayHours = std::array<HourCell, 7 * 24>;

WeekdayHours weekdayHours(const SummaryLog& log, const std::vector<std::uint32_t>& runList);

// "Monday" .. "Sunday" for 1 .. 7.
QString weekdayName(int weekday);

// "Weekday", "Hour", "N", "Med Kbps", "Med Pg Load".
QStringList weekdayHourColumnTitles();

// The texts of a cell: its weekday's name, the hour ("00".."23"), the count ("####0"), the
// medians ("###0.0").
QStringList weekdayHourRowTexts(const HourCell& cell);

}  // namespace quorvel
