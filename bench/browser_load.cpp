#include "bench/browser_load.h"

#include <curl/curl.h>
#include <unistd.h>

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "bench/module_imports.h"
#include "core/curl_errors.h"
#include "core/error_numbers.h"
#include "core/tick.h"

namespace quorvel {

namespace {

constexpr long kMaxRedirects = 10;
constexpr std::int64_t kPumpInterval = 50000;  // microseconds
// Delayable files in flight to servers that cannot rank requests, as Chromium's scheduler has
// them: while files that block the page are loading, and after.
constexpr int kDelayableWhileBlocking = 1;
constexpr int kDelayable = 10;

// The Accept header Chromium sends for each destination.
const char* acceptFor(bool page, const QByteArray& destination) {
  if (page)
    return "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,image/avif,"
           "image/webp,image/apng,*/*;q=0.8";
  if (destination == "style") return "Accept: text/css,*/*;q=0.1";
  if (destination == "image")
    return "Accept: image/avif,image/webp,image/apng,image/svg+xml,image/*,*/*;q=0.8";
  return "Accept: */*";
}

// Which files go first among those found together: stylesheets, scripts and fonts before
// images and the rest, as a browser ranks them.
int rank(const Requisite& r) {
  if (r.destination == "style" || r.destination == "script" || r.destination == "font") return 0;
  if (r.kind == RequisiteKind::Frame) return 1;
  return 2;
}

struct Transfer {
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
  qsizetype index = 0;  // into the result's files
  bool keep = false;    // the body is read (a page or a stylesheet)
  qsizetype limit = 0;
  QByteArray body;
  std::int64_t decoded = 0;
  char errorBuffer[CURL_ERROR_SIZE] = {};
  // Moments on the monotonic clock (0 until they happen): the first name look-up began, the
  // first and the last request went out on a connection, the status line of the last answer
  // came; libcurl's look-up, connect and TLS times (from its own start) when the first request
  // went out.
  std::int64_t resolveAt = 0, firstRequestAt = 0, lastRequestAt = 0, lastAnswerAt = 0;
  // The last byte of the answer came (a header line or a piece of the body): its end, taken
  // as it comes rather than when libcurl reports it, since one call of libcurl's may finish
  // many transfers.
  std::int64_t lastDataAt = 0;
  bool throttled = false;  // a delayable file to an HTTP/1.x server
  bool blocking = false;   // the page's DOMContentLoaded waits for it
  curl_off_t firstDns = 0, firstConnect = 0, firstTls = 0;

  ~Transfer() {
    if (easy) curl_easy_cleanup(easy);
    curl_slist_free_all(headers);
  }
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  t->lastDataAt = monotonicMicros();
  t->decoded += qint64(n);
  if (t->keep) {
    if (t->body.size() + qsizetype(n) <= t->limit)
      t->body.append(data, qsizetype(n));
    else
      t->keep = false;  // too large to read: counted only
  }
  return n;
}

int onResolveStart(void*, void*, void* user) {
  auto* t = static_cast<Transfer*>(user);
  if (t->resolveAt == 0) t->resolveAt = monotonicMicros();
  return 0;
}

int onRequestReady(void* user, char*, char*, int, int) {
  auto* t = static_cast<Transfer*>(user);
  t->lastRequestAt = monotonicMicros();
  if (t->firstRequestAt == 0) {
    t->firstRequestAt = t->lastRequestAt;
    curl_easy_getinfo(t->easy, CURLINFO_NAMELOOKUP_TIME_T, &t->firstDns);
    curl_easy_getinfo(t->easy, CURLINFO_CONNECT_TIME_T, &t->firstConnect);
    curl_easy_getinfo(t->easy, CURLINFO_APPCONNECT_TIME_T, &t->firstTls);
  }
  return CURL_PREREQFUNC_OK;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  t->lastDataAt = monotonicMicros();
  if (t->lastRequestAt != 0 && n >= 5 && std::memcmp(data, "HTTP/", 5) == 0)
    t->lastAnswerAt = t->lastDataAt;
  return n;
}

// Whether libcurl was built with a bundle of certificate authorities that exists. Given a
// folder of them as well (as Debian builds it), libcurl reads the whole bundle afresh for each
// new connection, one after the other on the load's thread (tens of milliseconds each); with the
// bundle alone it reads it once for all the load's connections.
bool DefaultAuthorityBundle() {
  CURL* easy = curl_easy_init();
  if (!easy) return false;
  char* bundle = nullptr;
  const bool found = curl_easy_getinfo(easy, CURLINFO_CAINFO, &bundle) == CURLE_OK && bundle &&
                     *bundle && ::access(bundle, R_OK) == 0;
  curl_easy_cleanup(easy);
  return found;
}

class Loader {
 public:
  explicit Loader(const BrowserLoadOptions& options) : o_(options) {
    CurlGlobalInit();
    multi_ = curl_multi_init();
    if (!multi_) return;
    curl_multi_setopt(multi_, CURLMOPT_PIPELINING, long(CURLPIPE_MULTIPLEX));
    curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, long(o_.connectionsPerHost));
    curl_multi_setopt(multi_, CURLMOPT_MAX_TOTAL_CONNECTIONS, long(o_.connectionsInTotal));
    bundleAlone_ = DefaultAuthorityBundle();
  }

