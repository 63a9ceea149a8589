#include "bench/curl_internet.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <new>
#include <string_view>

#include "core/curl_errors.h"
#include "core/error_numbers.h"
#include "bench/internet_url.h"

namespace quorvel {

namespace {

using Clock = std::chrono::steady_clock;

// Loopback is always reached directly, never through a proxy.
constexpr char kLoopback[] = "localhost,loopback,127.0.0.0/8,::1";

// What a listed URL may name; a web server's redirect leads to the web only (never to an FTP
// host and port that the redirect would choose).
constexpr char kProtocols[] = "http,https,ftp";
constexpr char kRedirectProtocols[] = "http,https";

bool startsWith(const char* text, std::string_view prefix) {
  return std::string_view(text).substr(0, prefix.size()) == prefix;
}

constexpr long kMaxRedirects = 10;

// Bytes taken from the connection at once; as large as the curl tool's own.
constexpr long kReceiveBuffer = 100 * 1024;

// A body announced larger than this is not reserved for in advance, only grown as it comes.
constexpr qsizetype kMaxReserve = qsizetype(256) * 1024 * 1024;

// A large body is written into fresh memory page by page; asking for huge pages there saves
// most of the page faults (which cost more than the copying on some virtual machines).
void adviseLargeBuffer(QByteArray& buffer) {
  constexpr std::uintptr_t kHugePage = 2 * 1024 * 1024;
  if (buffer.capacity() < qsizetype(4 * kHugePage)) return;
  const auto begin = reinterpret_cast<std::uintptr_t>(buffer.data());
  const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = (begin + std::uintptr_t(buffer.capacity())) & ~(kHugePage - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

// Bodies whose buffer is kept for the next one: large enough for the page faults of fresh
// memory to matter, small enough to hold on to.
constexpr qsizetype kMinSpare = qsizetype(4) * 1024 * 1024;
constexpr qsizetype kMaxSpare = qsizetype(128) * 1024 * 1024;

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

QByteArray noProxyList(bool explicitProxy) {
  QByteArray list(kLoopback);
  if (explicitProxy) return list;
  // The environment's exceptions still hold for the environment's proxy.
  QByteArray env = qgetenv("no_proxy");
  if (env.isEmpty()) env = qgetenv("NO_PROXY");
  env = env.trimmed();
  if (env == "*") return env;
  if (!env.isEmpty()) list += ',' + env;
  return list;
}

}  // namespace

CurlInternet::CurlInternet(CurlInternetOptions options) : options_(options) {
  pump_.setInterval(
      std::chrono::duration_cast<std::chrono::microseconds>(options_.pumpInterval).count());
}

CurlInternet::~CurlInternet() {
  CloseInternet();
}

int CurlInternet::OpenInternet(const QString& agent, const QString& proxy) {
  CloseInternet();
  if (!CurlGlobalInit()) return err::kInternalError;
  easy_ = curl_easy_init();
  multi_ = curl_multi_init();
  headers_ = curl_slist_append(nullptr, "Cache-Control: no-cache");
  curl_slist* more = headers_ ? curl_slist_append(headers_, "Pragma: no-cache") : nullptr;
  if (!easy_ || !multi_ || !more) {
    releaseHandles();
    return err::kNoMoreHandles;
  }
  userAgent_ = agent.toUtf8();
  proxy_ = proxy.trimmed().toUtf8();
  noProxy_ = noProxyList(!proxy_.isEmpty());

  CURLcode rc = CURLE_OK;
  auto set = [&](CURLoption option, auto value) {
    if (rc == CURLE_OK) rc = curl_easy_setopt(easy_, option, value);
  };
  set(CURLOPT_USERAGENT, userAgent_.constData());
  set(CURLOPT_HTTPHEADER, headers_);
  set(CURLOPT_FOLLOWLOCATION, 1L);
  set(CURLOPT_MAXREDIRS, kMaxRedirects);
  set(CURLOPT_PROTOCOLS_STR, kProtocols);
  set(CURLOPT_REDIR_PROTOCOLS_STR, kRedirectProtocols);
  set(CURLOPT_CONNECTTIMEOUT_MS, long(options_.connectTimeout.count()));
  set(CURLOPT_TIMEOUT_MS, long(options_.transferLimit.count()));
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_BUFFERSIZE, kReceiveBuffer);
  set(CURLOPT_ERRORBUFFER, errorBuffer_);
  set(CURLOPT_WRITEFUNCTION, &CurlInternet::onBody);
  set(CURLOPT_WRITEDATA, static_cast<void*>(this));
  set(CURLOPT_HEADERFUNCTION, &CurlInternet::onHeader);
  set(CURLOPT_HEADERDATA, static_cast<void*>(this));
  if (!options_.caFile.isEmpty()) set(CURLOPT_CAINFO, options_.caFile.constData());
  if (options_.recordHeaders) {
    set(CURLOPT_DEBUGFUNCTION, &CurlInternet::onDebug);
    set(CURLOPT_DEBUGDATA, static_cast<void*>(this));
    set(CURLOPT_VERBOSE, 1L);
  }
  if (!proxy_.isEmpty()) set(CURLOPT_PROXY, proxy_.constData());
  set(CURLOPT_NOPROXY, noProxy_.constData());
  if (rc != CURLE_OK) {
    releaseHandles();
    return err::kInternalError;
  }
  return 0;
}

void CurlInternet::CloseInternet() {
  releaseHandles();
}

void CurlInternet::releaseHandles() {
  endTransfer();
  phase_ = Phase::Idle;
  spare_ = QByteArray();
  if (multi_) curl_multi_cleanup(multi_);
  if (easy_) curl_easy_cleanup(easy_);
  if (headers_) curl_slist_free_all(headers_);
  multi_ = nullptr;
  easy_ = nullptr;
  headers_ = nullptr;
}

void CurlInternet::endTransfer() {
  if (attached_) curl_multi_remove_handle(multi_, easy_);
  attached_ = false;
}

// One header line as a name and a value; the status line is not one.
QPair<QByteArray, QByteArray> headerField(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return {};
  return {QByteArray(line.data(), qsizetype(colon)).trimmed(),
          QByteArray(line.data() + colon + 1, qsizetype(line.size() - colon - 1)).trimmed()};
}

int CurlInternet::onDebug(CURL*, curl_infotype type, char* data, size_t size, void* self) {
  if (type != CURLINFO_HEADER_OUT) return 0;
  auto* s = static_cast<CurlInternet*>(self);
  s->requestHeaders_.clear();  // the last request sent (after a redirect, the one that answered)
  const QByteArray block(data, qsizetype(size));
  for (const QByteArray& line : block.split('\n')) {
    const auto field = headerField(std::string_view(line.constData(), size_t(line.size())));
    if (!field.first.isEmpty()) s->requestHeaders_.append(field);
  }
  // A new exchange, unless the last request got no answer and is sent again.
  if (s->exchanges_.empty() || s->exchanges_.back().status != 0) s->exchanges_.emplace_back();
  RedirectHop& hop = s->exchanges_.back();
  const char* url = nullptr;
  if (curl_easy_getinfo(s->easy_, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url)
    hop.url = QString::fromUtf8(url);
  hop.requestHeaders = s->requestHeaders_;
  return 0;
}

size_t CurlInternet::onHeader(char* data, size_t size, size_t count, void* self) {
  auto* s = static_cast<CurlInternet*>(self);
  const size_t len = size * count;
  s->lastActivity_ = Clock::now();
  const std::string_view line(data, len);
  if (s->options_.recordHeaders) {
    if (startsWithNoCase(line, "http/")) s->responseHeaders_.clear();
    const auto field = headerField(line);
    if (!field.first.isEmpty()) s->responseHeaders_.append(field);
  }
  if (startsWithNoCase(line, "http/")) {
    s->redirectPending_ = false;  // a new response begins
    s->statusLine(line);
  } else if (startsWithNoCase(line, "location:")) {
    long code = 0;
    curl_easy_getinfo(s->easy_, CURLINFO_RESPONSE_CODE, &code);
    if (code >= 300 && code < 400 && code != 304) s->redirectPending_ = true;
    if (!s->exchanges_.empty())
      s->exchanges_.back().location = QString::fromUtf8(headerField(line).second);
  } else if (line == "\r\n" || line == "\n") {
    // The end of a header block: the final one unless it is an interim (1xx) reply, a
    // proxy's answer to CONNECT (no response code yet) or a redirect to follow.
    long code = 0;
    curl_easy_getinfo(s->easy_, CURLINFO_RESPONSE_CODE, &code);
    if (code >= 200 && !s->redirectPending_) s->headersDone_ = true;
    if (s->redirectPending_ && !s->exchanges_.empty()) s->hopEnded();
  }
  return len;
}

// "HTTP/1.1 302 Found": the version, the code and the reason phrase as sent.
void CurlInternet::statusLine(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  const QString text = QString::fromUtf8(line.data(), qsizetype(line.size()));
  const QStringList parts = text.split(QLatin1Char(' '));
  statusText_ = parts.mid(2).join(QLatin1Char(' ')).trimmed();
  if (!options_.recordHeaders || exchanges_.empty()) return;
  RedirectHop& hop = exchanges_.back();
  hop.httpVersion = parts.value(0);
  hop.status = parts.value(1).toInt();
  hop.statusText = statusText_;
}

// The head of an answer that a redirect follows is in: that hop is over.
void CurlInternet::hopEnded() {
  RedirectHop& hop = exchanges_.back();
  hop.responseHeaders = responseHeaders_;
  followed_ = exchanges_.size();
  const auto now = Clock::now();
  hop.micros = std::chrono::duration_cast<std::chrono::microseconds>(now - hopStart_).count();
  hopStart_ = now;
}

size_t CurlInternet::onBody(char* data, size_t size, size_t count, void* self) {
  auto* s = static_cast<CurlInternet*>(self);
  const size_t len = size * count;
  s->lastActivity_ = Clock::now();
  if (s->phase_ != Phase::Reading) {
    // The first data of the body ends the open. The library holds it (and the connection
    // waits) until the read resumes the transfer and takes it.
    s->paused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  QByteArray* target = s->sink_;
  if (target) {
    const qsizetype limit = s->options_.maxBodyInMemory;
    const qsizetype room = limit - target->size();
    const qsizetype take = std::min<qsizetype>(qsizetype(len), std::max<qsizetype>(room, 0));
    try {
      // Grown by hand, doubling, but never past the limit (alone it would grow beyond it).
      const qsizetype needed = target->size() + take;
      if (needed > target->capacity())
        target->reserve(std::min(limit, std::max(needed, 2 * target->capacity())));
      target->append(data, take);
    } catch (const std::bad_alloc&) {
      s->error_ = err::kInternalError;  // the body does not fit in memory
      return 0;                         // ends the transfer
    }
    s->bytes_ += std::int64_t(take);
    if (take < qsizetype(len)) {
      s->error_ = err::kInternalError;  // beyond what a page may hold
      return 0;
    }
    return len;
  }
  s->bytes_ += std::int64_t(len);
  return len;
}

template <typename Enough>
bool CurlInternet::drive(Enough enough) {
  for (;;) {
    int running = 0;
    if (curl_multi_perform(multi_, &running) != CURLM_OK) {
      error_ = err::kInternalError;
      return false;
    }
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi_, &queued)) {
      if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy_) {
        finished_ = true;
        result_ = msg->data.result;
      }
    }
    if (finished_ || error_ != 0) return false;
    if (enough()) return true;

    const auto idleLeft = std::chrono::duration_cast<std::chrono::milliseconds>(
        options_.idleTimeout - (Clock::now() - lastActivity_));
    if (idleLeft.count() <= 0) {
      error_ = err::kTimedOut;  // the server has stopped sending
      return false;
    }
    const bool goOn = pump_.pumpIfDue();
    if (!multi_ || !goOn) {  // cancelled, or the session was closed from inside the event pump
      error_ = err::kCancelled;
      return false;
    }
    const long long untilPump = (pump_.microsUntilDue() + 999) / 1000;
    const auto wait =
        std::clamp<long long>(std::min<long long>(untilPump, idleLeft.count()), 1, 1000);
    curl_multi_poll(multi_, nullptr, 0, int(wait), nullptr);
  }
}

// The error number of a transfer that libcurl ended with result_. A server that answered
// with something that is not HTTP gets the number the platform gives such an answer, not the
// numbers of an unknown scheme, of memory running out or of a closed connection that libcurl
// reports for it.
int CurlInternet::failureError() const {
  long osError = 0;
  curl_easy_getinfo(easy_, CURLINFO_OS_ERRNO, &osError);
  long responseCode = 0;
  curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &responseCode);
  const char* ip = nullptr;
  curl_easy_getinfo(easy_, CURLINFO_PRIMARY_IP, &ip);
  const bool connected = ip && *ip;
  switch (result_) {
    case CURLE_UNSUPPORTED_PROTOCOL:  // HTTP/0.9, or a status line that is not one
      if (connected && !redirectPending_) return err::kInvalidServerResponse;
      break;
    case CURLE_WEIRD_SERVER_REPLY:
      if (connected) return err::kInvalidServerResponse;
      break;
    case CURLE_OUT_OF_MEMORY:  // a header line longer than libcurl takes
      if (responseCode != 0) return err::kInvalidServerResponse;
      break;
    case CURLE_RECV_ERROR:
      if (startsWith(errorBuffer_, "Too large response headers"))
        return err::kInvalidServerResponse;
      break;
    default:
      break;
  }
  return InternetErrorFromCurl(result_, osError);
}

