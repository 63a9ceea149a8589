// Loading a page as a browser loads it: the HTML first, then every requisite as it is found
// (page_requisites.h: stylesheets and scripts before images, what a stylesheet names after
// it, frames with their own requisites to a depth of 5), in parallel over libcurl's multi
// interface: HTTP/2 when the server offers it over TLS (one multiplexed connection per
// origin), else HTTP/1.1 with at most 6 kept connections per host, Accept and Accept-Encoding
// as a browser sends them.
//
// The page's load time runs from the start of its first request to the end of its last
// requisite, as a browser's load event does.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>

#include "bench/page_requisites.h"

namespace quorvel {

// Where a load is: the files done of those found so far, and the bytes received (as sent,
// compressed when they were) of those done and under way.
struct BrowserLoadProgress {
  int done = 0, found = 0;
  std::int64_t bytes = 0;
};

struct BrowserLoadOptions {
  Viewport viewport;
  QByteArray userAgent = "Quorvel";
  std::chrono::milliseconds connectTimeout{30000};
  std::chrono::milliseconds idleTimeout{60000};  // nothing received for this long: 12002
  std::chrono::milliseconds transferLimit{0};    // per request; 0 for none
  int connectionsPerHost = 6;
  int connectionsInTotal = 64;
  int maxDepth = 5;         // frames within frames, stylesheets importing stylesheets
  int maxRequests = 10000;  // requisites (the page itself besides); later ones are not fetched
  qsizetype maxParsedBody = qsizetype(64) << 20;  // of an HTML page or stylesheet read
  QByteArray caFile;  // certificate authorities for https instead of the system's
  QByteArray proxy;   // "host:port" of an HTTP proxy; empty for direct connections
  // Called about every 50 ms while transfers wait; false ends them all (12017).
  std::function<bool()> pump;
  // Called just before each call of `pump` (or at the same times when there is none).
  std::function<void(const BrowserLoadProgress&)> progress;
};

struct LoadedFile {
  QByteArray url;
  bool page = false;  // the page itself or a frame's page
  RequisiteKind kind = RequisiteKind::Image;
  QByteArray destination;
  int depth = 0;
  long status = 0;  // HTTP status; 0 when none came
  int error = 0;    // the program's error number; 0 for none
  QByteArray errorText;
  QByteArray httpVersion;  // "1.1", "2"
  bool blocking = false;   // the page's DOMContentLoaded waits for it
  bool module = false;     // a JavaScript module (its imports are fetched after it)
  // Microseconds from the start of the page's first request: when the file was found (and
  // asked of libcurl), when its last byte came.
  std::int64_t start = 0, end = 0;
  // The phases of the transfer, in microseconds, one after the other from `start` to `end`:
  // queued for a connection, name look-up, connection, TLS, the redirects followed, waiting
  // for the first byte of the answer, receiving it (each 0 when it did not take place).
  std::int64_t blocked = 0, dns = 0, connect = 0, tls = 0, redirect = 0, wait = 0, receive = 0;
  std::int64_t wireBytes = 0;     // the body as sent (compressed, when it was)
  std::int64_t decodedBytes = 0;  // the body decoded
  bool failed() const { return error != 0 || status >= 400 || status == 0; }
};

struct BrowserLoad {
  QList<LoadedFile> files;     // in order of their start
  std::int64_t loadTime = 0;   // microseconds: first start to last end
  std::int64_t firstByte = 0;  // microseconds to the first byte of the page's final answer
  // Microseconds to the DOMContentLoaded equivalent: the page's HTML, the stylesheets it names
  // (with their imports) and its scripts that are not async, all done.
  std::int64_t contentLoad = 0;
  int failures = 0;
  int lazyBelow = 0, scriptOnly = 0, notFetched = 0;  // notFetched: beyond maxRequests
  bool cancelled = false;
};

// Loads `pageUrl` (http or https) and its requisites. A page that is no http or https address
// gives one failed file with 12005.
BrowserLoad LoadLikeABrowser(const QString& pageUrl, const BrowserLoadOptions& options = {});

}  // namespace quorvel
