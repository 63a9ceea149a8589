// What a benchmark run from the command line reports: every request as it was counted, the
// totals, and the forms other programs read (JSON, CSV, HAR 1.2, Prometheus metrics).
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <vector>

#include "bench/benchmark_run.h"
#include "bench/run_totals.h"
#include "cli/report_forms.h"

namespace quorvel::cli {

struct BenchReport {
  QStringList urls;  // the URLs asked for; empty for URLS.DAT
  int iterations = 1;
  bool images = true, sounds = true, logging = true;
  bool browser = false;  // each page loaded as a browser loads it
  qint64 startedMs = 0, finishedMs = 0;  // wall clock, since the epoch
  QString status;                        // "Done" or "Cancelled", as the status line ends
  RunTotals totals;
  std::vector<RequestRecord> requests;
  QStringList messages;  // what the run would have shown in message boxes
};

QJsonObject BenchJson(const BenchReport& report);
QByteArray BenchCsv(const BenchReport& report);
QJsonObject BenchHar(const BenchReport& report);
QByteArray BenchMetrics(const BenchReport& report);

// The texts of the main window's totals boxes, labelled as there, one per line.
QString BenchText(const BenchReport& report);


// An ISO 8601 UTC time with milliseconds ("2026-12-07T10:00:00.123Z").
QString IsoTime(qint64 msSinceEpoch);

}  // namespace quorvel::cli
