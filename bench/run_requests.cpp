#include "bench/run_requests.h"

#include "bench/log_lines.h"
#include "core/number_format.h"

namespace quorvel {

namespace {

QString kindText(RequestRecord::Kind kind) {
  switch (kind) {
    case RequestRecord::Kind::Page:
      return QStringLiteral("Page");
    case RequestRecord::Kind::Frame:
      return QStringLiteral("Frame");
    case RequestRecord::Kind::Resource:
      break;
  }
  return QStringLiteral("File");
}

// Microseconds as milliseconds with one decimal; "" for a phase that did not take place.
QString millis(std::int64_t micros) {
  if (micros < 0) return {};
  return formatMask(static_cast<double>(micros) / 1000.0, "#,##0.0");
}

}  // namespace

void RunRequests::clear() {
  requests_.clear();
  failures_.clear();
  total_ = 0;
}

void RunRequests::add(const RequestRecord& request) {
  ++total_;
  RequestRecord kept = request;
  kept.details.requestHeaders.clear();
  kept.details.responseHeaders.clear();
  if (requests_.size() < kMaxKept) requests_.append(kept);
  if (request.error == 0) return;
  if (failures_.size() >= kMaxKept) kept.details = RequestDetails{};
  failures_.append(kept);
}

QStringList FailureColumns() {
  return {QStringLiteral("Iteration"), QStringLiteral("Page"), QStringLiteral("URL"),
          QStringLiteral("Error"), QStringLiteral("Error Text")};
}

QStringList FailureRow(const RequestRecord& r) {
  return {QString::number(r.iteration), QString::number(r.entry), r.url, QString::number(r.error),
          FileErrorText(r.error)};
}

QStringList RequestColumns() {
  return {QStringLiteral("Iteration"),  QStringLiteral("Page"),   QStringLiteral("Kind"),
          QStringLiteral("URL"),        QStringLiteral("Error"),  QStringLiteral("Status"),
          QStringLiteral("Bytes"),      QStringLiteral("ms"),     QStringLiteral("DNS ms"),
          QStringLiteral("Connect ms"), QStringLiteral("TLS ms"), QStringLiteral("Wait ms"),
          QStringLiteral("Receive ms"), QStringLiteral("Address")};
}

QStringList RequestRow(const RequestRecord& r) {
  const RequestDetails& d = r.details;
  return {QString::number(r.iteration),
          QString::number(r.entry),
          kindText(r.kind),
          r.url,
          QString::number(r.error),
          d.status > 0 ? QString::number(d.status) : QString(),
          formatMask(static_cast<double>(r.bytes), "#,##0"),
          millis(r.micros),
          millis(d.dnsMicros),
          millis(d.connectMicros),
          millis(d.tlsMicros),
          millis(d.waitMicros),
          millis(d.receiveMicros),
          d.remoteAddress};
}

}  // namespace quorvel
