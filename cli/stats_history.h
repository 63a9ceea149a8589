// What `quorvel stats` writes beside the table: the runs by weekday and hour (--by-hour), and
// every run the table counted (--runs), for a spreadsheet or a notebook.
#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <functional>

#include "stats/log_statistics.h"
#include "stats/weekday_hours.h"

namespace quorvel::cli {

// A single-precision figure as the shortest decimal that reads back as it (13.214286, not
// 13.214285850524902).
QJsonValue jsonSingle(float value);

// A table of text lines: the first column left-aligned, the others right-aligned under their
// titles, two blanks between columns; no line end after the last line.
QString alignedColumns(const std::vector<QStringList>& lines);

// The cells that have runs, in week order: text table, CSV (ISO weekday numbers) and JSON.
QString weekdayHoursText(const WeekdayHours& cells);
QByteArray weekdayHoursCsv(const WeekdayHours& cells);
QJsonArray weekdayHoursJson(const WeekdayHours& cells);

// The runs of `runList` as CSV: date (ISO), day part, weekday (ISO), hour, Kbps, page load.
// Handed out in pieces of about a megabyte.
void writeRunsCsv(const SummaryLog& log, const std::vector<std::uint32_t>& runList,
                  const std::function<void(const QByteArray&)>& write);

// The JSON document `head` with an array "runs" of the same figures, one object a run, written
// in pieces without building the array in memory.
void writeRunsJson(const QJsonObject& head, const SummaryLog& log,
                   const std::vector<std::uint32_t>& runList,
                   const std::function<void(const QByteArray&)>& write);

}  // namespace quorvel::cli
