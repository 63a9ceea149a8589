// quorvel ping and quorvel trace: the ping series and the trace of the windows, without them.
#include <QDateTime>
#include <QJsonDocument>

#include "cli/commands.h"
#include "cli/hop_report_forms.h"
#include "cli/icmp_report.h"
#include "cli/interrupt.h"
#include "cli/metrics_file.h"
#include "cli/options.h"
#include "cli/output_files.h"
#include "core/app_state.h"
#include "core/exit_codes.h"
#include "tools/diag_input.h"
#include "tools/ping_report.h"
#include "tools/trace_report.h"

namespace quorvel::cli {

namespace {

constexpr int kMaxPingCount = 32767;

// A number option read as the window reads its box (`rule`), its default when not given.
// Text that does not read as a number is a mistake here, not the default.
bool windowNumber(const ParsedArgs& args, const QString& name, int (*rule)(const QString&),
                  int& out, QString& error) {
  if (!args.has(name)) return true;
  const QString text = args.value(name);
  if (!numericText(text)) {
    error = QStringLiteral("Option --%1 takes a number, not \"%2\".").arg(name, text);
    return false;
  }
  out = rule(text);
  return true;
}

// -i SECONDS (fractions allowed) as microseconds, within [min, 3600] seconds.
bool intervalOption(const ParsedArgs& args, double minSeconds, std::int64_t& micros,
                    QString& error) {
  if (!args.has(QStringLiteral("interval"))) return true;
  const QString text = args.value(QStringLiteral("interval"));
  bool ok = false;
  const double seconds = text.trimmed().toDouble(&ok);
  if (!ok || !(seconds >= minSeconds && seconds <= 3600)) {
    error =
        QStringLiteral("Option --interval takes a number of seconds from %1 to 3600, not \"%2\".")
            .arg(minSeconds)
            .arg(text);
    return false;
  }
  micros = static_cast<std::int64_t>(seconds * 1e6 + 0.5);
  return true;
}

// The one host of a command, or a sentence saying what is wrong.
bool oneHost(const ParsedArgs& args, const QString& command, QString& host, QString& error) {
  if (args.positional.size() == 1 && !args.positional.front().isEmpty()) {
    host = args.positional.front();
    return true;
  }
  error = QStringLiteral("Give one host to %1 (try \"quorvel %1 --help\").").arg(command);
  return false;
}

// A message of several sentences and paragraphs on one line.
QString oneLine(QString text) {
  text.replace(QStringLiteral("\n\n"), QStringLiteral(" "))
      .replace(QLatin1Char('\n'), QLatin1Char(' '));
  return text;
}

// Whether the user has interrupted (Ctrl-C): what the windows' event processing tells them.
bool keepGoing() {
  InterruptCancels::poll();
  return !appState().CancelRequested;
}

// -4 or -6: the family the host is to be resolved to.
bool addressFamily(const ParsedArgs& args, AddressChoice& out, QString& error) {
  const bool v4 = args.has(QStringLiteral("ipv4")), v6 = args.has(QStringLiteral("ipv6"));
  if (v4 && v6) {
    error = QStringLiteral("Choose one of -4 and -6.");
    return false;
  }
  out = v4 ? AddressChoice::V4 : v6 ? AddressChoice::V6 : AddressChoice::Automatic;
  return true;
}

QString unresolvedSentence(const QString& host, AddressChoice family) {
  if (family == AddressChoice::Automatic)
    return QStringLiteral("Cannot resolve the host name %1.").arg(host);
  return QStringLiteral("Cannot resolve the host name %1 to an %2 address.")
      .arg(host, family == AddressChoice::V4 ? QStringLiteral("IPv4") : QStringLiteral("IPv6"));
}

// Why a trace could not start, as one sentence; "" when it did.
QString traceFailure(TraceOutcome outcome, const QString& openError, const QString& host,
                     AddressChoice family) {
  if (outcome == TraceOutcome::Unresolved) return unresolvedSentence(host, family);
  if (outcome == TraceOutcome::CannotOpen)
    return oneLine(openError.isEmpty() ? QStringLiteral("Error initiating the trace.") : openError);
  if (outcome == TraceOutcome::NoSockets)
    return QStringLiteral("Error initializing windows sockets.");
  return {};
}

// Writes the forms asked for; false when the metrics file could not be written.
bool writeForms(const ParsedArgs& args, Console& console, const QJsonObject& json,
                const QByteArray& metrics) {
  if (args.has(QStringLiteral("json")))
    console.printRaw(QJsonDocument(json).toJson(QJsonDocument::Indented));
  return !args.has(QStringLiteral("metrics")) ||
         WriteOutputFile(args, QStringLiteral("metrics"), metrics, console);
}

// The window holds a count to 16 bits; a larger one asked for here is refused, not cut.
bool countWithinLimit(const ParsedArgs& args, QString& error) {
  const QString text = args.value(QStringLiteral("count"));
  const std::optional<double> n = numericText(text);
  if (!args.has(QStringLiteral("count")) || !n || *n < kMaxPingCount + 0.5) return true;
  error = QStringLiteral("Option --count takes at most %1 requests, not \"%2\".")
              .arg(kMaxPingCount)
              .arg(text);
  return false;
}

}  // namespace

int RunPing(const ParsedArgs& args, Console& console) {
  PingSeriesOptions options;
  QString host, error;
  if (!oneHost(args, QStringLiteral("ping"), host, error) || !countWithinLimit(args, error) ||
      !windowNumber(args, QStringLiteral("count"), pingRequests, options.count, error) ||
      !windowNumber(args, QStringLiteral("timeout"), pingTimeout, options.timeoutMs, error) ||
      !intervalOption(args, 0, options.intervalMicros, error) ||
      !addressFamily(args, options.family, error)) {
    console.error(error);
    return kExitCannotStart;
  }
  if (const int outputs = CheckOutputFiles(args, {QStringLiteral("metrics")}, console))
    return outputs;
  options.stopWhenUnresolved = true;
  const bool text = !args.has(QStringLiteral("json"));

  PingCommandReport report;
  PingSeriesEvents events;
  events.write = [&](const QString& t) {
    report.text += t;
    if (text) console.printRaw(t.toUtf8());
  };
  events.pump = [&] {
    const PingStats& s = report.series.stats;
    console.progress(QStringLiteral("ping %1: %2 of %3 sent, %4 lost")
                         .arg(host)
                         .arg(s.sent)
                         .arg(options.count)
                         .arg(s.lost));
    return keepGoing();
  };
  appState().CancelRequested = false;
  report.startedMs = QDateTime::currentMSecsSinceEpoch();
  RunPingSeries(host, options, events, report.series);
  report.finishedMs = QDateTime::currentMSecsSinceEpoch();
  console.endProgress();

  const PingSeriesReport& s = report.series;
  if (s.outcome == PingOutcome::Unresolved)
    report.error = unresolvedSentence(host, options.family);
  else if (s.outcome == PingOutcome::CannotOpen)
    report.error = oneLine(s.openError);
  else if (s.outcome == PingOutcome::NoSockets)
    report.error = QStringLiteral("Error initializing windows sockets.");
  if (!report.error.isEmpty()) console.error(report.error);
  const bool started = report.error.isEmpty();
  if (text && started) {
    if (!report.text.endsWith(QLatin1Char('\n'))) console.printRaw("\n");
    console.print(QLatin1Char('\n') + PingStatisticsText(s.stats));
    const QString spread = rttSummaryLine(pingRttStats(s));
    if (!spread.isEmpty()) console.print(spread);
  }
  const bool written = writeForms(args, console, PingJson(report), PingMetrics(report));

  if (!started) return kExitCannotStart;
  if (s.outcome == PingOutcome::Cancelled) return kExitCancelled;
  if (!written) return kExitNotWritten;
  return PingAnswered(s) ? kExitOk : kExitMeasureFailed;
}

// trace --report: cycles of one request per hop, then the table (or JSON, or CSV).
int RunTraceReport(const ParsedArgs& args, Console& console) {
  HopReportOptions options;
  QString host, error;
  long long cycles = options.cycles;
  if (!oneHost(args, QStringLiteral("trace"), host, error) ||
      !ParseCount(args, QStringLiteral("cycles"), 1, 100000, cycles, error) ||
      !intervalOption(args, kReportMinimumIntervalMicros / 1e6, options.intervalMicros, error) ||
      !windowNumber(args, QStringLiteral("timeout"), traceTimeout, options.timeoutMs, error) ||
      !addressFamily(args, options.family, error)) {
    console.error(error);
    return kExitCannotStart;
  }
  options.cycles = static_cast<int>(cycles);
  if (const int outputs = CheckOutputFiles(args, {QStringLiteral("metrics")}, console))
    return outputs;

  HopReportCommand command;
  command.resolve = args.has(QStringLiteral("resolve"));
  HopReportEvents events;
  events.pump = [&] {
    console.progress(QStringLiteral("trace %1: cycle %2 of %3")
                         .arg(host)
                         .arg(command.report.cycles + 1)
                         .arg(options.cycles));
    return keepGoing();
  };
  events.resolveNames = [&] { return command.resolve; };
  appState().CancelRequested = false;
  command.startedMs = QDateTime::currentMSecsSinceEpoch();
  RunHopReport(host, options, events, command.report);
  command.finishedMs = QDateTime::currentMSecsSinceEpoch();
  console.endProgress();

  const HopReport& r = command.report;
  command.error = traceFailure(r.outcome, r.openError, host, options.family);
  if (!command.error.isEmpty()) console.error(command.error);
  const bool json = args.has(QStringLiteral("json"));
  if (command.error.isEmpty() && args.has(QStringLiteral("csv")))
    console.printRaw(HopReportCsv(r).toUtf8());
  else if (command.error.isEmpty() && !json)
    console.printRaw(hopReportTable(r).toUtf8());
  const bool written = writeForms(args, console, HopReportJson(command), HopReportMetrics(command));

  if (!command.error.isEmpty()) return kExitCannotStart;
  if (r.outcome == TraceOutcome::Cancelled) return kExitCancelled;
  if (!written) return kExitNotWritten;
  return r.reached ? kExitOk : kExitMeasureFailed;
}

int RunTrace(const ParsedArgs& args, Console& console) {
  if (args.has(QStringLiteral("report"))) return RunTraceReport(args, console);
  for (const char* reportOnly : {"cycles", "interval", "csv"}) {
    if (!args.has(QString::fromLatin1(reportOnly))) continue;
    console.error(QStringLiteral("Option --%1 goes with --report.").arg(reportOnly));
    return kExitCannotStart;
  }
  TraceOptions options;
  QString host, error;
  if (!oneHost(args, QStringLiteral("trace"), host, error) ||
      !windowNumber(args, QStringLiteral("queries"), traceRequests, options.requests, error) ||
      !windowNumber(args, QStringLiteral("timeout"), traceTimeout, options.timeoutMs, error) ||
      !addressFamily(args, options.family, error)) {
    console.error(error);
    return kExitCannotStart;
  }
  if (const int outputs = CheckOutputFiles(args, {QStringLiteral("metrics")}, console))
    return outputs;
  const bool text = !args.has(QStringLiteral("json"));

  TraceCommandReport report;
  report.resolve = args.has(QStringLiteral("resolve"));
  TraceEvents events;
  events.start = [&](const QString& t) {
    report.text = t;
    if (text) console.printRaw(t.toUtf8());
  };
  events.write = [&](const QString& t) {
    report.text += t;
    if (text) console.printRaw(t.toUtf8());
  };
  events.pump = [&] {
    console.progress(
        QStringLiteral("trace %1: hop %2").arg(host).arg(report.trace.hops.size() + 1));
    return keepGoing();
  };
  events.resolveNames = [&] { return report.resolve; };
  appState().CancelRequested = false;
  report.startedMs = QDateTime::currentMSecsSinceEpoch();
  TraceRt(host, options, events, report.trace);
  report.finishedMs = QDateTime::currentMSecsSinceEpoch();
  console.endProgress();

  const TraceReport& t = report.trace;
  report.error = traceFailure(t.outcome, t.openError, host, options.family);
  if (!report.error.isEmpty()) console.error(report.error);
  if (text && !report.text.isEmpty() && !report.text.endsWith(QLatin1Char('\n')))
    console.printRaw("\n");
  const bool written = writeForms(args, console, TraceJson(report), TraceMetrics(report));

  if (!report.error.isEmpty()) return kExitCannotStart;
  if (t.outcome == TraceOutcome::Cancelled) return kExitCancelled;
  if (!written) return kExitNotWritten;
  return TraceReached(t) ? kExitOk : kExitMeasureFailed;
}

}  // namespace quorvel::cli
