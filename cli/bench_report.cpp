#include "cli/bench_report.h"

#include <QDateTime>
#include <QJsonArray>
#include <QMap>
#include <algorithm>
#include <cmath>
#include <map>

#include "bench/internet.h"
#include "bench/internet_url.h"
#include "bench/log_lines.h"
#include "bench/totals_text.h"
#include "cli/commands.h"
#include "cli/metrics_file.h"
#include "cli/report_forms.h"
#include "core/number_format.h"
#include "quorvel_version.h"

namespace quorvel::cli {

namespace {

QString kindName(RequestRecord::Kind k) {
  switch (k) {
    case RequestRecord::Kind::Page:
      return QStringLiteral("page");
    case RequestRecord::Kind::Frame:
      return QStringLiteral("frame");
    case RequestRecord::Kind::Resource:
      return QStringLiteral("resource");
  }
  return {};
}

// What a page loaded as a browser does named and did not fetch, by reason.
QJsonObject notFetched(const RequestRecord& page) {
  return QJsonObject{{"lazy_below_viewport", page.pageLazyBelow},
                     {"beyond_request_limit", page.pageNotFetched},
                     {"script_only", page.pageScriptOnly}};
}

QString modeName(const BenchReport& report) {
  return report.browser ? QStringLiteral("browser") : QStringLiteral("page");
}

double seconds(std::int64_t micros) {
  return static_cast<double>(micros) / 1e6;
}
double ms(std::int64_t micros) {
  return static_cast<double>(micros) / 1e3;
}

QJsonValue microsOrNull(std::int64_t micros) {
  return micros < 0 ? QJsonValue() : QJsonValue(static_cast<double>(micros));
}

// The URL as it went out: a resource is listed without its scheme.
QString fullUrl(const RequestRecord& r) {
  return QString::fromLatin1(RequestURL(CompleteURL(r.url)));
}

double kbps(const RunTotals& t) {
  return t.micros > 0
             ? dec1(static_cast<double>(t.bytes) * 8.0 / (static_cast<double>(t.micros) / 1000.0))
             : 0.0;
}

QString secondsField(std::int64_t micros) {
  return micros < 0 ? QString() : QString::number(seconds(micros), 'f', 6);
}

// Header lines as they were sent, read as UTF-8.
QJsonArray headerArray(const HeaderLines& headers) {
  QJsonArray a;
  for (const auto& [name, value] : headers)
    a.append(QJsonObject{{"name", QString::fromUtf8(name)}, {"value", QString::fromUtf8(value)}});
  return a;
}

// What a page loaded as a browser does came to: its requests, the bytes of its files that came
// without error as sent and decoded.
struct PageLoadSums {
  std::int64_t requests = 0, bytes = 0, decodedBytes = 0;
};

// The sums of each page loaded as a browser does, by the place of its own record.
std::map<std::size_t, PageLoadSums> pageLoads(const BenchReport& report) {
  std::map<std::size_t, PageLoadSums> loads;
  PageLoadSums* current = nullptr;
  for (std::size_t i = 0; i < report.requests.size(); ++i) {
    const RequestRecord& r = report.requests[i];
    if (r.kind == RequestRecord::Kind::Page) current = r.pageLoadMicros >= 0 ? &loads[i] : nullptr;
    if (!current) continue;
    ++current->requests;
    if (r.error != 0) continue;
    current->bytes += r.bytes;
    current->decodedBytes += r.details.decodedBytes < 0 ? r.bytes : r.details.decodedBytes;
  }
  return loads;
}

}  // namespace

QString IsoTime(qint64 msSinceEpoch) {
  return QDateTime::fromMSecsSinceEpoch(msSinceEpoch, Qt::UTC).toString(Qt::ISODateWithMs);
}

QString BenchText(const BenchReport& report) {
  const TotalsText t = MakeTotalsText(report.totals);
  const QList<QPair<QString, QString>> rows{{QStringLiteral("Valid URLs:"), t.validUrls},
                                            {QStringLiteral("Total Errors:"), t.totalErrors},
                                            {QStringLiteral("Total Bytes:"), t.totalBytes},
                                            {QStringLiteral("Total Secs:"), t.totalSecs},
                                            {QStringLiteral("Throughput:"), t.throughput},
                                            {QStringLiteral("Avg. Page Load:"), t.avgPageLoad},
                                            {QStringLiteral("Status:"), report.status}};
  QString out;
  for (const auto& [label, value] : rows)
    out += label.leftJustified(17) + value + QLatin1Char('\n');
  out.chop(1);
  return out;
}

QJsonObject BenchJson(const BenchReport& report) {
  const TotalsText shown = MakeTotalsText(report.totals);
  const RunTotals& t = report.totals;
  const std::map<std::size_t, PageLoadSums> loads = pageLoads(report);
  QJsonArray requests;
  for (const RequestRecord& r : report.requests) {
    const RequestDetails& d = r.details;
    QJsonObject o{{"iteration", r.iteration},
                  {"entry", r.entry},
                  {"kind", kindName(r.kind)},
                  {"page", r.pageUrl},
                  {"url", r.url},
                  {"started", IsoTime(r.startedMs)},
                  {"bytes", static_cast<double>(r.bytes)},
                  {"microseconds", static_cast<double>(r.micros)},
                  {"error", r.error},
                  {"error_text", r.error == 0 ? QJsonValue() : QJsonValue(FileErrorText(r.error))}};
    if (d.decodedBytes >= 0) o.insert("decoded_bytes", static_cast<double>(d.decodedBytes));
    if (r.pageLoadMicros >= 0) o.insert("load_microseconds", static_cast<double>(r.pageLoadMicros));
    if (r.pageFirstByteMicros >= 0)
      o.insert("first_byte_microseconds", static_cast<double>(r.pageFirstByteMicros));
    if (r.pageContentLoadMicros >= 0)
      o.insert("content_load_microseconds", static_cast<double>(r.pageContentLoadMicros));
    if (r.pageLoadMicros >= 0) o.insert("not_fetched", notFetched(r));
    if (const auto load = loads.find(std::size_t(&r - report.requests.data())); load != loads.end())
      o.insert("load",
               QJsonObject{{"requests", static_cast<double>(load->second.requests)},
                           {"bytes", static_cast<double>(load->second.bytes)},
                           {"decoded_bytes", static_cast<double>(load->second.decodedBytes)}});
    if (d.known) {
      o.insert("http", QJsonObject{{"status", d.status},
                                   {"version", d.httpVersion},
                                   {"remote_address", d.remoteAddress},
                                   {"remote_port", d.remotePort},
                                   {"effective_url", d.effectiveUrl},
                                   {"content_type", d.contentType},
                                   {"redirects", d.redirects}});
      o.insert("phases_microseconds",
               QJsonObject{{"queued", microsOrNull(d.blockedMicros)},
                           {"dns", microsOrNull(d.dnsMicros)},
                           {"connect", microsOrNull(d.connectMicros)},
                           {"tls", microsOrNull(d.tlsMicros)},
                           {"send", microsOrNull(d.sendMicros)},
                           {"wait", microsOrNull(d.waitMicros)},
                           {"receive", microsOrNull(d.receiveMicros)},
                           {"redirects", static_cast<double>(d.redirectMicros)}});
    }
    requests.append(o);
  }
  QJsonObject totals{{"valid_urls", static_cast<double>(t.validUrls)},
                     {"errors", static_cast<double>(t.errors)},
                     {"files", static_cast<double>(t.files)},
                     {"bytes", static_cast<double>(t.bytes)},
                     {"microseconds", static_cast<double>(t.micros)},
                     {"seconds", seconds(t.micros)},
                     {"kbps", kbps(t)},
                     {"page_average_seconds",
                      t.validUrls > 0 ? seconds(t.micros) / static_cast<double>(t.validUrls) : 0.0},
                     {"shown", QJsonObject{{"valid_urls", shown.validUrls},
                                           {"total_errors", shown.totalErrors},
                                           {"total_bytes", shown.totalBytes},
                                           {"total_secs", shown.totalSecs},
                                           {"throughput", shown.throughput},
                                           {"avg_page_load", shown.avgPageLoad}}}};
  QJsonObject doc{{"program", QString::fromLatin1(version::kProductName)},
                  {"version", VersionNumber()},
                  {"command", "bench"},
                  {"started", IsoTime(report.startedMs)},
                  {"finished", IsoTime(report.finishedMs)},
                  {"status", report.status},
                  {"iterations", report.iterations},
                  {"mode", modeName(report)},
                  {"images", report.images},
                  {"sounds", report.sounds},
                  {"logging", report.logging},
                  {"urls", QJsonArray::fromStringList(report.urls)},
                  {"totals", totals},
                  {"summary_line",
                   SummaryLine(ReportDate(QDateTime::fromMSecsSinceEpoch(report.finishedMs)), t)},
                  {"requests", requests},
                  {"messages", QJsonArray::fromStringList(report.messages)}};
  return doc;
}

QByteArray BenchCsv(const BenchReport& report) {
  QString out = QStringLiteral(
      "started,iteration,entry,kind,page,url,bytes,seconds,error,error_text,http_status,"
      "http_version,remote_address,dns_seconds,connect_seconds,tls_seconds,send_seconds,"
      "wait_seconds,receive_seconds,mode,queued_seconds,decoded_bytes,load_seconds,"
      "first_byte_seconds,content_load_seconds\r\n");
  for (const RequestRecord& r : report.requests) {
    const RequestDetails& d = r.details;
    const QString errorText = r.error == 0 ? QString() : FileErrorText(r.error);
    const QStringList fields{IsoTime(r.startedMs),
                             QString::number(r.iteration),
                             QString::number(r.entry),
                             kindName(r.kind),
                             r.pageUrl,
                             r.url,
                             QString::number(r.bytes),
                             secondsField(r.micros),
                             QString::number(r.error),
                             errorText,
                             d.known && d.status ? QString::number(d.status) : QString(),
                             d.httpVersion,
                             d.remoteAddress,
                             secondsField(d.dnsMicros),
                             secondsField(d.connectMicros),
                             secondsField(d.tlsMicros),
                             secondsField(d.sendMicros),
                             secondsField(d.waitMicros),
                             secondsField(d.receiveMicros),
                             modeName(report),
                             secondsField(d.blockedMicros),
                             d.decodedBytes < 0 ? QString() : QString::number(d.decodedBytes),
                             secondsField(r.pageLoadMicros),
                             secondsField(r.pageFirstByteMicros),
                             secondsField(r.pageContentLoadMicros)};
    out += CsvRecord(fields);
  }
  return out.toUtf8();
}

namespace {

// An entry of the archive: a request that was made and what came back.
struct HarExchange {
  QString url, method = QStringLiteral("GET"), httpVersion;
  int status = 0;
  QString statusText, redirectUrl, mimeType;
  const HeaderLines* requestHeaders = nullptr;
  const HeaderLines* responseHeaders = nullptr;
  double requestHeadersSize = -1, responseHeadersSize = -1, bodySize = 0;
  double contentSize = -1;  // the body decoded; -1 when it is the body as sent
  qint64 startedMs = 0;
  QJsonObject timings;
  double time = 0;
};

QJsonObject harEntry(const QString& pageId, const HarExchange& x) {
  const QString version = x.httpVersion.isEmpty() ? QStringLiteral("unknown") : x.httpVersion;
  const HeaderLines none;
  // The body as sent and decoded: what its content encoding saved, and what came over the
  // wire with the header lines.
  QJsonObject content{{"size", x.contentSize < 0 ? x.bodySize : x.contentSize},
                      {"mimeType", x.mimeType}};
  if (x.contentSize > x.bodySize) content.insert("compression", x.contentSize - x.bodySize);
  const double transferSize = x.bodySize + std::max(0.0, x.responseHeadersSize);
  return QJsonObject{
      {"pageref", pageId},
      {"startedDateTime", IsoTime(x.startedMs)},
      {"time", x.time},
      {"request", QJsonObject{{"method", x.method},
                              {"url", x.url},
                              {"httpVersion", version},
                              {"cookies", QJsonArray()},
                              {"headers", headerArray(x.requestHeaders ? *x.requestHeaders : none)},
                              {"queryString", QJsonArray()},
                              {"headersSize", x.requestHeadersSize},
                              {"bodySize", 0}}},
      {"response",
       QJsonObject{{"status", x.status},
                   {"statusText", x.statusText},
                   {"httpVersion", version},
                   {"cookies", QJsonArray()},
                   {"headers", headerArray(x.responseHeaders ? *x.responseHeaders : none)},
                   {"content", content},
                   {"redirectURL", x.redirectUrl},
                   {"headersSize", x.responseHeadersSize},
                   {"bodySize", x.bodySize},
                   {"_transferSize", transferSize}}},
      {"cache", QJsonObject()},
      {"timings", x.timings}};
}

// Whether a request went out at all: a URL that could not be parsed or resolved, or a server
// that could not be reached, made none.
bool requestMade(const RequestRecord& r) {
  const RequestDetails& d = r.details;
  return d.known && (d.status != 0 || !d.requestHeaders.isEmpty() || !d.hops.empty());
}

// The entry of a request that answered, with the server's address, what the request was to the
// run and its error, if any.
QJsonObject withRequestNotes(QJsonObject entry, const RequestRecord& r) {
  entry.insert("_kind", kindName(r.kind));
  if (!r.details.remoteAddress.isEmpty()) entry.insert("serverIPAddress", r.details.remoteAddress);
  if (r.error != 0)
    entry.insert("comment",
                 QStringLiteral("Quorvel error %1: %2").arg(r.error).arg(FileErrorText(r.error)));
  return entry;
}

// A redirect that was followed: libcurl measures the phases of the last hop only, so a hop is
// one wait.
QJsonObject hopEntry(const RedirectHop& hop, const QString& pageId, qint64 startedMs) {
  HarExchange x;
  x.url = hop.url;
  x.httpVersion = hop.httpVersion;
  x.status = hop.status;
  x.statusText = hop.statusText;
  x.redirectUrl = hop.location;
  x.requestHeaders = &hop.requestHeaders;
  x.responseHeaders = &hop.responseHeaders;
  x.startedMs = startedMs;
  x.time = ms(hop.micros);
  x.timings = QJsonObject{{"blocked", -1}, {"dns", -1},      {"connect", -1}, {"ssl", -1},
                          {"send", 0},     {"wait", x.time}, {"receive", 0}};
  return harEntry(pageId, x);
}

// What the server answered a request with, as sent: its URL, status, headers and body (and the
// body decoded, when that is known).
HarExchange answered(const RequestRecord& r) {
  const RequestDetails& d = r.details;
  HarExchange x;
  x.url = fullUrl(r);
  x.httpVersion = d.httpVersion;
  x.status = d.status;
  x.statusText = d.statusText;
  x.mimeType = d.contentType;
  x.requestHeaders = &d.requestHeaders;
  x.responseHeaders = &d.responseHeaders;
  x.requestHeadersSize = static_cast<double>(d.requestHeaderBytes);
  x.responseHeadersSize = static_cast<double>(d.responseHeaderBytes);
  x.bodySize = static_cast<double>(r.bytes);
  x.contentSize = static_cast<double>(d.decodedBytes);
  return x;
}

// The request that answered, in what its redirects (`hopsMs`) left of the measured interval.
// The phases libcurl measured; what the interval holds beyond them is the receiving, so that
// the timings add up to the time the logs give the request. After redirects libcurl adds the
// phases of every hop together: the answer's receiving is then as measured and the rest of its
// time the wait.
QJsonObject answerEntry(const RequestRecord& r, const QString& pageId, double hopsMs) {
  const RequestDetails& d = r.details;
  const auto part = [](std::int64_t micros) { return micros < 0 ? -1.0 : ms(micros); };
  const double time = std::max(0.0, ms(r.micros) - hopsMs);
  const bool redirected = !d.hops.empty();
  const double dns = redirected ? -1 : part(d.dnsMicros);
  // (HAR's connect holds the TLS handshake, which ssl then gives again.)
  const double connect = redirected || d.connectMicros < 0
                             ? -1
                             : ms(d.connectMicros + std::max<std::int64_t>(0, d.tlsMicros));
  const double ssl = redirected ? -1 : part(d.tlsMicros);
  const double send = redirected ? 0 : std::max(0.0, part(d.sendMicros));
  const double receivedIn = std::clamp(part(d.receiveMicros), 0.0, time);
  const double wait = redirected ? time - receivedIn : std::max(0.0, part(d.waitMicros));
  const double before = std::max(0.0, dns) + std::max(0.0, connect) + send + wait;
  const double receive = std::max(0.0, time - before);
  HarExchange x = answered(r);
  x.url = !redirected || d.effectiveUrl.isEmpty() ? fullUrl(r) : d.effectiveUrl;
  x.startedMs = r.startedMs + qint64(hopsMs);
  x.time = before + receive;
  x.timings = QJsonObject{{"blocked", -1}, {"dns", dns},   {"connect", connect}, {"ssl", ssl},
                          {"send", send},  {"wait", wait}, {"receive", receive}};
  return withRequestNotes(harEntry(pageId, x), r);
}

// A request of a page loaded as a browser does, started `startedMs` (placed on the page's time
// line, so that requests made side by side overlap). Its time is the measured interval: the
// wait for a connection (blocked), look-up, connection with its TLS handshake (connect, of
// which ssl is the handshake), the redirects it followed and the wait for the final answer's
// first byte (wait; _redirect says how much of it the redirects took), the receiving.
QJsonObject browserEntry(const RequestRecord& r, const QString& pageId, qint64 startedMs) {
  const RequestDetails& d = r.details;
  const auto part = [](std::int64_t micros) { return micros < 0 ? -1.0 : ms(micros); };
  const auto positive = [](std::int64_t micros) { return std::max<std::int64_t>(0, micros); };
  const double blocked = ms(positive(d.blockedMicros));
  const double dns = part(d.dnsMicros);
  const double connect = d.connectMicros < 0 && d.tlsMicros < 0
                             ? -1
                             : ms(positive(d.connectMicros) + positive(d.tlsMicros));
  const double ssl = part(d.tlsMicros);
  const double wait = ms(positive(d.redirectMicros) + positive(d.waitMicros));
  const double before = blocked + std::max(0.0, dns) + std::max(0.0, connect) + wait;
  const double receive = std::max(0.0, ms(r.micros) - before);
  HarExchange x = answered(r);
  x.startedMs = startedMs;
  x.time = before + receive;
  x.timings = QJsonObject{
      {"blocked", blocked}, {"dns", dns},         {"connect", connect},
      {"ssl", ssl},         {"send", 0},          {"wait", wait},
      {"receive", receive}, {"_queued", blocked}, {"_redirect", ms(positive(d.redirectMicros))}};
  return withRequestNotes(harEntry(pageId, x), r);
}

// The redirects of a request, each an entry of its own as a browser's archive has them, then
// the request that answered; their times add up to the measured interval.
void appendEntries(const RequestRecord& r, const QString& pageId, QJsonArray& entries) {
  double hopsMs = 0;
  for (const RedirectHop& hop : r.details.hops) {
    entries.append(hopEntry(hop, pageId, r.startedMs + qint64(hopsMs)));
    hopsMs += ms(hop.micros);
  }
  entries.append(answerEntry(r, pageId, hopsMs));
}

// A page of the archive: when it started, on the wall clock and on the run's clock, and its
// timings in milliseconds from then.
struct HarPage {
  QString id, title;
  qint64 startedMs = 0;
  std::int64_t startMicros = 0;
  double onContentLoad = -1, onLoad = 0, firstByte = -1;
  QJsonObject notFetched;  // of a page loaded as a browser does
};

}  // namespace

QJsonObject BenchHar(const BenchReport& report) {
  QJsonArray entries, failures;
  std::vector<HarPage> pages;
  for (const RequestRecord& r : report.requests) {
    if (r.kind == RequestRecord::Kind::Page || pages.empty())
      pages.push_back({QStringLiteral("page_%1_%2").arg(r.iteration).arg(r.entry),
                       r.pageUrl,
                       r.startedMs,
                       r.startMicros,
                       -1,
                       0,
                       -1,
                       {}});
    HarPage& page = pages.back();
    // A page loaded as a browser does has its own load time; a page's files add up.
    if (r.pageLoadMicros >= 0) {
      page.onLoad = ms(r.pageLoadMicros);
      if (r.pageContentLoadMicros >= 0) page.onContentLoad = ms(r.pageContentLoadMicros);
      if (r.pageFirstByteMicros >= 0) page.firstByte = ms(r.pageFirstByteMicros);
      page.notFetched = notFetched(r);
    } else if (r.error == 0 && !report.browser) {
      page.onLoad += ms(r.micros);
    }
    // In a browser's load the files of a page start on its time line, side by side.
    const qint64 startedMs =
        report.browser
            ? page.startedMs + std::max<std::int64_t>(0, r.startMicros - page.startMicros) / 1000
            : r.startedMs;
    if (requestMade(r)) {
      if (report.browser)
        entries.append(browserEntry(r, page.id, startedMs));
      else
        appendEntries(r, page.id, entries);
      continue;
    }
    failures.append(QJsonObject{{"pageref", page.id},
                                {"startedDateTime", IsoTime(startedMs)},
                                {"url", r.url},
                                {"error", r.error},
                                {"errorText", FileErrorText(r.error)}});
  }
  QJsonArray harPages;
  for (const HarPage& p : pages) {
    QJsonObject timings{{"onContentLoad", p.onContentLoad}, {"onLoad", p.onLoad}};
    if (p.firstByte >= 0) timings.insert("_firstByte", p.firstByte);
    QJsonObject page{{"startedDateTime", IsoTime(p.startedMs)},
                     {"id", p.id},
                     {"title", p.title},
                     {"_mode", modeName(report)},
                     {"pageTimings", timings}};
    if (!p.notFetched.isEmpty()) page.insert("_notFetched", p.notFetched);
    harPages.append(page);
  }
  QJsonObject log{{"version", "1.2"},
                  {"creator", QJsonObject{{"name", QString::fromLatin1(version::kProductName)},
                                          {"version", VersionNumber()}}},
                  {"_mode", modeName(report)},
                  {"pages", harPages},
                  {"entries", entries}};
  if (!failures.isEmpty()) {
    log.insert("_failures", failures);
    log.insert("comment", QStringLiteral("%1 file(s) of the run made no request (a URL that is "
                                         "none, a host without an address, no connection); "
                                         "they are listed in _failures, not in entries.")
                              .arg(failures.size()));
  }
  return QJsonObject{{"log", log}};
}

QByteArray BenchMetrics(const BenchReport& report) {
  // Per listed page: its own request and everything fetched for it (frames, resources).
  struct Page {
    int iterations = 0;
    std::int64_t errors = 0, bytes = 0, micros = 0;
    RequestRecord last;         // the page's own request, last iteration
    std::vector<double> loads;  // measured seconds of each iteration
    std::int64_t dns = 0, connect = 0, tls = 0, wait = 0, receive = 0;
    std::int64_t firstByte = 0, contentLoad = 0, decodedBytes = 0;  // loaded as a browser does
  };
  QMap<QString, Page> pages;
  QStringList order;
  QString current;
  for (const RequestRecord& r : report.requests) {
    if (r.kind == RequestRecord::Kind::Page) {
      current = r.pageUrl;
      if (!pages.contains(current)) order << current;
      Page& p = pages[current];
      ++p.iterations;
      p.loads.push_back(0);
      p.last = r;
      if (r.pageLoadMicros >= 0) {
        p.micros += r.pageLoadMicros;
        p.loads.back() = seconds(r.pageLoadMicros);
        p.firstByte += std::max<std::int64_t>(0, r.pageFirstByteMicros);
        p.contentLoad += std::max<std::int64_t>(0, r.pageContentLoadMicros);
      }
      const RequestDetails& d = r.details;
      p.dns += std::max<std::int64_t>(0, d.dnsMicros);
      p.connect +=
          std::max<std::int64_t>(0, d.connectMicros) + std::max<std::int64_t>(0, d.tlsMicros);
      p.tls += std::max<std::int64_t>(0, d.tlsMicros);
      p.wait += std::max<std::int64_t>(0, d.sendMicros) + std::max<std::int64_t>(0, d.waitMicros);
      p.receive += std::max<std::int64_t>(0, d.receiveMicros);
    }
    if (current.isEmpty()) continue;
    Page& p = pages[current];
    if (r.error != 0)
      ++p.errors;
    else {
      p.bytes += r.bytes;
      p.decodedBytes += r.details.decodedBytes < 0 ? r.bytes : r.details.decodedBytes;
      // A page loaded as a browser does takes its load time, not the sum of its files'.
      if (!report.browser) {
        p.micros += r.micros;
        if (!p.loads.empty()) p.loads.back() += seconds(r.micros);
      }
    }
  }
  MetricsText m;
  const auto perPage = [&](const QString& name, const QString& help, auto value) {
    m.family(name, help);
    for (const QString& url : order) m.sample(name, {{"url", url}}, value(pages[url]));
  };
  perPage(QStringLiteral("quorvel_bench_success"),
          QStringLiteral("Whether the page and everything fetched with it came without an error in "
                         "every iteration (1) or not (0)."),
          [](const Page& p) { return p.errors == 0 ? 1.0 : 0.0; });
  perPage(
      QStringLiteral("quorvel_bench_page_load_seconds"),
      QStringLiteral(
          "Measured time of the page with its frames, images and sounds, mean of the iterations."),
      [](const Page& p) { return seconds(p.micros) / std::max(1, p.iterations); });
  perPage(QStringLiteral("quorvel_bench_page_bytes"),
          QStringLiteral(
              "Bytes of the page with its frames, images and sounds, mean of the iterations."),
          [](const Page& p) { return static_cast<double>(p.bytes) / std::max(1, p.iterations); });
  if (report.browser) {
    perPage(QStringLiteral("quorvel_bench_page_first_byte_seconds"),
            QStringLiteral("Time to the first byte of the page's final answer, from the start of "
                           "its first request, mean of the iterations (loaded as a browser does)."),
            [](const Page& p) { return seconds(p.firstByte) / std::max(1, p.iterations); });
    perPage(QStringLiteral("quorvel_bench_page_content_load_seconds"),
            QStringLiteral("Time until the page's HTML and the stylesheets and scripts it waits "
                           "for were done (DOMContentLoaded), mean of the iterations (loaded as a "
                           "browser does)."),
            [](const Page& p) { return seconds(p.contentLoad) / std::max(1, p.iterations); });
    perPage(QStringLiteral("quorvel_bench_page_decoded_bytes"),
            QStringLiteral("Bytes of the page and its requisites after their content encoding, "
                           "mean of the iterations (loaded as a browser does)."),
            [](const Page& p) {
              return static_cast<double>(p.decodedBytes) / std::max(1, p.iterations);
            });
  }
  perPage(
      QStringLiteral("quorvel_bench_errors"),
      QStringLiteral(
          "Files of the page (and of what was fetched with it) that failed, over all iterations."),
      [](const Page& p) { return static_cast<double>(p.errors); });
  perPage(QStringLiteral("quorvel_http_status_code"),
          QStringLiteral("HTTP status of the page's own request, last iteration (0: no answer)."),
          [](const Page& p) { return static_cast<double>(p.last.details.status); });
  m.family(
      QStringLiteral("quorvel_http_duration_seconds"),
      QStringLiteral("Phases of the page's own request, mean of the iterations: resolve, connect "
                     "(TLS included), tls, processing (until the first byte), transfer."));
  for (const QString& url : order) {
    const Page& p = pages[url];
    const double n = std::max(1, p.iterations);
    const QList<QPair<QString, std::int64_t>> phases{{"resolve", p.dns},
                                                     {"connect", p.connect},
                                                     {"tls", p.tls},
                                                     {"processing", p.wait},
                                                     {"transfer", p.receive}};
    for (const auto& [phase, micros] : phases)
      m.sample(QStringLiteral("quorvel_http_duration_seconds"), {{"url", url}, {"phase", phase}},
               seconds(micros) / n);
  }
  // Fixed buckets, so that the files of many machines add up.
  static const std::vector<double> kPageLoadBuckets{0.05, 0.1, 0.25, 0.5, 1, 2.5,
                                                    5,    10,  20,   30,  60};
  m.family(QStringLiteral("quorvel_bench_page_load_duration_seconds"),
           QStringLiteral("Measured time of the page with its frames, images and sounds, one "
                          "observation per iteration. Buckets fixed from 0.05 s to 60 s."),
           QStringLiteral("histogram"));
  for (const QString& url : order)
    m.histogram(QStringLiteral("quorvel_bench_page_load_duration_seconds"), {{"url", url}},
                kPageLoadBuckets, pages[url].loads);
  const RunTotals& t = report.totals;
  const bool done = report.status == QLatin1String("Done");
  const QList<std::tuple<QString, QString, double>> run{
      {QStringLiteral("quorvel_bench_run_success"),
       QStringLiteral("Whether the whole run ended without a failed file (1) or not (0)."),
       done && t.errors == 0 && !report.requests.empty() ? 1.0 : 0.0},
      {QStringLiteral("quorvel_bench_valid_urls"),
       QStringLiteral("Listed pages fetched without error."), static_cast<double>(t.validUrls)},
      {QStringLiteral("quorvel_bench_failed_files"),
       QStringLiteral("Files of the run that failed (the window's Total Errors)."),
       static_cast<double>(t.errors)},
      {QStringLiteral("quorvel_bench_files"), QStringLiteral("Files fetched without error."),
       static_cast<double>(t.files)},
      {QStringLiteral("quorvel_bench_bytes"),
       QStringLiteral("Bytes of the files fetched without error."), static_cast<double>(t.bytes)},
      {QStringLiteral("quorvel_bench_duration_seconds"),
       QStringLiteral(
           "Measured time of the files fetched without error (the window's Total Secs)."),
       seconds(t.micros)},
      {QStringLiteral("quorvel_bench_throughput_bytes_per_second"),
       QStringLiteral("Bytes per second of measured time (the window's Throughput is 8 / 1000 "
                      "of it, in Kbps)."),
       t.micros > 0 ? static_cast<double>(t.bytes) / seconds(t.micros) : 0.0},
      {QStringLiteral("quorvel_bench_page_load_average_seconds"),
       QStringLiteral(
           "Measured time per page fetched without error (the window's Avg. Page Load)."),
       t.validUrls > 0 ? seconds(t.micros) / static_cast<double>(t.validUrls) : 0.0},
      {QStringLiteral("quorvel_bench_browser_mode"),
       QStringLiteral("Whether the pages were loaded as a browser loads them (1: every requisite, "
                      "in parallel, a page's time its load time) or with their frames, images "
                      "and sounds one at a time (0)."),
       report.browser ? 1.0 : 0.0},
      {QStringLiteral("quorvel_bench_last_run_timestamp_seconds"),
       QStringLiteral("When the run ended, seconds since the epoch."),
       static_cast<double>(report.finishedMs) / 1000.0},
  };
  for (const auto& [name, help, value] : run) {
    m.family(name, help);
    m.sample(name, {}, value);
  }
  return m.text();
}

}  // namespace quorvel::cli
