#include "cli/stats_history.h"

#include <QJsonDocument>
#include <charconv>
#include <cstdlib>
#include <string>

#include "cli/report_forms.h"
#include "stats/chart_file.h"

namespace quorvel::cli {

QJsonValue jsonSingle(float value) {
  char buf[32];
  const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
  return std::strtod(std::string(buf, end).c_str(), nullptr);
}

namespace {

template <typename Each>
void forCellsWithRuns(const WeekdayHours& cells, Each each) {
  for (const HourCell& cell : cells)
    if (cell.count > 0) each(cell);
}

QByteArray dayPartLabel(DayPart part) {
  for (const DayPartRow& row : kDayPartRows)
    if (row.part == part) return QByteArray(row.label);
  return {};
}

// The fields of one run: ISO date, day part label, ISO weekday, hour, Kbps, page load.
struct RunFields {
  QByteArray date, dayPart, weekday, hour, kbps, pageLoad;
};
RunFields runFields(const SummaryRun& run) {
  return {run.date.toString(Qt::ISODate).toLatin1(), dayPartLabel(run.dayPart),
          QByteArray::number(run.date.dayOfWeek()),  QByteArray::number(run.hour),
          shortestSingle(run.kbps).toLatin1(),       shortestSingle(run.pageAvg).toLatin1()};
}

constexpr qsizetype kPiece = 1 << 20;

}  // namespace

QString alignedColumns(const std::vector<QStringList>& lines) {
  std::vector<qsizetype> widths;
  for (const QStringList& line : lines) {
    widths.resize(std::max(widths.size(), size_t(line.size())), 0);
    for (qsizetype c = 0; c < line.size(); ++c) widths[c] = std::max(widths[c], line[c].size());
  }
  QString out;
  for (const QStringList& line : lines) {
    QString text = line.value(0).leftJustified(widths.empty() ? 0 : widths[0]);
    for (qsizetype c = 1; c < line.size(); ++c)
      text += QStringLiteral("  ") + line[c].rightJustified(widths[c]);
    out += text + '\n';
  }
  out.chop(1);
  return out;
}

QString weekdayHoursText(const WeekdayHours& cells) {
  std::vector<QStringList> lines{weekdayHourColumnTitles()};
  forCellsWithRuns(cells, [&](const HourCell& c) { lines.push_back(weekdayHourRowTexts(c)); });
  return alignedColumns(lines);
}

QByteArray weekdayHoursCsv(const WeekdayHours& cells) {
  QString out =
      CsvRecord({QStringLiteral("weekday"), QStringLiteral("hour"), QStringLiteral("count"),
                 QStringLiteral("median_kbps"), QStringLiteral("median_page_load_seconds")});
  forCellsWithRuns(cells, [&](const HourCell& c) {
    out += CsvRecord({QString::number(c.weekday), QString::number(c.hour), QString::number(c.count),
                      shortestSingle(c.medKbps), shortestSingle(c.medPageLoad)});
  });
  return out.toUtf8();
}

QJsonArray weekdayHoursJson(const WeekdayHours& cells) {
  QJsonArray hours;
  forCellsWithRuns(cells, [&](const HourCell& c) {
    hours.append(QJsonObject{{"weekday", c.weekday},
                             {"hour", c.hour},
                             {"count", c.count},
                             {"median_kbps", jsonSingle(c.medKbps)},
                             {"median_page_load_seconds", jsonSingle(c.medPageLoad)}});
  });
  return hours;
}

void writeRunsCsv(const SummaryLog& log, const std::vector<std::uint32_t>& runList,
                  const std::function<void(const QByteArray&)>& write) {
  QByteArray out = "date,day_part,weekday,hour,kbps,page_load_seconds\r\n";
  for (std::uint32_t i : runList) {
    const RunFields f = runFields(log.runs[i]);
    out += f.date + ',' + f.dayPart + ',' + f.weekday + ',' + f.hour + ',' + f.kbps + ',' +
           f.pageLoad + "\r\n";
    if (out.size() >= kPiece) {
      write(out);
      out.clear();
    }
  }
  write(out);
}

void writeRunsJson(const QJsonObject& head, const SummaryLog& log,
                   const std::vector<std::uint32_t>& runList,
                   const std::function<void(const QByteArray&)>& write) {
  // The head as it stands, its closing brace replaced by the array.
  QByteArray out = QJsonDocument(head).toJson(QJsonDocument::Indented);
  out.chop(out.size() - out.lastIndexOf('}'));
  while (out.endsWith('\n')) out.chop(1);
  out += head.isEmpty() ? "\n    \"runs\": [" : ",\n    \"runs\": [";
  bool first = true;
  for (std::uint32_t i : runList) {
    const RunFields f = runFields(log.runs[i]);
    out += first ? "\n        {" : ",\n        {";
    first = false;
    out += "\"date\": \"" + f.date + "\", \"day_part\": \"" + f.dayPart +
           "\", \"weekday\": " + f.weekday + ", \"hour\": " + f.hour + ", \"kbps\": " + f.kbps +
           ", \"page_load_seconds\": " + f.pageLoad + '}';
    if (out.size() >= kPiece) {
      write(out);
      out.clear();
    }
  }
  out += first ? "]\n}\n" : "\n    ]\n}\n";
  write(out);
}

}  // namespace quorvel::cli
