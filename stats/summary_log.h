// The summary log (QVSum.log) read back by character position: one line per completed
// benchmark run, "MM-DD-YY HH:MM" then the throughput (columns 15-21), " Kbps" and the average
// page load time (columns 27-32), " PageAvg", ...
#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace quorvel {

// Parts of the week and day a run is sorted into (0 is "no class": every run).
enum DayPart : std::int8_t {
  kAllDayParts = 0,
  kWeekdayMorning = 1,    // Monday to Friday, 7-12
  kWeekdayAfternoon = 2,  // Monday to Friday, 13-18
  kWeekdayEvening = 3,    // Monday to Friday, 19-22
  kWeekdayLateNight = 4,  // Monday to Thursday 23 and 0-6; Friday 0-6
  kWeekend = 5,           // Saturday, Sunday, Friday from 23
};

// The class of a run from its date and its start hour (0-23).
DayPart dayPartOf(const QDate& date, int hour);

// One line of the log that is a run line: a real date at 1-8, a two-digit hour 00-23 at
// 10-11, and at least the 32 characters that hold both numbers.
struct SummaryRun {
  QDate date;
  char dateText[8];  // columns 1-8 as written
  char hourText[2];  // columns 10-11 as written
  std::int8_t hour = 0;
  DayPart dayPart = kAllDayParts;
  float kbps = 0.0f;     // numeric value of columns 15-21
  float pageAvg = 0.0f;  // numeric value of columns 27-32

  QString dateString() const { return QString::fromLatin1(dateText, 8); }
  QString hourString() const { return QString::fromLatin1(hourText, 2); }
};

// The run lines of a log in file order. Lines that are not run lines (blank, short, binary,
// no valid date or hour) are left out: they neither count nor mark the log's period.
struct SummaryLog {
  std::vector<SummaryRun> runs;
  QString firstDate;       // date text of the first run line ("" when there is none)
  QString lastDate;        // date text of the last run line
  bool truncated = false;  // the log held more run lines than were read
};

// The most run lines read from one log (some 320 MB of memory). The benchmark rotates its
// summary log at 500,000 bytes, about 5,000 runs; only a foreign or hand-made file gets here.
inline constexpr size_t kSummaryRunCap = 10'000'000;

// What the statistics say when a log held more: "Only the first 10,000,000 runs of the log
// were read."
QString summaryLogTruncatedMessage();

// Result of the test that a file is a summary log at all.
enum class SummaryLogCheck { Ok, Missing, NotRegular, WrongKind };

// The first line of a summary log has '-' at 3 and 6, "Kbps" at 23-26 and "PageAvg" at 34-40.
bool isSummaryLogFirstLine(QByteArrayView line);

// Missing when the file does not exist or cannot be opened; NotRegular for a FIFO, a device or
// anything else that is not a regular file (never opened); WrongKind when its first line
// fails the test above (an empty file included). Lines end with CR LF, LF or CR.
SummaryLogCheck checkSummaryLog(const QString& path);

// What the statistics say of a log that fails the check ("" for Ok): "Invalid log file
// name!", "<name> is not a regular file!", "File does not appear to be an Quorvel log file!".
QString summaryLogCheckMessage(SummaryLogCheck check, const QString& path);

// The log the statistics open with: the summary log in the application folder. Linux names
// are case-sensitive while the log is written as "QVSum.log": an existing file whose name
// matches "qvsum.log" in any case is taken ("QVSum.log" first), else "QVSum.log".
QString defaultSummaryLogPath();

// Reads every line of the log, up to maxRuns run lines. Never fails: an unreadable file gives
// an empty log.
SummaryLog readSummaryLog(const QString& path, size_t maxRuns = kSummaryRunCap);

// The last date text read and what it gave, to read consecutive lines of one day quickly.
struct LogDateCache {
  bool filled = false;
  char text[8] = {};
  std::optional<QDate> date;
};

// Parses one line (without its line end); false when it is not a run line.
bool parseSummaryLine(QByteArrayView line, SummaryRun* run, LogDateCache* cache = nullptr);

// The numeric value of a fixed field: leading blanks skipped, then digits with at most one
// decimal point; reading stops at any other character; 0 when there is no digit.
float fieldValue(QByteArrayView field);

}  // namespace quorvel
