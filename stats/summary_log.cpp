#include "stats/summary_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <charconv>
#include <cstring>

#include "core/app_files.h"
#include "core/app_state.h"
#include "core/line_reader.h"
#include "core/number_format.h"
#include "stats/log_date.h"

namespace quorvel {

namespace {
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// 1-based columns [from, to] of the line, clipped to its length.
QByteArrayView columns(QByteArrayView line, qsizetype from, qsizetype to) {
  if (line.size() < from) return {};
  return line.sliced(from - 1, std::min(to, line.size()) - from + 1);
}

// How many columns the throughput took beyond its seven: a run of 100,000 Kbps or more is
// logged with all its digits, which moves the rest of the line to the right.
qsizetype kbpsOverflow(QByteArrayView line) {
  constexpr QByteArrayView kLabel(" Kbps");
  constexpr qsizetype kLabelAt = 21;  // 0-based position of " Kbps" in a line as laid out
  constexpr qsizetype kMaxOverflow = 16;
  if (line.size() >= kLabelAt + kLabel.size() && line.sliced(kLabelAt, kLabel.size()) == kLabel)
    return 0;
  for (qsizetype shift = 1; shift <= kMaxOverflow; ++shift) {
    const qsizetype at = kLabelAt + shift;
    if (line.size() < at + kLabel.size()) break;
    if (!isDigit(line[at - 1]) && line[at - 1] != '.') break;
    if (line.sliced(at, kLabel.size()) == kLabel) return shift;
  }
  return 0;
}
}  // namespace

DayPart dayPartOf(const QDate& date, int hour) {
  const int dow = date.dayOfWeek();  // Monday 1 .. Sunday 7
  if (dow == 6 || dow == 7 || (dow == 5 && hour >= 23)) return kWeekend;
  if (hour >= 7 && hour <= 12) return kWeekdayMorning;
  if (hour >= 13 && hour <= 18) return kWeekdayAfternoon;
  if (hour >= 19 && hour <= 22) return kWeekdayEvening;
  return kWeekdayLateNight;
}

float fieldValue(QByteArrayView f) {
  qsizetype i = 0;
  while (i < f.size() && f[i] == ' ') ++i;
  const qsizetype start = i;
  bool point = false;
  qsizetype digits = 0;
  for (; i < f.size(); ++i) {
    if (isDigit(f[i])) {
      ++digits;
    } else if (f[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return 0.0f;
  double v = 0.0;
  const char* b = f.data() + start;
  // from_chars does not take a leading '.' or a trailing one with nothing after it.
  char buf[48];
  qsizetype len = std::min<qsizetype>(i - start, qsizetype(sizeof buf) - 2);
  qsizetype o = 0;
  if (b[0] == '.') buf[o++] = '0';
  std::memcpy(buf + o, b, size_t(len));
  o += len;
  if (buf[o - 1] == '.') --o;
  std::from_chars(buf, buf + o, v);
  return static_cast<float>(v);
}

bool isSummaryLogFirstLine(QByteArrayView line) {
  const qsizetype shift = kbpsOverflow(line);
  return line.size() >= 40 + shift && line[2] == '-' && line[5] == '-' &&
         line.sliced(22 + shift, 4) == QByteArrayView("Kbps") &&
         line.sliced(33 + shift, 7) == QByteArrayView("PageAvg");
}

SummaryLogCheck checkSummaryLog(const QString& path) {
  QFile f;
  const FileStatus s = openForReading(f, path);
  // A folder is no log file name; a FIFO or a device in a log's place is told as such.
  if (s.trouble == FileTrouble::NotRegular && !QFileInfo(path).isDir())
    return SummaryLogCheck::NotRegular;
  if (!s.ok()) return SummaryLogCheck::Missing;
  LineReader reader(f);
  QByteArrayView first;
  if (!reader.next(&first)) return SummaryLogCheck::WrongKind;
  return isSummaryLogFirstLine(first) ? SummaryLogCheck::Ok : SummaryLogCheck::WrongKind;
}

bool parseSummaryLine(QByteArrayView line, SummaryRun* run, LogDateCache* cache) {
  if (line.size() < 32) return false;
  std::optional<QDate> date;
  if (cache) {
    // Runs of one day follow each other: the date of the line before is mostly this one's.
    if (!cache->filled || std::memcmp(cache->text, line.data(), 8) != 0) {
      std::memcpy(cache->text, line.data(), 8);
      cache->date = parseLogDate(line.first(8));
      cache->filled = true;
    }
    date = cache->date;
  } else {
    date = parseLogDate(line.first(8));
  }
  if (!date) return false;
  if (!isDigit(line[9]) || !isDigit(line[10])) return false;
  const int hour = (line[9] - '0') * 10 + (line[10] - '0');
  if (hour > 23) return false;
  run->date = *date;
  std::memcpy(run->dateText, line.data(), 8);
  std::memcpy(run->hourText, line.data() + 9, 2);
  run->hour = static_cast<std::int8_t>(hour);
  run->dayPart = dayPartOf(*date, hour);
  const qsizetype shift = kbpsOverflow(line);
  run->kbps = fieldValue(columns(line, 15, 21 + shift));
  run->pageAvg = fieldValue(columns(line, 27 + shift, 32 + shift));
  return true;
}

SummaryLog readSummaryLog(const QString& path, size_t maxRuns) {
  SummaryLog log;
  QFile f;
  if (!openForReading(f, path).ok()) return log;
  // A summary line is 95 bytes with its line end; reserving from the size saves regrowth.
  const qint64 size = f.size();
  if (size > 0)
    log.runs.reserve(std::min(size_t(size / 90 + 16), std::min<size_t>(maxRuns, 2'000'000)));
  LineReader reader(f);
  QByteArrayView line;
  SummaryRun run;
  LogDateCache cache;
  while (reader.next(&line)) {
    if (!parseSummaryLine(line, &run, &cache)) continue;
    if (log.runs.size() >= maxRuns) {
      log.truncated = true;
      break;
    }
    log.runs.push_back(run);
  }
  if (!log.runs.empty()) {
    log.firstDate = log.runs.front().dateString();
    log.lastDate = log.runs.back().dateString();
  }
  return log;
}

QString summaryLogCheckMessage(SummaryLogCheck check, const QString& path) {
  switch (check) {
    case SummaryLogCheck::Ok:
      break;
    case SummaryLogCheck::Missing:
      return QStringLiteral("Invalid log file name!");
    case SummaryLogCheck::NotRegular:
      return QFileInfo(path).fileName() + QStringLiteral(" is not a regular file!");
    case SummaryLogCheck::WrongKind:
      return QStringLiteral("File does not appear to be an Quorvel log file!");
  }
  return {};
}

QString summaryLogTruncatedMessage() {
  return QStringLiteral("Only the first ") + formatMask(double(kSummaryRunCap), "#,##0") +
         QStringLiteral(" runs of the log were read.");
}

QString defaultSummaryLogPath() {
  const QString written = QStringLiteral("QVSum.log");
  if (QFileInfo(appState().filePath(written)).isFile()) return appState().filePath(written);
  const QStringList matches =
      QDir(appState().appFolder).entryList({QStringLiteral("qvsum.log")}, QDir::Files, QDir::Name);
  for (const QString& name : matches)
    if (name.compare(written, Qt::CaseInsensitive) == 0) return appState().filePath(name);
  return appState().filePath(written);
}

}  // namespace quorvel