  ~Loader() {
    for (auto& [easy, t] : active_) curl_multi_remove_handle(multi_, easy);
    active_.clear();
    if (multi_) curl_multi_cleanup(multi_);
  }

  BrowserLoad run(const QString& pageUrl) {
    const std::optional<WebUrl> page = ParsePageUrl(pageUrl);
    if (!page || !multi_) {
      LoadedFile f;
      f.url = pageUrl.toUtf8();
      f.page = true;
      f.error = page ? err::kNoMoreHandles : err::kInvalidUrl;
      out_.files << f;
      out_.failures = 1;
      return out_;
    }
    t0_ = monotonicMicros();
    enqueue({RequisiteKind::Frame, page->text(), "document"}, true, 0);
    drive();
    finish();
    return out_;
  }

 private:
  const BrowserLoadOptions& o_;
  CURLM* multi_ = nullptr;
  bool bundleAlone_ = false;  // trust the default bundle of authorities, not also their folder
  std::map<CURL*, std::unique_ptr<Transfer>> active_;
  QHash<QByteArray, qsizetype> seen_;  // each file asked for: its place in the files, or -1
  BrowserLoad out_;
  std::int64_t t0_ = 0;
  std::int64_t bytesDone_ = 0;     // received by the transfers done
  QList<qsizetype> held_;          // files found and held back (delayable()), in order
  QSet<QByteArray> http1Origins_;  // https origins that answered over HTTP/1.x
  int delayableInFlight_ = 0, blockingInFlight_ = 0;

  std::int64_t now() const { return monotonicMicros() - t0_; }

  // Starts fetching a file not fetched before; false when it is not fetched.
  void enqueue(const Requisite& r, bool page, int depth, bool blocking = false) {
    if (const auto asked = seen_.constFind(r.url); asked != seen_.cend()) {
      // Named again by what the page waits for (a module preloaded first, say): so it waits.
      if (*asked >= 0 && blocking) out_.files[*asked].blocking = true;
      return;
    }
    if (out_.files.size() > o_.maxRequests) {  // the page's own request is not one of them
      seen_.insert(r.url, -1);
      ++out_.notFetched;
      return;
    }
    seen_.insert(r.url, out_.files.size());
    LoadedFile f;
    f.url = r.url;
    f.page = page;
    f.kind = r.kind;
    f.destination = r.destination;
    f.depth = depth;
    f.blocking = blocking;
    f.module = r.module;
    f.start = now();
    out_.files << f;
    if (mayStart(f))
      start(out_.files.size() - 1);
    else
      held_ << out_.files.size() - 1;
  }

  // A browser holds back the files that can wait (images, media, prefetches) from a server that
  // cannot rank requests (HTTP/1.x): one at a time while the stylesheets and scripts that block
  // the page are under way, at most 10 at once after that. HTTP/2 servers get them all at once.
  static bool delayable(const LoadedFile& f) {
    if (f.page || f.blocking) return false;
    return f.destination == "image" || f.destination == "audio" || f.destination == "video" ||
           f.destination.isEmpty() || f.kind == RequisiteKind::Embedded;
  }
  static QByteArray originOf(const QByteArray& url) {
    const qsizetype scheme = url.indexOf("://");
    const qsizetype path = scheme < 0 ? -1 : url.indexOf('/', scheme + 3);
    return path < 0 ? url : url.left(path);
  }
  bool throttled(const LoadedFile& f) const {
    return delayable(f) && (f.url.startsWith("http:") || http1Origins_.contains(originOf(f.url)));
  }
  bool mayStart(const LoadedFile& f) const {
    if (!throttled(f)) return true;
    return delayableInFlight_ < (blockingInFlight_ > 0 ? kDelayableWhileBlocking : kDelayable);
  }

