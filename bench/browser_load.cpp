#include "bench/browser_load.h"

#include <curl/curl.h>

#include <QSet>
#include <algorithm>
#include <map>
#include <memory>

#include "core/curl_errors.h"
#include "core/error_numbers.h"
#include "core/tick.h"

namespace quorvel {

namespace {

constexpr long kMaxRedirects = 10;
constexpr std::int64_t kPumpInterval = 50000;  // microseconds

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

  ~Transfer() {
    if (easy) curl_easy_cleanup(easy);
    curl_slist_free_all(headers);
  }
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  t->decoded += qint64(n);
  if (t->keep) {
    if (t->body.size() + qsizetype(n) <= t->limit)
      t->body.append(data, qsizetype(n));
    else
      t->keep = false;  // too large to read: counted only
  }
  return n;
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
  std::map<CURL*, std::unique_ptr<Transfer>> active_;
  QSet<QByteArray> seen_;
  BrowserLoad out_;
  std::int64_t t0_ = 0;

  std::int64_t now() const { return monotonicMicros() - t0_; }

  // Starts fetching a file not fetched before; false when it is not fetched.
  void enqueue(const Requisite& r, bool page, int depth) {
    if (seen_.contains(r.url)) return;
    seen_.insert(r.url);
    if (out_.files.size() > o_.maxRequests) {  // the page's own request is not one of them
      ++out_.notFetched;
      return;
    }
    LoadedFile f;
    f.url = r.url;
    f.page = page;
    f.kind = r.kind;
    f.destination = r.destination;
    f.depth = depth;
    f.start = now();
    auto t = std::make_unique<Transfer>();
    t->index = out_.files.size();
    t->keep = page || r.destination == "style";
    t->limit = o_.maxParsedBody;
    out_.files << f;
    t->easy = curl_easy_init();
    if (!t->easy || !configure(*t, page) || curl_multi_add_handle(multi_, t->easy) != CURLM_OK) {
      out_.files[t->index].error = err::kNoMoreHandles;
      out_.files[t->index].end = now();
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
    if (!o_.caFile.isEmpty()) set(CURLOPT_CAINFO, o_.caFile.constData());
    return rc == CURLE_OK;
  }

  void drive() {
    std::int64_t lastPump = now();
    while (!active_.empty()) {
      int running = 0;
      curl_multi_perform(multi_, &running);
      int left = 0;
      while (CURLMsg* msg = curl_multi_info_read(multi_, &left))
        if (msg->msg == CURLMSG_DONE) done(msg->easy_handle, msg->data.result);
      if (active_.empty()) break;
      curl_multi_poll(multi_, nullptr, 0, 50, nullptr);
      if (o_.pump && now() - lastPump >= kPumpInterval) {
        lastPump = now();
        if (!o_.pump()) return cancel();
      }
    }
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
  }

  void done(CURL* easy, CURLcode result) {
    const auto it = active_.find(easy);
    if (it == active_.end()) return;
    std::unique_ptr<Transfer> t = std::move(it->second);
    active_.erase(it);
    curl_multi_remove_handle(multi_, easy);
    LoadedFile& f = out_.files[t->index];
    f.end = now();
    record(*t, f, result);
    const char* effective = nullptr;
    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective);
    const std::optional<WebUrl> at =
        ParsePageUrl(QString::fromLatin1(effective ? effective : f.url.constData()));
    if (f.failed() || !t->keep || !at) return;
    const LoadedFile copy = f;  // enqueue() grows the list
    if (copy.page)
      discoverPage(t->body, *at, copy.depth);
    else
      discoverStylesheet(t->body, *at, copy.depth);
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
    curl_off_t dns = 0, connect = 0, tls = 0, pre = 0, first = 0, total = 0, size = 0;
    curl_easy_getinfo(t.easy, CURLINFO_NAMELOOKUP_TIME_T, &dns);
    curl_easy_getinfo(t.easy, CURLINFO_CONNECT_TIME_T, &connect);
    curl_easy_getinfo(t.easy, CURLINFO_APPCONNECT_TIME_T, &tls);
    curl_easy_getinfo(t.easy, CURLINFO_PRETRANSFER_TIME_T, &pre);
    curl_easy_getinfo(t.easy, CURLINFO_STARTTRANSFER_TIME_T, &first);
    curl_easy_getinfo(t.easy, CURLINFO_TOTAL_TIME_T, &total);
    curl_easy_getinfo(t.easy, CURLINFO_SIZE_DOWNLOAD_T, &size);
    f.dns = dns;
    f.connect = connect > dns ? connect - dns : 0;
    f.tls = tls > connect ? tls - connect : 0;
    f.wait = first > pre ? first - pre : 0;
    f.receive = total > first && first > 0 ? total - first : 0;
    f.wireBytes = size;
    f.decodedBytes = t.decoded;
    if (f.page && f.depth == 0 && first > 0) out_.firstByte = f.start + first;
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
        enqueue(r, false, depth);
      }
    }
  }

  void discoverStylesheet(const QByteArray& css, const WebUrl& at, int depth) {
    QList<Requisite> files = ReadStylesheetRequisites(css, at, o_.viewport);
    std::stable_sort(files.begin(), files.end(),
                     [](const Requisite& a, const Requisite& b) { return rank(a) < rank(b); });
    for (const Requisite& r : files) {
      if (r.kind == RequisiteKind::Stylesheet) {
        if (depth < o_.maxDepth) enqueue(r, false, depth + 1);
      } else {
        enqueue(r, false, depth);
      }
    }
  }

  void finish() {
    for (const LoadedFile& f : out_.files) {
      out_.loadTime = std::max(out_.loadTime, f.end);
      if (f.failed()) ++out_.failures;
    }
  }
};

}  // namespace

BrowserLoad LoadLikeABrowser(const QString& pageUrl, const BrowserLoadOptions& options) {
  return Loader(options).run(pageUrl);
}

}  // namespace quorvel
