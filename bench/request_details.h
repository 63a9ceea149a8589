// What is known of one request beyond its bytes, time and error number: the phases the
// Internet layer measured and what the server answered. For reports (JSON, HAR, metrics); the
// logs do not use it.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <cstdint>
#include <vector>

#include "core/error_numbers.h"

namespace quorvel {

using HeaderLines = QList<QPair<QByteArray, QByteArray>>;

// An answer that sent the request on (a redirect that was followed), with the request that got
// it; kept only when headers are recorded.
struct RedirectHop {
  QString url;  // the URL asked for
  int status = 0;
  QString statusText;  // the reason phrase as sent ("Found"); empty when none came
  QString httpVersion;
  QString location;         // the Location header as sent
  std::int64_t micros = 0;  // from the start of this hop to the end of its answer's head
  HeaderLines requestHeaders, responseHeaders;
};

struct RequestDetails {
  bool known = false;  // false when the session measures nothing of the kind

  // Phases in microseconds, in the order they happen, one after the other (they add up to the
  // request's time); -1 when the phase did not take place (no look-up on a reused connection,
  // no TLS over plain http).
  std::int64_t blockedMicros = -1;  // queued for a connection (a page loaded as a browser does)
  std::int64_t dnsMicros = -1;      // name look-up
  std::int64_t connectMicros = -1;  // TCP connection (without the TLS handshake)
  std::int64_t tlsMicros = -1;      // the TLS handshake alone
  std::int64_t sendMicros = -1;     // from connected to the request sent
  std::int64_t waitMicros = -1;     // from the request sent to the first byte of the answer
  std::int64_t receiveMicros = -1;  // from the first byte to the last
  std::int64_t redirectMicros = 0;  // the redirects that came before, all their phases
  int redirects = 0;

  int status = 0;         // the HTTP status code; 0 when none came
  QString statusText;     // the reason phrase as sent ("OK"); empty when none came (HTTP/2)
  QString httpVersion;    // "HTTP/1.1", "HTTP/2", ...; empty when unknown
  QString remoteAddress;  // the address connected to
  int remotePort = 0;
  QString effectiveUrl;  // the URL that answered, after redirects
  QString contentType;
  std::int64_t decodedBytes = -1;  // the body after its content encoding; -1 when unknown
  std::int64_t requestHeaderBytes = -1;
  std::int64_t responseHeaderBytes = -1;
  HeaderLines requestHeaders;   // only when asked for
  HeaderLines responseHeaders;  // only when asked for
  // The redirects that led to this answer, in order; only when headers are asked for. Their
  // times are part of the measured interval, before the phases above.
  std::vector<RedirectHop> hops;
};

// The error number of a request that the server answered with an HTTP error status (400 to
// 599): 991, the not-found number, for 404 and 410; the status itself for any other. 0 for
// every other answer, and for answers that are not HTTP (an FTP reply code is no HTTP status).
inline int HttpStatusError(const RequestDetails& d) {
  if (!d.known || d.httpVersion.isEmpty() || d.status < 400 || d.status > 599) return 0;
  return d.status == 404 || d.status == 410 ? err::kNotFoundPage : d.status;
}

}  // namespace quorvel
