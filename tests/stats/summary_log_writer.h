// Summary log lines as the benchmark run writes them, for the tests to read back.
#pragma once

#include <QByteArray>
#include <QDate>

namespace quorvel::testing {

// A 93-character summary line: "MM-DD-YY HH:MM", throughput, " Kbps", page load, " PageAvg",
// bytes, seconds, URLs, files and errors.
QByteArray summaryLine(const QDate& date, int hour, int minute, double kbps, double pageAvg);

}  // namespace quorvel::testing
