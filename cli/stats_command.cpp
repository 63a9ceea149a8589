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
#include "stats/chart_file.h"
#include "stats/log_date.h"
#include "stats/log_statistics.h"
#include "stats/summary_log.h"

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

std::vector<QStringList> tableTexts(const StatsReport& report) {
  std::vector<QStringList> rows;
  for (size_t i = 0; i < kDayPartRows.size(); ++i)
    rows.push_back(
        statisticsRowTexts(QString::fromLatin1(kDayPartRows[i].label), report.table.rows[i]));
  return rows;
}

// The window's labels and list view as text: the labels on the left, the table's first
// column left-aligned, the figures right-aligned under their titles.
QString statsText(const StatsReport& report) {
  QList<QPair<QString, QString>> head{{QStringLiteral("Log File:"), report.logPath}};
  if (report.first.text.isEmpty() && report.last.text.isEmpty())
    head.append({QStringLiteral("Dates To Include:"), QStringLiteral("All")});
  if (!report.first.text.isEmpty()) head.append({QStringLiteral("First Date:"), report.first.text});
  if (!report.last.text.isEmpty()) head.append({QStringLiteral("Last Date:"), report.last.text});
  head.append({QStringLiteral("Time Period of Log File:"), periodLabel(report.table.rows.back())});
  QString out;
  for (const auto& [label, value] : head) out += label.leftJustified(25) + value + '\n';
  out += '\n';

  std::vector<QStringList> lines{statisticsColumnTitles()};
  for (const QStringList& row : tableTexts(report)) lines.push_back(row);
  std::vector<qsizetype> widths(6, 0);
  for (const QStringList& line : lines)
    for (int c = 0; c < 6; ++c) widths[c] = std::max(widths[c], line[c].size());
  for (const QStringList& line : lines) {
    QString text = line[0].leftJustified(widths[0]);
    for (int c = 1; c < 6; ++c) text += QStringLiteral("  ") + line[c].rightJustified(widths[c]);
    out += text + '\n';
  }
  out.chop(1);
  return out;
}

QByteArray statsCsv(const StatsReport& report) {
  QString out = CsvRecord(statisticsColumnTitles());
  for (const QStringList& row : tableTexts(report)) out += CsvRecord(row);
  return out.toUtf8();
}

// A single-precision figure as the shortest decimal that reads back as it (13.214286, not
// 13.214285850524902).
QJsonValue single(float value) {
  char buf[32];
  const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
  return std::strtod(std::string(buf, end).c_str(), nullptr);
}

QJsonValue dateOrNull(const std::optional<QDate>& d) {
  return d ? QJsonValue(d->toString(Qt::ISODate)) : QJsonValue();
}
QJsonValue textOrNull(const QString& text) {
  return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QJsonObject statsJson(const StatsReport& report) {
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
        {"shown", QJsonArray::fromStringList(shown[i])}});
  }
  doc.insert("rows", rows);
  doc.insert("chart_file", report.chartPath);
  doc.insert("chart_written", report.table.chartWritten);
  return doc;
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

  if (json)
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