  // Starts the held files that may start now, in the order they were found (the first at
  // least when nothing else is under way).
  void startHeld() {
    QList<qsizetype> still;
    for (const qsizetype index : std::as_const(held_)) {
      if (mayStart(out_.files[index]) || active_.empty())
        start(index);
      else
        still << index;
    }
    held_ = still;
  }

  void start(qsizetype index) {
    const LoadedFile& f = out_.files[index];
    const bool page = f.page;
    auto t = std::make_unique<Transfer>();
    t->index = index;
    t->keep = page || f.destination == "style" || f.module;
    t->limit = o_.maxParsedBody;
    t->throttled = throttled(f);
    t->blocking = f.blocking;
    delayableInFlight_ += t->throttled;
    blockingInFlight_ += t->blocking;
    t->easy = curl_easy_init();
    if (!t->easy || !configure(*t, page) || curl_multi_add_handle(multi_, t->easy) != CURLM_OK) {
      out_.files[t->index].error = err::kNoMoreHandles;
      out_.files[t->index].end = now();
      delayableInFlight_ -= t->throttled;
      blockingInFlight_ -= t->blocking;
      return;
    }
    CURL* easy = t->easy;
    active_[easy] = std::move(t);
  }

  bool configure(Transfer& t, bool page) {
    const LoadedFile& f = out_.files[t.index];
    t.headers = curl_slist_append(nullptr, acceptFor(page, f.destination));
    if (!t.headers) return false;
    CURLcode rc = CURLE_OK;
    auto set = [&](CURLoption option, auto value) {
      if (rc == CURLE_OK) rc = curl_easy_setopt(t.easy, option, value);
    };
    set(CURLOPT_URL, f.url.constData());
    set(CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
    // Over TLS a transfer waits for the origin's connection, which may turn out to multiplex;
    // over plain HTTP it would wait for a busy HTTP/1.1 connection (a stalled answer held the
    // files queued behind it) instead of opening another.
    if (f.url.startsWith("https:")) set(CURLOPT_PIPEWAIT, 1L);
    set(CURLOPT_ACCEPT_ENCODING, "");
    set(CURLOPT_USERAGENT, o_.userAgent.constData());
    set(CURLOPT_HTTPHEADER, t.headers);
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, kMaxRedirects);
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_CONNECTTIMEOUT_MS, long(o_.connectTimeout.count()));
    set(CURLOPT_TIMEOUT_MS, long(o_.transferLimit.count()));
    set(CURLOPT_LOW_SPEED_LIMIT, 1L);
    set(CURLOPT_LOW_SPEED_TIME, std::max(1L, long(o_.idleTimeout.count() / 1000)));
    set(CURLOPT_NOSIGNAL, 1L);
    if (!o_.proxy.isEmpty()) set(CURLOPT_PROXY, o_.proxy.constData());
    set(CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
    set(CURLOPT_ERRORBUFFER, t.errorBuffer);
    set(CURLOPT_WRITEFUNCTION, &onBody);
    set(CURLOPT_WRITEDATA, static_cast<void*>(&t));
    set(CURLOPT_HEADERFUNCTION, &onHeader);
    set(CURLOPT_HEADERDATA, static_cast<void*>(&t));
    set(CURLOPT_RESOLVER_START_FUNCTION, &onResolveStart);
    set(CURLOPT_RESOLVER_START_DATA, static_cast<void*>(&t));
    set(CURLOPT_PREREQFUNCTION, &onRequestReady);
    set(CURLOPT_PREREQDATA, static_cast<void*>(&t));
    if (!o_.caFile.isEmpty()) set(CURLOPT_CAINFO, o_.caFile.constData());
    if (!o_.caFile.isEmpty() || bundleAlone_)
      set(CURLOPT_CAPATH, static_cast<const char*>(nullptr));
    return rc == CURLE_OK;
  }

