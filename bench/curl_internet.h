// The Internet access layer over libcurl.
//
// One session is one easy handle driven by one multi handle, so connections (and names) are
// reused from one request to the next, as a browser would. Requests bypass every cache
// ("Cache-Control: no-cache", "Pragma: no-cache") and ask for no compression, so the bytes
// counted are the bytes the server sent. Redirects are followed (at most 10), only to http and
// https (a listed URL may still name ftp). An HTTP error status is no failure of the session: its
// page is read like any other (the run counts it as failed, HttpStatusError); only a transport
// failure gives an error number
// (curl_errors.h), and an answer that is not HTTP at all gives 12152.
//
// While a request waits the session calls the event pump (InternetSession::setEventPump) every
// `pumpInterval`, so the window stays alive and sees a Cancel click; a request that ends sooner
// never calls it. When the pump says so the request is abandoned with 12017 (Cancel).
#pragma once

#include <curl/curl.h>

#include <QByteArray>
#include <chrono>
#include <cstdint>
#include <string_view>
#include <vector>

#include "bench/internet.h"

namespace quorvel {

struct CurlInternetOptions {
  // Longest wait for a connection (name resolution included).
  std::chrono::milliseconds connectTimeout{30000};
  // A request that receives nothing for this long ends with 12002.
  std::chrono::milliseconds idleTimeout{60000};
  // Longest time for a whole request, opening and reading; 0 for no limit. A request that
  // reaches it ends with 12002 (a server that trickles, an endless resource).
  std::chrono::milliseconds transferLimit{0};
  // Largest body kept in memory; a page beyond it (a hostile endless page) ends with 12004
  // and what was read so far. Bodies that are only counted have no limit.
  qsizetype maxBodyInMemory = qsizetype(1) << 30;
  // Keep the request's and the answer's header lines for LastRequestDetails (reports only).
  bool recordHeaders = false;
  // Time between two calls of the event pump while a request waits.
  std::chrono::milliseconds pumpInterval{50};
  // A file of the certificate authorities to trust for https instead of the system's; empty
  // for the system's. For tests, whose servers carry certificates of their own test authority.
  QByteArray caFile;
};

class CurlInternet final : public InternetSession {
 public:
  explicit CurlInternet(CurlInternetOptions options = {});
  ~CurlInternet() override;
  CurlInternet(const CurlInternet&) = delete;
  CurlInternet& operator=(const CurlInternet&) = delete;

  // Never a proxy for loopback addresses. With an empty proxy the environment's proxy settings
  // (http_proxy, no_proxy, ...) apply.
  int OpenInternet(const QString& agent, const QString& proxy) override;
  // Returns once the response headers are in (or the request failed).
  int OpenURL(const QString& url) override;
  int ReadURL(QByteArray* body, std::int64_t& bytes) override;
  std::int64_t BytesSoFar() const override { return bytes_; }
  void CloseInternet() override;
  // Read from libcurl's figures of the last transfer when asked.
  RequestDetails LastRequestDetails() const override;

 private:
  enum class Phase { Idle, Opening, Reading };

  static size_t onHeader(char* data, size_t size, size_t count, void* self);
  static size_t onBody(char* data, size_t size, size_t count, void* self);
  static int onDebug(CURL* handle, curl_infotype type, char* data, size_t size, void* self);

  // Drives the transfer until `enough` says so or it ends; false when it ended.
  template <typename Enough>
  bool drive(Enough enough);
  void endTransfer();  // takes the handle out of the multi handle (aborts an unfinished one)
  void releaseHandles();
  int failureError() const;
  void statusLine(std::string_view line);
  void hopEnded();

  CurlInternetOptions options_;
  CURL* easy_ = nullptr;
  CURLM* multi_ = nullptr;
  curl_slist* headers_ = nullptr;
  QByteArray userAgent_, proxy_, noProxy_;
  char errorBuffer_[CURL_ERROR_SIZE] = {};

  // The request under way.
  Phase phase_ = Phase::Idle;
  bool attached_ = false;  // the easy handle is in the multi handle
  bool finished_ = false;  // libcurl reported the end of the transfer
  CURLcode result_ = CURLE_OK;
  int error_ = 0;  // our own verdict (idle time-out, body not fitting in memory)
  bool headersDone_ = false;
  bool redirectPending_ = false;  // the current header block is a redirect that will be followed
  std::int64_t bytes_ = 0;
  bool paused_ = false;  // the body's first data arrived during the open and waits
  QByteArray spare_;     // the buffer of the last large body, shared with its reader
  QByteArray* sink_ = nullptr;
  bool requested_ = false;  // a request was made since the session opened
  QList<QPair<QByteArray, QByteArray>> requestHeaders_, responseHeaders_;
  QString statusText_;  // of the last status line
  // With recorded headers: every request sent for this URL, the redirects and the last one.
  std::vector<RedirectHop> exchanges_;
  size_t followed_ = 0;  // how many of them were redirects that were followed
  std::chrono::steady_clock::time_point hopStart_;
  std::chrono::steady_clock::time_point lastActivity_;
};

}  // namespace quorvel