RequestDetails CurlInternet::LastRequestDetails() const {
  RequestDetails d;
  if (!easy_ || !requested_) return d;
  d.known = true;
  curl_off_t lookup = 0, connect = 0, tls = 0, pretransfer = 0, first = 0, total = 0, redirect = 0;
  curl_easy_getinfo(easy_, CURLINFO_NAMELOOKUP_TIME_T, &lookup);
  curl_easy_getinfo(easy_, CURLINFO_CONNECT_TIME_T, &connect);
  curl_easy_getinfo(easy_, CURLINFO_APPCONNECT_TIME_T, &tls);
  curl_easy_getinfo(easy_, CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
  curl_easy_getinfo(easy_, CURLINFO_STARTTRANSFER_TIME_T, &first);
  curl_easy_getinfo(easy_, CURLINFO_TOTAL_TIME_T, &total);
  curl_easy_getinfo(easy_, CURLINFO_REDIRECT_TIME_T, &redirect);
  // libcurl's times run from the start of the last transfer (after the redirects); each phase
  // is the difference of two of them. A phase that did not happen is -1.
  const auto phase = [](curl_off_t from, curl_off_t to) -> std::int64_t {
    return to > 0 && to >= from ? std::int64_t(to - from) : -1;
  };
  d.dnsMicros = lookup > 0 ? std::int64_t(lookup) : -1;
  const curl_off_t connected = tls > 0 ? tls : connect;
  d.connectMicros = phase(lookup, connect);  // TCP alone: the TLS handshake is a phase of its own
  d.tlsMicros = tls > 0 ? phase(connect, tls) : -1;
  d.sendMicros = phase(connected, pretransfer);
  d.waitMicros = phase(pretransfer, first);
  d.receiveMicros = phase(first, total);
  d.redirectMicros = std::int64_t(redirect);

  long code = 0, version = 0, port = 0, redirects = 0, requestSize = 0, headerSize = 0;
  curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &code);
  curl_easy_getinfo(easy_, CURLINFO_HTTP_VERSION, &version);
  curl_easy_getinfo(easy_, CURLINFO_PRIMARY_PORT, &port);
  curl_easy_getinfo(easy_, CURLINFO_REDIRECT_COUNT, &redirects);
  curl_easy_getinfo(easy_, CURLINFO_REQUEST_SIZE, &requestSize);
  curl_easy_getinfo(easy_, CURLINFO_HEADER_SIZE, &headerSize);
  d.status = int(code);
  d.redirects = int(redirects);
  d.remotePort = int(port);
  switch (version) {
    case CURL_HTTP_VERSION_1_0:
      d.httpVersion = QStringLiteral("HTTP/1.0");
      break;
    case CURL_HTTP_VERSION_1_1:
      d.httpVersion = QStringLiteral("HTTP/1.1");
      break;
    case CURL_HTTP_VERSION_2_0:
      d.httpVersion = QStringLiteral("HTTP/2");
      break;
    case CURL_HTTP_VERSION_3:
      d.httpVersion = QStringLiteral("HTTP/3");
      break;
    default:
      break;
  }
  const char* text = nullptr;
  if (curl_easy_getinfo(easy_, CURLINFO_PRIMARY_IP, &text) == CURLE_OK && text)
    d.remoteAddress = QString::fromLatin1(text);
  text = nullptr;
  if (curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &text) == CURLE_OK && text)
    d.effectiveUrl = QString::fromLatin1(text);
  text = nullptr;
  if (curl_easy_getinfo(easy_, CURLINFO_CONTENT_TYPE, &text) == CURLE_OK && text)
    d.contentType = QString::fromLatin1(text);
  if (d.effectiveUrl.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive))
    d.httpVersion.clear();
  d.requestHeaderBytes = requestSize > 0 ? requestSize : -1;
  d.responseHeaderBytes = headerSize > 0 ? headerSize : -1;
  d.requestHeaders = requestHeaders_;
  d.responseHeaders = responseHeaders_;
  d.statusText = code != 0 ? statusText_ : QString();
  d.hops.assign(exchanges_.begin(), exchanges_.begin() + qsizetype(followed_));
  return d;
}

