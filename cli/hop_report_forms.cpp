#include "cli/hop_report_forms.h"

#include <QJsonArray>
#include <cmath>

#include "cli/bench_report.h"
#include "cli/icmp_report.h"
#include "cli/metrics_file.h"
#include "cli/report_forms.h"

namespace quorvel::cli {

namespace {

// Milliseconds to the microsecond.
double microsecondMs(double ms) {
  return std::round(ms * 1000.0) / 1000.0;
}

// The figures of a hop by their names, in milliseconds; none for a hop that never answered.
QList<QPair<QString, double>> hopFigures(const ReportHop& hop) {
  if (hop.received() == 0) return {};
  const RttStats s = hop.stats();
  return {{"last_ms", s.lastMs},    {"avg_ms", s.averageMs}, {"best_ms", s.bestMs},
          {"worst_ms", s.worstMs},  {"stdev_ms", s.stdevMs}, {"median_ms", s.medianMs},
          {"jitter_ms", s.jitterMs}};
}

const QStringList kFigureNames{"last_ms",  "avg_ms",    "best_ms",  "worst_ms",
                               "stdev_ms", "median_ms", "jitter_ms"};

QStringList addressesOf(const ReportHop& hop) {
  QStringList out;
  for (const HopAnswerer& a : hop.answerers) out << a.address.text();
  return out;
}

}  // namespace

QJsonObject HopReportJson(const HopReportCommand& command) {
  const HopReport& r = command.report;
  QJsonArray hops;
  for (const ReportHop& hop : r.hops) {
    QJsonObject h{{"hop", hop.ttl},
                  {"address", hop.answerers.empty() ? QJsonValue() : QJsonValue(hop.host())},
                  {"addresses", QJsonArray::fromStringList(addressesOf(hop))},
                  {"host_name", command.resolve ? QJsonValue(hop.hostName) : QJsonValue()},
                  {"sent", hop.sent},
                  {"received", hop.received()},
                  {"loss_percent", std::round(hop.lossPercent() * 1000.0) / 1000.0},
                  {"rate_limited_hint", hop.rateLimitedHint}};
    for (const QString& name : kFigureNames) h.insert(name, QJsonValue());
    for (const auto& [name, ms] : hopFigures(hop)) h.insert(name, microsecondMs(ms));
    hops.append(h);
  }
  QJsonObject doc = JsonHead(QStringLiteral("trace"));
  doc.insert("mode", "report");
  doc.insert("started", IsoTime(command.startedMs));
  doc.insert("finished", IsoTime(command.finishedMs));
  doc.insert("host", r.host);
  doc.insert("destination", r.destination.isEmpty() ? QJsonValue() : QJsonValue(r.destination));
  doc.insert("family", r.destinationAddress.isNull() ? QJsonValue()
                       : r.destinationAddress.isV6() ? QStringLiteral("ipv6")
                                                     : QStringLiteral("ipv4"));
  doc.insert("cycles", r.options.cycles);
  doc.insert("cycles_completed", r.cycles);
  doc.insert("interval_seconds", static_cast<double>(r.options.intervalMicros) / 1e6);
  doc.insert("timeout_ms", r.options.timeoutMs);
  doc.insert("payload_bytes", r.options.dataSize);
  doc.insert("resolve", command.resolve);
  doc.insert("outcome", traceOutcomeName(r.outcome));
  doc.insert("reached", r.reached);
  doc.insert("error", command.error.isEmpty() ? QJsonValue() : QJsonValue(command.error));
  doc.insert("hops", hops);
  return doc;
}

QString HopReportCsv(const HopReport& report) {
  QString out = CsvRecord(
      QStringList{"hop", "address", "addresses", "host_name", "sent", "received", "loss_percent"} +
      kFigureNames + QStringList{"rate_limited_hint"});
  for (const ReportHop& hop : report.hops) {
    QStringList row{QString::number(hop.ttl),
                    hop.answerers.empty() ? QString() : hop.host(),
                    addressesOf(hop).join(QLatin1Char(' ')),
                    hop.hostName,
                    QString::number(hop.sent),
                    QString::number(hop.received()),
                    QString::number(hop.lossPercent(), 'f', 3)};
    const auto figures = hopFigures(hop);
    for (qsizetype i = 0; i < kFigureNames.size(); ++i)
      row << (figures.isEmpty() ? QString() : QString::number(figures[i].second, 'f', 3));
    row << (hop.rateLimitedHint ? QStringLiteral("1") : QStringLiteral("0"));
    out += CsvRecord(row);
  }
  return out;
}

QByteArray HopReportMetrics(const HopReportCommand& command) {
  const HopReport& r = command.report;
  const Labels host{{"host", r.host}};
  const auto hopLabels = [&](const ReportHop& hop) {
    return host + Labels{{"hop", QString::number(hop.ttl)}};
  };
  MetricsText m;
  const auto single = [&](const char* name, const char* help, double value) {
    m.family(QString::fromLatin1(name), QString::fromUtf8(help));
    m.sample(QString::fromLatin1(name), host, value);
  };
  single("quorvel_trace_success", "Whether the destination answered (1) or not (0).",
         r.reached ? 1.0 : 0.0);
  single("quorvel_trace_hops", "Hops in the report: the hops to the destination when it answered.",
         static_cast<double>(r.hops.size()));
  single("quorvel_trace_cycles", "Cycles of one echo request per hop that were completed.",
         r.cycles);
  if (!r.hops.empty())
    m.family(QStringLiteral("quorvel_trace_hop_loss_ratio"),
             QStringLiteral("Requests of the hop without an answer per request sent, 0 to 1."));
  for (const ReportHop& hop : r.hops)
    m.sample(QStringLiteral("quorvel_trace_hop_loss_ratio"), hopLabels(hop),
             hop.sent > 0 ? static_cast<double>(hop.lost()) / hop.sent : 0.0);
  bool first = true;
  for (const ReportHop& hop : r.hops) {
    if (hop.received() == 0) continue;
    if (first)
      m.family(QStringLiteral("quorvel_trace_hop_rtt_seconds"),
               QStringLiteral("Round trips of the hop's answers: last, avg, best, worst, stdev, "
                              "median, jitter; address: the node that answered most often."));
    first = false;
    for (const auto& [name, ms] : hopFigures(hop))
      m.sample(QStringLiteral("quorvel_trace_hop_rtt_seconds"),
               hopLabels(hop) + Labels{{"address", hop.host()}, {"stat", name.chopped(3)}},
               ms / 1000.0);
  }
  RoundTrips perHop;
  for (const ReportHop& hop : r.hops) perHop.emplace_back(hopLabels(hop), hop.rttMicros);
  RoundTripHistograms(m, QStringLiteral("quorvel_trace_hop_round_trip_seconds"),
                      QStringLiteral("Round trips of the hop's answers."), perHop);
  if (!r.destinationAddress.isNull())
    single("quorvel_trace_ip_protocol", "IP version of the address used: 4 or 6.",
           r.destinationAddress.isV6() ? 6 : 4);
  single("quorvel_trace_last_run_timestamp_seconds",
         "When the report ended, seconds since the epoch.",
         static_cast<double>(command.finishedMs) / 1000.0);
  return m.text();
}

}  // namespace quorvel::cli