  void drive() {
    std::int64_t lastPump = now();
    while (!active_.empty() || !held_.empty()) {
      int running = 0;
      curl_multi_perform(multi_, &running);
      int left = 0;
      while (CURLMsg* msg = curl_multi_info_read(multi_, &left))
        if (msg->msg == CURLMSG_DONE) done(msg->easy_handle, msg->data.result);
      startHeld();
      if (active_.empty()) break;
      curl_multi_poll(multi_, nullptr, 0, 50, nullptr);
      if ((o_.pump || o_.progress) && now() - lastPump >= kPumpInterval) {
        lastPump = now();
        if (o_.progress) o_.progress(progress());
        if (o_.pump && !o_.pump()) return cancel();
      }
    }
  }

  BrowserLoadProgress progress() const {
    BrowserLoadProgress p;
    p.found = int(out_.files.size());
    p.done = p.found - int(active_.size());
    p.bytes = bytesDone_;
    for (const auto& [easy, t] : active_) {
      curl_off_t n = 0;
      curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &n);
      p.bytes += n;
    }
    return p;
  }

  void cancel() {
    out_.cancelled = true;
    for (auto& [easy, t] : active_) {
      curl_multi_remove_handle(multi_, easy);
      LoadedFile& f = out_.files[t->index];
      f.error = err::kCancelled;
      f.end = now();
    }
    active_.clear();
    for (const qsizetype index : std::as_const(held_)) {
      out_.files[index].error = err::kCancelled;
      out_.files[index].end = now();
    }
    held_.clear();
  }

