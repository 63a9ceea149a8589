// FtpClient over libcurl: one easy handle per connection, passive mode, binary transfers.
//
// Connect logs in with a first request on the server's root that transfers nothing; Fetch
// then retrieves the file on the same handle, which reuses that logged-in control connection,
// so a Fetch covers the retrieval only. No proxy is used (the environment's ftp_proxy is
// ignored), and only ftp:// is spoken.
//
// libcurl's results become error numbers through the program's one table
// (bench/curl_errors.h, FtpErrorFromCurl): a refused log-in is 12013 after USER, 12014 after
// PASS, 12015 otherwise; a server reply refusing the file is 12003; a remote path that names a
// directory is refused before asking (12003). The local file adds its own: 5 when it cannot
// be created, 112 when the disk is full, 29 for another write fault.
#pragma once

#include <curl/curl.h>

#include <QByteArray>
#include <QFile>
#include <chrono>

#include "tools/ftp_client.h"

namespace quorvel {

// Time limits of a connection. connectSeconds bounds the connection and the log-in;
// idleSeconds is how long the server may stay silent (no reply, no data) before a request
// ends with 12002; transferLimit is the longest a log-in or a transfer may take in all
// (0 for no limit), for a server that trickles its data or never ends a file.
struct FtpTimeouts {
  int connectSeconds = 30;
  int idleSeconds = 60;
  std::chrono::milliseconds transferLimit{0};
};

class CurlFtpClient final : public FtpClient {
 public:
  explicit CurlFtpClient(FtpTimeouts timeouts = {});
  ~CurlFtpClient() override;
  CurlFtpClient(const CurlFtpClient&) = delete;
  CurlFtpClient& operator=(const CurlFtpClient&) = delete;

  int Connect(const QString& server, const QString& user, const QString& password) override;
  int Fetch(const QString& remoteFile, const QString& localFile) override;
  void Close() override;

 private:
  int perform();
  static int onDebug(CURL* handle, curl_infotype type, char* data, size_t size, void* self);
  static int onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
  static size_t onWrite(char* data, size_t size, size_t count, void* self);

  FtpTimeouts timeouts_;
  CURL* curl_ = nullptr;
  QByteArray rootUrl_;          // "ftp://host:port/"
  QByteArray user_, password_;  // kept for libcurl, which reads them at every request
  QByteArray lastCommand_;      // last command sent on the control connection
  QFile* out_ = nullptr;        // the local file while Fetch writes it
  int writeError_ = 0;          // set when the local file could not be written
};

}  // namespace quorvel