int CurlInternet::OpenURL(const QString& url) {
  if (!easy_) return err::kIncorrectHandleState;  // no session is open
  endTransfer();
  phase_ = Phase::Opening;
  finished_ = false;
  result_ = CURLE_OK;
  error_ = 0;
  headersDone_ = false;
  redirectPending_ = false;
  bytes_ = 0;
  paused_ = false;
  sink_ = nullptr;
  errorBuffer_[0] = '\0';
  requested_ = true;
  requestHeaders_.clear();
  responseHeaders_.clear();
  statusText_.clear();
  exchanges_.clear();
  followed_ = 0;
  hopStart_ = Clock::now();

  const QByteArray request = RequestURL(CompleteURL(url));
  int error = 0;
  if (curl_easy_setopt(easy_, CURLOPT_URL, request.constData()) != CURLE_OK) {
    error = err::kInternalError;
  } else if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) {
    error = err::kInternalError;
  } else {
    attached_ = true;
    lastActivity_ = Clock::now();
    pump_.restart();
    drive([this] { return headersDone_ || paused_; });
    // Once the headers are in, the open has succeeded; a failure after them (a body cut short
    // in the same packet) is the read's, which returns what came before it.
    if (headersDone_ || paused_) {
      error = 0;
    } else if (error_ != 0) {
      error = error_;
    } else if (finished_ && result_ != CURLE_OK) {
      error = failureError();
    }
  }
  if (error != 0) {
    endTransfer();
    phase_ = Phase::Idle;
  }
  return error;
}

