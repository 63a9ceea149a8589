// The texts of the result logs, one function per kind of line. Every line is returned without
// its line ending; the log writer adds carriage return and line feed.
//
// The summary log is read back by column, so the widths here are fixed: a value longer than
// its field keeps its rightmost characters.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>

#include "bench/run_totals.h"

namespace quorvel {

// A line as every log writes it: each control character (C0, DEL, C1) and each Unicode line
// or paragraph separator percent-encoded as a request encodes it ("%0D%0A"), so that no text
// that came from a page can end a line or begin one of its own.
QString LogLineText(QStringView line);

// "MM-DD-YY HH:MM": two-digit month, day and year, 24-hour clock; always 14 characters.
QString ReportDate(const QDateTime& when);

// What an error of a fetched file is, in words: "Link not found on server" for a page the
// server did not have, the sentence of an Internet error, else "Quorvel error N".
QString FileErrorText(int error);

// The name with its extension replaced: "QVSum.log" -> "QVSum.bak"; "name" -> "name.bak".
QString ReplaceExtension(const QString& name, const QString& extension);

// The main log's lines for one file fetched: one line on success, two for an error below
// 12000 (the "ERROR on" line and its explanation), one for an Internet error (12000 and up).
QStringList FileLogLines(const QString& date, const QString& url, std::int64_t bytes,
                         std::int64_t micros, int error);

// The URL log's line for one URL list entry (unattended runs).
QString UrlLogLine(const QString& date, const UrlTotals& totals, const QString& host);

// The main log's block after one URL list entry: a blank line, the header, four totals, a
// blank line. A listed page is headed by its host, a frame page by its full URL.
QStringList UrlSummaryLines(const QString& date, const QString& hostOrUrl, const UrlTotals& totals,
                            bool isFrame);

// Throughput in kilobits per second and the average page load time in seconds, as the summary
// line and the statistics hold them (single precision, one decimal).
float SummaryKbps(const RunTotals& totals);
float SummaryPageAvg(const RunTotals& totals);

// The summary log's fixed-column line, 93 characters.
QString SummaryLine(const QString& date, const RunTotals& totals);

// The main log's run-summary block (unattended runs).
QStringList RunSummaryLines(const QString& date, const RunTotals& totals);

// A debug line stamped with the time of day: the time, blanks to the next 14-column zone, text.
QString DebugTimedLine(const QString& timeOfDay, const QString& text);

}  // namespace quorvel
