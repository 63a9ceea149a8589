// Dates of the summary log ("MM-DD-YY") and the dates a user types as limits.
//
// Two-digit years: the log has always written the year in two digits. They are read through
// a fixed window: 00-69 are 2000-2069, 70-99 are 1970-1999. Every log this program has
// written (it has never run before 1970) and will write until the end of 2069 reads right,
// and the same window applies to a two-digit year typed as a date limit.
#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <optional>

namespace quorvel {

// 00-69 -> 2000-2069, 70-99 -> 1970-1999. Values outside 0..99 are returned unchanged.
int expandTwoDigitYear(int yy);

// The date of a log line: exactly "MM-DD-YY" (two digits each, '-' between), a real calendar
// date. Anything else gives no date.
std::optional<QDate> parseLogDate(QByteArrayView eight);

// A date limit as typed: month, day and year separated by '/', '-' or '.', month and day with
// one or two digits, the year with two (through the window above) or four; also the ISO form
// YYYY-MM-DD. Blanks around the text are ignored. No date for anything else.
std::optional<QDate> parseUserDate(const QString& text);

// The form shown to the user as a hint.
inline constexpr const char* kDateFormatHint = "MM/DD/YYYY";

// Result of checking one date limit box.
enum class DateLimitCheck { Empty, Valid, Invalid, Future };

// Empty text is no limit; text that is not a date is Invalid; a date after `today` is Future.
DateLimitCheck checkDateLimit(const QString& text, const QDate& today, QDate* date);

// What the statistics say of a refused limit ("" for Empty and Valid): "Invalid date!",
// "Date can not be in the future!".
QString dateLimitMessage(DateLimitCheck check);

}  // namespace quorvel
