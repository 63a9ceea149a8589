#include "cli/icmp_report.h"

#include <QJsonArray>
#include <algorithm>
#include <cmath>

#include "cli/bench_report.h"
#include "cli/metrics_file.h"
#include "quorvel_version.h"
#include "tools/icmp_packet.h"

namespace quorvel::cli {

namespace {

QJsonValue textOrNull(const QString& s) {
  return s.isEmpty() ? QJsonValue() : QJsonValue(s);
}

QJsonArray lines(const QString& text) {
  QStringList l = text.split(QLatin1Char('\n'));
  if (!l.isEmpty() && l.last().isEmpty()) l.removeLast();
  return QJsonArray::fromStringList(l);
}

QJsonObject header(const char* command, qint64 startedMs, qint64 finishedMs) {
  return {{"program", QString::fromLatin1(version::kProductName)},
          {"version", VersionNumber()},
          {"command", command},
          {"started", IsoTime(startedMs)},
          {"finished", IsoTime(finishedMs)}};
}

QString pingOutcomeName(PingOutcome o) {
  switch (o) {
    case PingOutcome::Done:
      return QStringLiteral("done");
    case PingOutcome::Cancelled:
      return QStringLiteral("cancelled");
    case PingOutcome::NoSockets:
      return QStringLiteral("no_sockets");
    case PingOutcome::Unresolved:
      return QStringLiteral("unresolved");
    case PingOutcome::CannotOpen:
      return QStringLiteral("cannot_open");
  }
  return {};
}

// Round trips of the replies of a ping, in microseconds.
struct RttSummary {
  int replies = 0;
  std::int64_t min = 0, max = 0, sum = 0;
  double average() const { return replies ? static_cast<double>(sum) / replies : 0.0; }
};

std::vector<std::int64_t> replyMicros(const PingSeriesReport& s) {
  std::vector<std::int64_t> out;
  for (const PingRequestRecord& q : s.requests)
    if (q.status == ipstatus::kSuccess) out.push_back(q.rttMicros);
  return out;
}

RttSummary rttSummary(const PingSeriesReport& s) {
  RttSummary r;
  for (const PingRequestRecord& q : s.requests) {
    if (q.status != ipstatus::kSuccess) continue;
    r.min = r.replies ? std::min(r.min, q.rttMicros) : q.rttMicros;
    r.max = std::max(r.max, q.rttMicros);
    r.sum += q.rttMicros;
    ++r.replies;
  }
  return r;
}

// The mean round trip of the answered requests of a hop, in microseconds.
double hopMeanMicros(const TraceHop& hop, int* answered) {
  std::int64_t sum = 0;
  int n = 0;
  for (std::int64_t us : hop.timesMicros) {
    if (us < 0) continue;
    sum += us;
    ++n;
  }
  *answered = n;
  return n ? static_cast<double>(sum) / n : 0.0;
}

// A figure of the spread to the microsecond; null without replies.
QJsonValue spread(int replies, double ms) {
  if (replies == 0) return QJsonValue();
  return std::round(ms * 1000.0) / 1000.0;
}

QJsonValue familyName(const IpAddress& a) {
  if (a.isNull()) return QJsonValue();
  return a.isV6() ? QStringLiteral("ipv6") : QStringLiteral("ipv4");
}

// The blackbox exporter's probe_ip_protocol: 4 or 6, nothing when there was no address.
void ipProtocol(MetricsText& m, const QString& name, const Labels& host, const IpAddress& a) {
  if (a.isNull()) return;
  m.family(name, QStringLiteral("IP version of the address used: 4 or 6."));
  m.sample(name, host, a.isV6() ? 6 : 4);
}

void single(MetricsText& m, const QString& name, const QString& help, const Labels& labels,
            double value) {
  m.family(name, help);
  m.sample(name, labels, value);
}

}  // namespace

void RoundTripHistograms(MetricsText& m, const QString& name, const QString& help,
                         const RoundTrips& series) {
  if (series.empty()) return;
  std::vector<double> bounds;
  for (double ms : kRttBucketsMs) bounds.push_back(ms / 1000.0);
  m.family(name, help + QStringLiteral(" Buckets fixed from 0.5 ms to 2.5 s."),
           QStringLiteral("histogram"));
  for (const auto& [labels, micros] : series) {
    std::vector<double> seconds;
    for (std::int64_t us : micros) seconds.push_back(static_cast<double>(us) / 1e6);
    m.histogram(name, labels, bounds, seconds);
  }
}

QString traceOutcomeName(TraceOutcome o) {
  switch (o) {
    case TraceOutcome::Complete:
      return QStringLiteral("complete");
    case TraceOutcome::TimedOut:
      return QStringLiteral("timed_out");
    case TraceOutcome::Cancelled:
      return QStringLiteral("cancelled");
    case TraceOutcome::LastHop:
      return QStringLiteral("last_hop");
    case TraceOutcome::NoSockets:
      return QStringLiteral("no_sockets");
    case TraceOutcome::Unresolved:
      return QStringLiteral("unresolved");
    case TraceOutcome::CannotOpen:
      return QStringLiteral("cannot_open");
  }
  return {};
}

bool PingAnswered(const PingSeriesReport& series) {
  return series.stats.sent > series.stats.lost;
}

bool TraceReached(const TraceReport& trace) {
  return trace.outcome == TraceOutcome::Complete;
}

QString PingStatisticsText(const PingStats& stats) {
  const QList<QPair<QString, QString>> rows{{QStringLiteral("Average:"), stats.averageText()},
                                            {QStringLiteral("Minimum:"), stats.minimumText()},
                                            {QStringLiteral("Maximum:"), stats.maximumText()},
                                            {QStringLiteral("Packets Sent:"), stats.sentText()},
                                            {QStringLiteral("Packets Lost:"), stats.lostText()}};
  QString out;
  for (const auto& [label, value] : rows)
    out += label.leftJustified(14) + value + QLatin1Char('\n');
  out.chop(1);
  return out;
}

QJsonObject PingJson(const PingCommandReport& report) {
  const PingSeriesReport& s = report.series;
  QJsonArray requests;
  for (const PingRequestRecord& r : s.requests) {
    const bool reply = r.status == ipstatus::kSuccess;
    requests.append(QJsonObject{
        {"sequence", r.n},
        {"status", r.status},
        {"status_text", GetStatusCode(r.status)},
        {"reply", reply},
        {"address", textOrNull(r.answeredBy)},
        {"rtt_ms", reply ? QJsonValue(static_cast<double>(r.rttMs)) : QJsonValue()},
        {"rtt_microseconds", reply ? QJsonValue(static_cast<double>(r.rttMicros)) : QJsonValue()},
        {"ttl", reply ? QJsonValue(r.ttl) : QJsonValue()},
        {"line", r.line}});
  }
  const PingStats& st = s.stats;
  const RttSummary rtt = rttSummary(s);
  const RttStats spreadMs = pingRttStats(s);
  QJsonObject statistics{
      {"sent", st.sent},
      {"lost", st.lost},
      {"received", st.sent - st.lost},
      {"loss_percent", st.sent > 0 ? 100.0 * st.lost / st.sent : 0.0},
      // The window's figures: whole milliseconds; the average divides by every request sent.
      {"average_ms", st.sent > 0 ? static_cast<double>(st.sum) / st.sent : QJsonValue()},
      {"minimum_ms", st.min},
      {"maximum_ms", st.max},
      {"rtt_microseconds", rtt.replies
                               ? QJsonValue(QJsonObject{{"minimum", static_cast<double>(rtt.min)},
                                                        {"average", rtt.average()},
                                                        {"maximum", static_cast<double>(rtt.max)}})
                               : QJsonValue()},
      {"stdev_ms", spread(rtt.replies, spreadMs.stdevMs)},
      {"median_ms", spread(rtt.replies, spreadMs.medianMs)},
      {"p95_ms", spread(rtt.replies, spreadMs.p95Ms)},
      {"jitter_ms", spread(rtt.replies, spreadMs.jitterMs)},
      {"shown", QJsonObject{{"average", st.averageText()},
                            {"minimum", st.minimumText()},
                            {"maximum", st.maximumText()},
                            {"packets_sent", st.sentText()},
                            {"packets_lost", st.lostText()}}}};
  QJsonObject doc = header("ping", report.startedMs, report.finishedMs);
  doc.insert("host", s.host);
  doc.insert("address", textOrNull(s.address));
  doc.insert("family", familyName(s.destination));
  doc.insert("count", s.options.count);
  doc.insert("timeout_ms", s.options.timeoutMs);
  doc.insert("payload_bytes", s.options.dataSize);
  doc.insert("interval_seconds", static_cast<double>(s.options.intervalMicros) / 1e6);
  doc.insert("outcome", pingOutcomeName(s.outcome));
  doc.insert("error", textOrNull(report.error));
  doc.insert("requests", requests);
  doc.insert("statistics", statistics);
  doc.insert("lines", lines(report.text));
  return doc;
}

QByteArray PingMetrics(const PingCommandReport& report) {
  const PingSeriesReport& s = report.series;
  const Labels host{{"host", s.host}};
  const RttSummary rtt = rttSummary(s);
  MetricsText m;
  single(m, QStringLiteral("quorvel_ping_success"),
         QStringLiteral("Whether at least one echo request got a reply (1) or none did (0)."), host,
         PingAnswered(s) ? 1.0 : 0.0);
  if (rtt.replies > 0) {
    m.family(QStringLiteral("quorvel_ping_rtt_seconds"),
             QStringLiteral("Round-trip time of the replies: least, mean and greatest."));
    const QList<QPair<QString, double>> stats{{"min", static_cast<double>(rtt.min)},
                                              {"avg", rtt.average()},
                                              {"max", static_cast<double>(rtt.max)}};
    for (const auto& [stat, micros] : stats)
      m.sample(QStringLiteral("quorvel_ping_rtt_seconds"), host + Labels{{"stat", stat}},
               micros / 1e6);
    int ttl = 0;
    for (const PingRequestRecord& r : s.requests)
      if (r.status == ipstatus::kSuccess) ttl = r.ttl;
    single(m, QStringLiteral("quorvel_ping_reply_ttl"), QStringLiteral("TTL of the last reply."),
           host, ttl);
  }
  RoundTripHistograms(m, QStringLiteral("quorvel_ping_round_trip_seconds"),
                      QStringLiteral("Round-trip times of the replies."), {{host, replyMicros(s)}});
  single(m, QStringLiteral("quorvel_ping_packets_sent"),
         QStringLiteral("Echo requests sent (the window's Packets Sent)."), host, s.stats.sent);
  single(m, QStringLiteral("quorvel_ping_packets_lost"),
         QStringLiteral("Echo requests without a reply (the window's Packets Lost)."), host,
         s.stats.lost);
  single(m, QStringLiteral("quorvel_ping_loss_ratio"),
         QStringLiteral("Packets lost per packet sent, 0 to 1."), host,
         s.stats.sent > 0 ? static_cast<double>(s.stats.lost) / s.stats.sent : 0.0);
  ipProtocol(m, QStringLiteral("quorvel_ping_ip_protocol"), host, s.destination);
  single(m, QStringLiteral("quorvel_ping_last_run_timestamp_seconds"),
         QStringLiteral("When the series ended, seconds since the epoch."), host,
         static_cast<double>(report.finishedMs) / 1000.0);
  return m.text();
}

QJsonObject TraceJson(const TraceCommandReport& report) {
  const TraceReport& t = report.trace;
  QJsonArray hops;
  for (const TraceHop& h : t.hops) {
    QJsonArray probes;
    for (std::size_t i = 0; i < h.timesMs.size(); ++i) {
      const bool answered = h.timesMicros[i] >= 0;
      probes.append(
          QJsonObject{{"status", h.statuses[i]},
                      {"status_text", GetStatusCode(h.statuses[i])},
                      {"address", textOrNull(h.answeredBy[i])},
                      {"rtt_ms", answered ? QJsonValue(h.timesMs[i]) : QJsonValue()},
                      {"rtt_microseconds",
                       answered ? QJsonValue(static_cast<double>(h.timesMicros[i])) : QJsonValue()},
                      {"shown", hopTimeText(h.timesMs[i])}});
    }
    hops.append(QJsonObject{{"hop", h.ttl},
                            {"address", textOrNull(h.address)},
                            {"host_name", h.named ? QJsonValue(h.hostName) : QJsonValue()},
                            {"answered", h.answered},
                            {"probes", probes},
                            {"line", h.line}});
  }
  QJsonObject doc = header("trace", report.startedMs, report.finishedMs);
  doc.insert("host", t.host);
  doc.insert("destination", textOrNull(t.destination));
  doc.insert("family", familyName(t.destinationAddress));
  doc.insert("queries", t.options.requests);
  doc.insert("timeout_ms", t.options.timeoutMs);
  doc.insert("payload_bytes", t.options.dataSize);
  doc.insert("resolve", report.resolve);
  doc.insert("outcome", traceOutcomeName(t.outcome));
  doc.insert("reached", TraceReached(t));
  doc.insert("error", textOrNull(report.error));
  doc.insert("hops", hops);
  doc.insert("lines", lines(report.text));
  return doc;
}

QByteArray TraceMetrics(const TraceCommandReport& report) {
  const TraceReport& t = report.trace;
  const Labels host{{"host", t.host}};
  MetricsText m;
  single(m, QStringLiteral("quorvel_trace_success"),
         QStringLiteral("Whether the trace reached the destination (1) or not (0)."), host,
         TraceReached(t) ? 1.0 : 0.0);
  single(m, QStringLiteral("quorvel_trace_hops"),
         QStringLiteral("Hops probed; when the trace succeeded, the hops to the destination."),
         host, static_cast<double>(t.hops.size()));
  single(m, QStringLiteral("quorvel_trace_queries"),
         QStringLiteral("Echo requests sent at each hop."), host, t.options.requests);
  if (!t.hops.empty())
    m.family(QStringLiteral("quorvel_trace_hop_replies"),
             QStringLiteral("Echo requests of the hop that were answered."));
  for (const TraceHop& h : t.hops) {
    int answered = 0;
    hopMeanMicros(h, &answered);
    m.sample(QStringLiteral("quorvel_trace_hop_replies"),
             host + Labels{{"hop", QString::number(h.ttl)}}, answered);
  }
  if (std::any_of(t.hops.begin(), t.hops.end(), [](const TraceHop& h) { return h.answered; }))
    m.family(QStringLiteral("quorvel_trace_hop_rtt_seconds"),
             QStringLiteral("Mean round-trip time of the answered requests of the hop; address: "
                            "the node that answered the hop's first answered request."));
  for (const TraceHop& h : t.hops) {
    int answered = 0;
    const double mean = hopMeanMicros(h, &answered);
    if (answered == 0) continue;
    m.sample(QStringLiteral("quorvel_trace_hop_rtt_seconds"),
             host + Labels{{"hop", QString::number(h.ttl)}, {"address", h.address}}, mean / 1e6);
  }
  ipProtocol(m, QStringLiteral("quorvel_trace_ip_protocol"), host, t.destinationAddress);
  single(m, QStringLiteral("quorvel_trace_last_run_timestamp_seconds"),
         QStringLiteral("When the trace ended, seconds since the epoch."), host,
         static_cast<double>(report.finishedMs) / 1000.0);
  return m.text();
}

}  // namespace quorvel::cli