int CurlInternet::ReadURL(QByteArray* body, std::int64_t& bytes) {
  bytes = 0;
  if (body) body->resize(0);  // keeps the caller's buffer when it is not shared
  if (phase_ != Phase::Opening || !attached_) return err::kIncorrectHandleState;  // no URL is open

  if (body) {
    curl_off_t announced = -1;
    curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    // A page announced beyond what memory may hold is refused before any of it is read.
    if (announced > curl_off_t(options_.maxBodyInMemory)) {
      endTransfer();
      phase_ = Phase::Idle;
      return err::kInternalError;
    }
    // The buffer of an earlier large body that its reader has let go of serves again when it
    // fits this one (a run fetches the same pages again and again).
    if (announced >= kMinSpare && spare_.isDetached() && spare_.capacity() >= announced &&
        spare_.capacity() <= 2 * announced) {
      *body = std::move(spare_);
      spare_ = QByteArray();
      body->resize(0);
    }
    if (announced > 0 && announced > body->capacity()) {
      try {
        body->reserve(std::min<qsizetype>(qsizetype(announced), kMaxReserve));
        adviseLargeBuffer(*body);
      } catch (const std::bad_alloc&) {
        // An announced length is only a hint (and may be false): grow as the body comes.
      }
    }
  }
  sink_ = body;
  phase_ = Phase::Reading;
  lastActivity_ = Clock::now();  // the time between the open and the read is not the server's
  pump_.restart();
  if (paused_) {
    // Hands over the data held since the open (through onBody) and goes on.
    paused_ = false;
    const CURLcode rc = curl_easy_pause(easy_, CURLPAUSE_CONT);
    if (rc != CURLE_OK && error_ == 0) {
      finished_ = true;
      result_ = rc;
    }
  }

  if (!finished_ && error_ == 0) drive([] { return false; });
  int error = error_;
  if (error == 0 && result_ != CURLE_OK) error = failureError();
  bytes = bytes_;
  if (body && body->capacity() >= kMinSpare && body->capacity() <= kMaxSpare) spare_ = *body;
  endTransfer();
  phase_ = Phase::Idle;
  sink_ = nullptr;
  return error;
}

}  // namespace quorvel