  void done(CURL* easy, CURLcode result) {
    const auto it = active_.find(easy);
    if (it == active_.end()) return;
    std::unique_ptr<Transfer> t = std::move(it->second);
    active_.erase(it);
    curl_multi_remove_handle(multi_, easy);
    delayableInFlight_ -= t->throttled;
    blockingInFlight_ -= t->blocking;
    LoadedFile& f = out_.files[t->index];
    f.end = result == CURLE_OK && t->lastDataAt != 0 ? std::min(now(), t->lastDataAt - t0_) : now();
    f.end = std::max(f.end, f.start);
    record(*t, f, result);
    bytesDone_ += f.wireBytes;
    if (f.httpVersion.startsWith('1')) http1Origins_.insert(originOf(f.url));
    const char* effective = nullptr;
    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective);
    const std::optional<WebUrl> at =
        ParsePageUrl(QString::fromLatin1(effective ? effective : f.url.constData()));
    if (f.failed() || !t->keep || !at) return;
    const LoadedFile copy = f;  // enqueue() grows the list
    if (copy.page)
      discoverPage(t->body, *at, copy.depth);
    else if (copy.module)
      discoverModule(t->body, *at, copy.depth, copy.blocking);
    else
      discoverStylesheet(t->body, *at, copy.depth, copy.blocking);
  }

  void record(Transfer& t, LoadedFile& f, CURLcode result) {
    long osError = 0;
    curl_easy_getinfo(t.easy, CURLINFO_OS_ERRNO, &osError);
    f.error = InternetErrorFromCurl(result, osError);
    if (f.error) f.errorText = QByteArray(t.errorBuffer);
    curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &f.status);
    long version = 0;
    curl_easy_getinfo(t.easy, CURLINFO_HTTP_VERSION, &version);
    f.httpVersion = version == CURL_HTTP_VERSION_2_0   ? "2"
                    : version == CURL_HTTP_VERSION_1_1 ? "1.1"
                    : version == CURL_HTTP_VERSION_1_0 ? "1.0"
                                                       : "";
    curl_off_t size = 0;
    curl_easy_getinfo(t.easy, CURLINFO_SIZE_DOWNLOAD_T, &size);
    f.wireBytes = size;
    f.decodedBytes = t.decoded;
    phases(t, f);
    if (f.page && f.depth == 0 && t.lastAnswerAt != 0) out_.firstByte = t.lastAnswerAt - t0_;
  }

  // Divides the file's time into its phases. libcurl's own clock starts when it takes the
  // transfer up, and it counts the wait for a free connection as name look-up; the moments the
  // callbacks saw put that wait where it belongs.
  void phases(const Transfer& t, LoadedFile& f) const {
    if (t.firstRequestAt == 0) return failedPhases(t, f);
    const std::int64_t requestAt = t.firstRequestAt - t0_;
    f.connect = t.firstConnect > t.firstDns ? t.firstConnect - t.firstDns : 0;
    f.tls = t.firstTls > t.firstConnect ? t.firstTls - t.firstConnect : 0;
    if (t.resolveAt != 0) {
      f.blocked = std::max<std::int64_t>(0, t.resolveAt - t0_ - f.start);
      f.dns = std::max<std::int64_t>(0, requestAt - f.start - f.blocked - f.connect - f.tls);
    } else {
      f.blocked = std::max<std::int64_t>(0, requestAt - f.start - f.connect - f.tls);
    }
    f.redirect = t.lastRequestAt - t.firstRequestAt;
    const std::int64_t answerAt = t.lastAnswerAt >= t.lastRequestAt ? t.lastAnswerAt - t0_ : f.end;
    f.wait = std::max<std::int64_t>(0, answerAt - (t.lastRequestAt - t0_));
    f.receive = std::max<std::int64_t>(0, f.end - answerAt);
  }

  // A transfer that never sent its request: libcurl's look-up and connect times, the rest of
  // its time queued.
  void failedPhases(const Transfer& t, LoadedFile& f) const {
    curl_off_t dns = 0, connect = 0;
    curl_easy_getinfo(t.easy, CURLINFO_NAMELOOKUP_TIME_T, &dns);
    curl_easy_getinfo(t.easy, CURLINFO_CONNECT_TIME_T, &connect);
    f.connect = connect > dns ? connect - dns : 0;
    f.blocked = std::max<std::int64_t>(0, f.end - f.start - f.connect);
  }

  void discoverPage(const QByteArray& html, const WebUrl& at, int depth) {
    const PageRequisites found = ReadPageRequisites(html, at, o_.viewport);
    out_.lazyBelow += found.lazyBelow;
    out_.scriptOnly += found.scriptOnly;
    QList<Requisite> files = found.files;
    std::stable_sort(files.begin(), files.end(),
                     [](const Requisite& a, const Requisite& b) { return rank(a) < rank(b); });
    for (const Requisite& r : files) {
      if (depth > 0 && r.kind == RequisiteKind::Icon) continue;  // only the top page's icon
      if (r.kind == RequisiteKind::Frame) {
        if (depth < o_.maxDepth) enqueue(r, true, depth + 1);
      } else {
        enqueue(r, false, depth, depth == 0 && r.blocking);
      }
    }
  }

  // What a module imports (by address; bare names need an import map, which is not read): each
  // a module of its own, blocking the page as the module that imports it does.
  void discoverModule(const QByteArray& js, const WebUrl& at, int depth, bool blocking) {
    for (const QByteArray& specifier : ReadModuleImports(js)) {
      if (!IsAddressSpecifier(specifier)) continue;
      if (const std::optional<WebUrl> url = ResolveWebUrl(specifier, at))
        enqueue({RequisiteKind::Script, url->text(), "script", blocking, true}, false, depth,
                blocking);
    }
  }

  // What a stylesheet names; its imports block the page as the stylesheet itself does.
  void discoverStylesheet(const QByteArray& css, const WebUrl& at, int depth, bool blocking) {
    QList<Requisite> files = ReadStylesheetRequisites(css, at, o_.viewport);
    std::stable_sort(files.begin(), files.end(),
                     [](const Requisite& a, const Requisite& b) { return rank(a) < rank(b); });
    for (const Requisite& r : files) {
      if (r.kind == RequisiteKind::Stylesheet) {
        if (depth < o_.maxDepth) enqueue(r, false, depth + 1, blocking);
      } else {
        enqueue(r, false, depth);
      }
    }
  }

  void finish() {
    for (const LoadedFile& f : out_.files) {
      out_.loadTime = std::max(out_.loadTime, f.end);
      if ((f.page && f.depth == 0) || f.blocking)
        out_.contentLoad = std::max(out_.contentLoad, f.end);
      if (f.failed()) ++out_.failures;
    }
  }
};

}  // namespace

BrowserLoad LoadLikeABrowser(const QString& pageUrl, const BrowserLoadOptions& options) {
  return Loader(options).run(pageUrl);
}

}  // namespace quorvel
