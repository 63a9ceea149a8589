#include "tools/hop_report.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

#include "core/event_pump.h"
#include "core/tick.h"
#include "tools/trace_rt.h"

namespace quorvel {

namespace {

// How far apart two loss fractions must be, in standard errors, before the hop with more is
// said not to pass its loss on.
constexpr double kRateLimitStandardErrors = 3.0;

ReportHop& hopAt(HopReport& report, int ttl) {
  while (static_cast<int>(report.hops.size()) < ttl) {
    report.hops.emplace_back();
    report.hops.back().ttl = static_cast<int>(report.hops.size());
  }
  return report.hops[static_cast<std::size_t>(ttl - 1)];
}

void countAnswer(ReportHop& hop, const EchoResult& r) {
  hop.rttMicros.push_back(r.roundTripMicros);
  auto it = std::find_if(hop.answerers.begin(), hop.answerers.end(),
                         [&](const HopAnswerer& a) { return a.address == r.address; });
  if (it == hop.answerers.end())
    hop.answerers.push_back({r.address, 1});
  else
    ++it->replies;
  std::stable_sort(
      hop.answerers.begin(), hop.answerers.end(),
      [](const HopAnswerer& a, const HopAnswerer& b) { return a.replies > b.replies; });
}

// One request to each hop, from TTL 1 up to the destination's hop (when known), else up to
// the last hop or the run of silent hops that ends a cycle. False when the user cancelled.
bool runCycle(IcmpEcho& echo, const HopReportEvents& events, HopReport& report,
              int& destinationTtl) {
  const HopReportOptions& o = report.options;
  const int last = destinationTtl > 0 ? destinationTtl : kReportMaximumHops;
  int silent = 0;
  for (int ttl = 1; ttl <= last; ++ttl) {
    const EchoResult r = echo.SendEcho(report.destinationAddress, o.dataSize, ttl, o.timeoutMs);
    if (r.cancelled) return false;
    ReportHop& hop = hopAt(report, ttl);
    ++hop.sent;
    const bool answered = r.answered && !r.address.isNull();
    if (answered) countAnswer(hop, r);
    silent = answered ? 0 : silent + 1;
    const bool cancelled = events.pump && !events.pump();
    if (answered && r.address == report.destinationAddress) {
      report.reached = true;
      // Hops past the destination were only the destination answering again.
      if (destinationTtl == 0 || ttl < destinationTtl) {
        destinationTtl = ttl;
        report.hops.resize(static_cast<std::size_t>(ttl));
      }
      return !cancelled;
    }
    if (cancelled) return false;
    if (destinationTtl == 0 && silent >= kReportMaximumUnknown) break;
  }
  return true;
}

void nameHops(const HopReportEvents& events, HopReport& report) {
  if (!events.resolveNames || !events.resolveNames()) return;
  for (ReportHop& hop : report.hops)
    if (hop.hostName.isEmpty() && !hop.answerers.empty())
      hop.hostName = GetHostNameFromAddress(hop.answerers.front().address);
}

TraceOutcome runCycles(IcmpEcho& echo, const HopReportEvents& events, HopReport& report) {
  const HopReportOptions& o = report.options;
  int destinationTtl = 0;
  std::int64_t startedAt = 0;
  for (int cycle = 1; cycle <= o.cycles; ++cycle) {
    if (cycle > 1 && !pauseUntil(startedAt + o.intervalMicros, events.pump))
      return TraceOutcome::Cancelled;
    startedAt = monotonicMicros();
    const bool finished = runCycle(echo, events, report, destinationTtl);
    if (finished) ++report.cycles;
    nameHops(events, report);
    markRateLimitedHops(report.hops);
    if (events.cycleDone) events.cycleDone(report);
    if (!finished) return TraceOutcome::Cancelled;
  }
  return report.reached ? TraceOutcome::Complete : TraceOutcome::LastHop;
}

QString ms(double value) {
  return QString::number(value, 'f', 3);
}

}  // namespace

QString ReportHop::host() const {
  return answerers.empty() ? QStringLiteral("???") : answerers.front().address.text();
}

void RunHopReport(const QString& host, const HopReportOptions& options,
                  const HopReportEvents& events, HopReport& report) {
  report = HopReport{};
  report.host = host;
  report.options = options;
  if (!StartTraceTo(host, options.family, report.destinationAddress, report.destination,
                    report.outcome))
    return;
  if (events.resolved) events.resolved(report.destinationAddress);
  const IpFamily family = report.destinationAddress.family();
  IcmpOpenResult opened = events.open ? events.open(family) : OpenIcmpEcho(family);
  if (!opened.echo) {
    report.outcome = TraceOutcome::CannotOpen;
    report.openError = opened.error;
    StopSockets();
    return;
  }
  opened.echo->setWaitPump(events.pump);
  report.outcome = runCycles(*opened.echo, events, report);
  opened.echo.reset();
  StopSockets();
}

void markRateLimitedHops(std::vector<ReportHop>& hops) {
  for (std::size_t k = 0; k < hops.size(); ++k) {
    ReportHop& hop = hops[k];
    hop.rateLimitedHint = false;
    if (hop.received() == 0 || hop.lost() == 0) continue;
    const ReportHop* after = nullptr;  // the later hop that answered with the least loss
    for (std::size_t j = k + 1; j < hops.size(); ++j)
      if (hops[j].received() > 0 && (!after || hops[j].lossPercent() < after->lossPercent()))
        after = &hops[j];
    if (!after) continue;
    const double n1 = hop.sent, n2 = after->sent;
    const double pooled = (hop.lost() + after->lost()) / (n1 + n2);
    const double se = std::sqrt(pooled * (1 - pooled) * (1 / n1 + 1 / n2));
    const double gap = hop.lost() / n1 - after->lost() / n2;
    hop.rateLimitedHint = se > 0 && gap >= kRateLimitStandardErrors * se;
  }
}

QString hopReportTable(const HopReport& report) {
  // The host column: the name and address (when named), and the other answerers below.
  std::vector<QStringList> hosts;
  int width = 4;
  for (const ReportHop& hop : report.hops) {
    QStringList h;
    h << (hop.hostName.isEmpty() ? hop.host()
                                 : QStringLiteral("%1 (%2)").arg(hop.hostName, hop.host()));
    for (std::size_t i = 1; i < hop.answerers.size(); ++i) h << hop.answerers[i].address.text();
    for (const QString& s : h) width = std::max(width, static_cast<int>(s.size()));
    hosts.push_back(h);
  }
  const auto row = [&](const QString& hop, const QString& host, const QStringList& figures) {
    QString line = hop.rightJustified(3) + QStringLiteral("  ") + host.leftJustified(width);
    static const int kWidths[] = {7, 6, 9, 9, 9, 9, 9};
    for (qsizetype i = 0; i < figures.size(); ++i) line += figures[i].rightJustified(kWidths[i]);
    return line;
  };
  QString out = QStringLiteral("Report of the route to %1: %2 cycles\n\n")
                    .arg(report.destination)
                    .arg(report.cycles);
  out += row(QStringLiteral("Hop"), QStringLiteral("HOST"),
             {"Loss%", "Snt", "Last", "Avg", "Best", "Wrst", "StDev"}) +
         QLatin1Char('\n');
  for (std::size_t k = 0; k < report.hops.size(); ++k) {
    const ReportHop& hop = report.hops[k];
    QStringList figures{QString::number(hop.lossPercent(), 'f', 1) + QLatin1Char('%'),
                        QString::number(hop.sent)};
    if (hop.received() > 0) {
      const RttStats s = hop.stats();
      figures << ms(s.lastMs) << ms(s.averageMs) << ms(s.bestMs) << ms(s.worstMs) << ms(s.stdevMs);
    }
    QString line = row(QString::number(hop.ttl), hosts[k].front(), figures);
    if (hop.rateLimitedHint) line += QStringLiteral("  probably rate-limits ICMP");
    out += line + QLatin1Char('\n');
    for (qsizetype i = 1; i < hosts[k].size(); ++i)
      out += QStringLiteral("     ") + hosts[k][i] + QLatin1Char('\n');
  }
  return out;
}

}  // namespace quorvel
