// quorvel stats: the statistics window's table of runs by part of the day, without the window.
#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <charconv>
#include <cstdlib>
#include <string>

#include "core/exit_codes.h"
#include "cli/commands.h"
#include "cli/report_forms.h"
#include "cli/stats_history.h"
#include "stats/chart_file.h"
#include "stats/log_date.h"
#include "stats/log_statistics.h"
#include "stats/percentiles.h"
#include "stats/summary_log.h"
#include "stats/weekday_hours.h"

namespace quorvel::cli {

namespace {

// A date limit as given on the command line, read by the rules of the window's date boxes.
struct GivenLimit {
  QString option;  // "first-date"
  QString text;    // as given; empty when the option was not given
};

struct StatsReport {
  QString logPath;
  GivenLimit first{QStringLiteral("first-date"), {}};
  GivenLimit last{QStringLiteral("last-date"), {}};
  DateLimits limits;
  size_t runsRead = 0;
  bool truncated = false;
  StatisticsTable table;
  QString chartPath;
  bool withPercentiles = false;  // --percentiles: their columns in the text and the CSV
  std::array<Percentiles, 6> percentiles;
};

// Checks one limit as the window checks its box; false with the sentence to say.
bool readLimit(const GivenLimit& given, std::optional<QDate>* limit, QString* error) {
  QDate date;
  const DateLimitCheck check = checkDateLimit(given.text, QDate::currentDate(), &date);
  switch (check) {
    case DateLimitCheck::Empty:
      limit->reset();
      return true;
    case DateLimitCheck::Valid:
      *limit = date;
      return true;
    case DateLimitCheck::Invalid:
      *error = dateLimitMessage(check) +
               QStringLiteral(" (--%1 \"%2\"; write %3)")
                   .arg(given.option, given.text, QString::fromLatin1(kDateFormatHint));
      return false;
    case DateLimitCheck::Future:
      *error =
          dateLimitMessage(check) + QStringLiteral(" (--%1 \"%2\")").arg(given.option, given.text);
      return false;
  }
  return false;
}

QString periodLabel(const StatisticsResult& total) {
  return total.firstDate + QStringLiteral(" to ") + total.lastDate;
}

QStringList columnTitles(const StatsReport& report) {
  QStringList titles = statisticsColumnTitles();
  if (report.withPercentiles) titles += percentileColumnTitles();
  return titles;
}

std::vector<QStringList> tableTexts(const StatsReport& report) {
  std::vector<QStringList> rows;
  for (size_t i = 0; i < kDayPartRows.size(); ++i)
    rows.push_back(
        statisticsRowTexts(QString::fromLatin1(kDayPartRows[i].label), report.table.rows[i]));
  return rows;
}

std::vector<QStringList> shownRows(const StatsReport& report) {
  std::vector<QStringList> rows = tableTexts(report);
  if (report.withPercentiles)
    for (size_t i = 0; i < rows.size(); ++i) rows[i] += percentileRowTexts(report.percentiles[i]);
  return rows;
}

// The window's labels as text, then a blank line.
QString headText(const StatsReport& report) {
  QList<QPair<QString, QString>> head{{QStringLiteral("Log File:"), report.logPath}};
  if (report.first.text.isEmpty() && report.last.text.isEmpty())
    head.append({QStringLiteral("Dates To Include:"), QStringLiteral("All")});
  if (!report.first.text.isEmpty()) head.append({QStringLiteral("First Date:"), report.first.text});
  if (!report.last.text.isEmpty()) head.append({QStringLiteral("Last Date:"), report.last.text});
  head.append({QStringLiteral("Time Period of Log File:"), periodLabel(report.table.rows.back())});
  QString out;
  for (const auto& [label, value] : head) out += label.leftJustified(25) + value + '\n';
  return out + '\n';
}

// The window's labels and list view as text: the labels on the left, the table's first
// column left-aligned, the figures right-aligned under their titles. With --percentiles, the
// percentile columns follow, a note on them after the table.
QString statsText(const StatsReport& report) {
  std::vector<QStringList> lines{columnTitles(report)};
  for (const QStringList& row : shownRows(report)) lines.push_back(row);
  QString out = headText(report) + alignedColumns(lines);
  if (report.withPercentiles) out += QStringLiteral("\n\n") + percentileNote();
  return out;
}

QByteArray statsCsv(const StatsReport& report) {
  QString out = CsvRecord(columnTitles(report));
  for (const QStringList& row : shownRows(report)) out += CsvRecord(row);
  return out.toUtf8();
}

QJsonValue single(float value) {
  return jsonSingle(value);
}

template <size_t N>
QJsonObject percentileJson(const std::array<int, N>& ranks, const std::array<float, N>& values) {
  QJsonObject o;
  for (size_t i = 0; i < N; ++i) o.insert(percentileKey(ranks[i]), single(values[i]));
  return o;
}

QJsonValue dateOrNull(const std::optional<QDate>& d) {
  return d ? QJsonValue(d->toString(Qt::ISODate)) : QJsonValue();
}
QJsonValue textOrNull(const QString& text) {
  return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

// What every JSON document of the command begins with: the log, the limits and the period.
QJsonObject jsonHead(const StatsReport& report) {
  QJsonObject doc = JsonHead(QStringLiteral("stats"));
  const StatisticsResult& total = report.table.rows.back();
  doc.insert("log", report.logPath);
  doc.insert("first_date", textOrNull(report.first.text));
  doc.insert("last_date", textOrNull(report.last.text));
  doc.insert("limits", QJsonObject{{"first", dateOrNull(report.limits.first)},
                                   {"last", dateOrNull(report.limits.last)}});
  doc.insert("period", QJsonObject{{"first", total.firstDate},
                                   {"last", total.lastDate},
                                   {"shown", periodLabel(total)}});
  doc.insert("runs_read", static_cast<double>(report.runsRead));
  doc.insert("truncated", report.truncated);
  return doc;
}

QJsonObject statsJson(const StatsReport& report) {
  QJsonObject doc = jsonHead(report);
  doc.insert("percentile_method", percentileNote());
  QJsonArray rows;
  const std::vector<QStringList> shown = tableTexts(report);
  for (size_t i = 0; i < kDayPartRows.size(); ++i) {
    const StatisticsResult& r = report.table.rows[i];
    const DayPart part = kDayPartRows[i].part;
    rows.append(QJsonObject{
        {"day_part", QString::fromLatin1(kDayPartRows[i].label)},
        {"class", part == kAllDayParts ? QJsonValue() : QJsonValue(QString::number(part))},
        {"count", r.count},
        {"avg_kbps", single(r.avgKbps)},
        {"med_kbps", single(r.medKbps)},
        {"avg_page_load_seconds", single(r.avgPageLoad)},
        {"med_page_load_seconds", single(r.medPageLoad)},
        {"kbps_percentiles", percentileJson(kKbpsPercentileRanks, report.percentiles[i].kbps)},
        {"page_load_percentiles",
         percentileJson(kPageLoadPercentileRanks, report.percentiles[i].pageLoad)},
        {"shown", QJsonArray::fromStringList(shown[i])}});
  }
  doc.insert("rows", rows);
  doc.insert("chart_file", report.chartPath);
  doc.insert("chart_written", report.table.chartWritten);
  return doc;
}

// The options of the history views that do not go together; "" when they do.
QString historyMistake(const ParsedArgs& args, bool jsonOrCsv) {
  const bool byHour = args.has(QStringLiteral("by-hour")), runs = args.has(QStringLiteral("runs"));
  if (byHour && runs) return QStringLiteral("Choose one of --by-hour and --runs.");
  if (runs && !jsonOrCsv) return QStringLiteral("--runs writes CSV or JSON: add --csv or --json.");
  if (args.has(QStringLiteral("percentiles")) && (byHour || runs))
    return QStringLiteral("--percentiles goes with the table, not with --by-hour or --runs.");
  return {};
}

// --by-hour: the cells of the week that have runs.
void writeWeekdayHours(const StatsReport& report, const WeekdayHours& cells, bool json, bool csv,
                       Console& console) {
  if (json) {
    QJsonObject doc = jsonHead(report);
    doc.insert("hours", weekdayHoursJson(cells));
    console.printRaw(QJsonDocument(doc).toJson(QJsonDocument::Indented));
  } else if (csv) {
    console.printRaw(weekdayHoursCsv(cells));
  } else {
    console.print(headText(report) + weekdayHoursText(cells));
  }
}

// --runs: every run of the Total row.
void writeRuns(const StatsReport& report, const SummaryLog& log, bool json, Console& console) {
  const auto write = [&](const QByteArray& piece) { console.printRaw(piece); };
  if (json)
    writeRunsJson(jsonHead(report), log, report.table.rows.back().runList, write);
  else
    writeRunsCsv(log, report.table.rows.back().runList, write);
}

}  // namespace

int RunStats(const ParsedArgs& args, Console& console) {
  const bool json = args.has(QStringLiteral("json")), csv = args.has(QStringLiteral("csv"));
  if (json && csv) {
    console.error(QStringLiteral("Choose one of --json and --csv."));
    return kExitCannotStart;
  }
  if (args.positional.size() > 1) {
    console.error(QStringLiteral("Give one log file at most."));
    return kExitCannotStart;
  }
  const bool byHour = args.has(QStringLiteral("by-hour")), runs = args.has(QStringLiteral("runs"));
  if (const QString mistake = historyMistake(args, json || csv); !mistake.isEmpty()) {
    console.error(mistake);
    return kExitCannotStart;
  }
  StatsReport report;
  report.logPath = args.positional.isEmpty() ? defaultSummaryLogPath() : args.positional.front();
  report.first.text = args.value(report.first.option);
  report.last.text = args.value(report.last.option);
  report.chartPath = chartFilePath();

  // The checks of the window's Compute, in its order: the file, then the two dates.
  const SummaryLogCheck check = checkSummaryLog(report.logPath);
  if (check != SummaryLogCheck::Ok) {
    console.error(summaryLogCheckMessage(check, report.logPath) +
                  QStringLiteral(" (%1)").arg(report.logPath));
    return kExitCannotStart;
  }
  QString error;
  if (!readLimit(report.first, &report.limits.first, &error) ||
      !readLimit(report.last, &report.limits.last, &error)) {
    console.error(error);
    return kExitCannotStart;
  }

  const SummaryLog log = readSummaryLog(report.logPath);
  report.runsRead = log.runs.size();
  report.truncated = log.truncated;
  report.table = computeStatistics(log, report.limits, report.chartPath);
  report.withPercentiles = args.has(QStringLiteral("percentiles"));
  if (json || report.withPercentiles) report.percentiles = tablePercentiles(log, report.table);

  if (byHour)
    writeWeekdayHours(report, weekdayHours(log, report.table.rows.back().runList), json, csv,
                      console);
  else if (runs)
    writeRuns(report, log, json, console);
  else if (json)
    console.printRaw(QJsonDocument(statsJson(report)).toJson(QJsonDocument::Indented));
  else if (csv)
    console.printRaw(statsCsv(report));
  else
    console.print(statsText(report));

  if (report.truncated) console.error(summaryLogTruncatedMessage());
  if (!report.table.chartWritten) {
    console.error(QStringLiteral("Could not write the chart file %1: %2")
                      .arg(report.chartPath, report.table.chartError));
    return kExitNotWritten;
  }
  return kExitOk;
}

}  // namespace quorvel::cli
