// What `quorvel ping` and `quorvel trace` report: the windows' own text, and the forms other
// programs read (JSON, Prometheus metrics).
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

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

// Whether a ping had at least one reply; whether a trace reached its destination.
bool PingAnswered(const PingSeriesReport& series);
bool TraceReached(const TraceReport& trace);

}  // namespace quorvel::cli
