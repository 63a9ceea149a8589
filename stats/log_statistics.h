// The statistics pass over a summary log: for one part of the day (or all runs) and an
// optional range of dates, the count, mean and median throughput and page load time.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "stats/summary_log.h"

namespace quorvel {

// Inclusive calendar-date limits; an empty side is no limit. A first date after the last
// date is taken as given: no run falls in such a range.
struct DateLimits {
  std::optional<QDate> first;
  std::optional<QDate> last;
};

struct StatisticsResult {
  QString firstDate;  // the log's period: date texts of its first and last run lines
  QString lastDate;
  std::int32_t count = 0;
  float avgKbps = 0.0f;
  float avgPageLoad = 0.0f;
  float medKbps = 0.0f;
  float medPageLoad = 0.0f;
  // The runs counted, in log order (indices into SummaryLog::runs).
  std::vector<std::uint32_t> runList;
};

// Candidates: throughput at least 1.0 and page load time at most 60.0 (single precision), of
// the given part of the day (kAllDayParts: any), within the limits.
bool isCandidate(const SummaryRun& run, DayPart part, const DateLimits& limits);

// One pass over the log's runs.
StatisticsResult statisticsPass(const SummaryLog& log, DayPart part, const DateLimits& limits);

// 1-based index of the median among `count` sorted values: (count + 1) / 2 rounded half to
// even (1 -> 1, 2 -> 2, 4 -> 2, 6 -> 4, 8 -> 4); 0 for a count of 0.
std::int32_t medianIndex(std::int32_t count);

// The median of the values as defined above: the value at medianIndex(n) of the ascending
// order (no two values averaged); 0 for no values. Reorders the values.
float medianOf(std::vector<float>& values);
// The same over [first, last).
float medianOf(float* first, float* last);

// The six rows of the statistics table, in order.
struct DayPartRow {
  const char* label;
  DayPart part;
};
inline constexpr std::array<DayPartRow, 6> kDayPartRows{{
    {"Weekday morning", kWeekdayMorning},
    {"Weekday afternoon", kWeekdayAfternoon},
    {"Weekday evening", kWeekdayEvening},
    {"Weekday late night", kWeekdayLateNight},
    {"Weekend", kWeekend},
    {"Total", kAllDayParts},
}};

// A full computation: the six passes in table order. The chart data file is written from the
// last of them (the Total row), as six passes each writing it would leave it.
struct StatisticsTable {
  std::array<StatisticsResult, 6> rows;
  bool chartWritten = false;
  QString chartError;  // why the chart file could not be written
};
StatisticsTable computeStatistics(const SummaryLog& log, const DateLimits& limits,
                                  const QString& chartPath);

// The titles of the table's six columns: "Day Part", "N", "Avg Kbps", "Med Kbps",
// "Avg Pg Load", "Med Pg Load".
QStringList statisticsColumnTitles();

// The six texts of a row as the table shows them: the label, the count ("####0"), then mean
// and median throughput and mean and median page load time ("###0.0").
QStringList statisticsRowTexts(const QString& label, const StatisticsResult& r);

// One pass straight from a file, writing the chart data file like a full computation does.
StatisticsResult statisticsPassFile(const QString& logPath, DayPart part, const DateLimits& limits,
                                    const QString& chartPath, QString* chartError = nullptr);

}  // namespace quorvel
