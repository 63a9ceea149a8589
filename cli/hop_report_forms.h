// What `quorvel trace --report` gives: the table of the hops (text), and the forms other
// programs read: JSON with hops[], CSV with a row per hop, Prometheus metrics per hop.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include "tools/hop_report.h"

namespace quorvel::cli {

struct HopReportCommand {
  HopReport report;
  bool resolve = false;
  qint64 startedMs = 0, finishedMs = 0;
  QString error;  // the sentence said on standard error, "" when none
};

QJsonObject HopReportJson(const HopReportCommand& command);
QString HopReportCsv(const HopReport& report);
QByteArray HopReportMetrics(const HopReportCommand& command);

}  // namespace quorvel::cli
