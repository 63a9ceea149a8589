// What `quorvel ping` and `quorvel trace` report: the windows' own text, and the forms other
// programs read (JSON, Prometheus metrics).
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include "cli/metrics_file.h"
#include "tools/ping_series.h"
#include "tools/trace_route.h"

namespace quorvel::cli {

struct PingCommandReport {
  PingSeriesReport series;
  QString text;  // the results box of the window, as it would read
  qint64 startedMs = 0, finishedMs = 0;
  QString error;  // the sentence said on standard error, "" when none
};

struct TraceCommandReport {
  TraceReport trace;
  bool resolve = false;
  QString text;
  qint64 startedMs = 0, finishedMs = 0;
  QString error;
};

// The window's five statistics, labelled as there, one per line.
QString PingStatisticsText(const PingStats& stats);

QJsonObject PingJson(const PingCommandReport& report);
QByteArray PingMetrics(const PingCommandReport& report);
QJsonObject TraceJson(const TraceCommandReport& report);
QByteArray TraceMetrics(const TraceCommandReport& report);

// A histogram family of round trips in seconds with the fixed buckets of kRttBucketsMs: one
// histogram per set of labels, of the round trips (in microseconds) given with it.
using RoundTrips = std::vector<std::pair<Labels, std::vector<std::int64_t>>>;
void RoundTripHistograms(MetricsText& m, const QString& name, const QString& help,
                         const RoundTrips& series);

// "complete", "timed_out", "cancelled", "last_hop", ...: how a trace ended, in JSON.
QString traceOutcomeName(TraceOutcome o);

// Whether a ping had at least one reply; whether a trace reached its destination.
bool PingAnswered(const PingSeriesReport& series);
bool TraceReached(const TraceReport& trace);

}  // namespace quorvel::cli
