// FtpClient over libcurl: one easy handle per connection, passive mode, binary transfers.
//
// Connect logs in with a first request on the server's root that transfers nothing; Fetch
// then retrieves the file on the same handle, which reuses that logged-in control connection,
// so a Fetch covers the retrieval only. No proxy is used (the environment's ftp_proxy is
// ignored), and only ftp:// is spoken.
//
// How libcurl's results become FTP error numbers (one table, in FtpErrorNumber):
//
//   libcurl result                                   FTP error number
//   -----------------------------------------------  --------------------------------------
//   CURLE_OK                                         0
//   COULDNT_RESOLVE_HOST, COULDNT_RESOLVE_PROXY      12007 server name not resolved
//   COULDNT_CONNECT                                  12029 cannot connect to the server
//   OPERATION_TIMEDOUT, FTP_ACCEPT_TIMEOUT           12002 time-out (connect, a reply or data)
//   LOGIN_DENIED after USER                          12013 user name refused
//   LOGIN_DENIED after PASS                          12014 password refused
//   LOGIN_DENIED otherwise, USE_SSL_FAILED           12015 log-in failed
//   a server reply refusing the request:             12003 extended error from the server
//     REMOTE_FILE_NOT_FOUND (550), REMOTE_ACCESS_DENIED, FTP_COULDNT_RETR_FILE,
//     FTP_WEIRD_SERVER_REPLY, FTP_WEIRD_PASV_REPLY, FTP_WEIRD_227_FORMAT, FTP_CANT_GET_HOST,
//     FTP_COULDNT_SET_TYPE, FTP_PORT_FAILED, FTP_COULDNT_USE_REST, FTP_PRET_FAILED,
//     FTP_ACCEPT_FAILED, QUOTE_ERROR, RANGE_ERROR, BAD_DOWNLOAD_RESUME, FILESIZE_EXCEEDED,
//     and a remote path that names a directory (checked before asking)
//   GOT_NOTHING, PARTIAL_FILE, RECV_ERROR, SEND_ERROR 12030 connection closed
//   RECV_ERROR, SEND_ERROR with ECONNRESET           12031 connection reset
//   URL_MALFORMAT (bad server text, port, or a       12005 invalid address
//     control character in the path)
//   UNSUPPORTED_PROTOCOL                             12006 scheme not supported
//   ABORTED_BY_CALLBACK                              12017 operation cancelled
//   the easy handle cannot be created                12001 no more handles
//   anything else                                    12004 internal error
//   the local file cannot be created                 5  (access denied)
//   the local file cannot be written                 112 (disk full) / 29 (write fault)
#pragma once

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

// The table above. curlCode is a CURLcode; lastCommand the last command sent on the control
// connection ("USER", "PASS", ...); osErrno the errno of the failing socket call, if any.
int FtpErrorNumber(int curlCode, const QByteArray& lastCommand, long osErrno);

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
  static int onDebug(void* handle, int type, char* data, size_t size, void* self);
  static int onProgress(void* self, long long, long long, long long, long long);
  static size_t onWrite(char* data, size_t size, size_t count, void* self);

  FtpTimeouts timeouts_;
  void* curl_ = nullptr;    // CURL*
  QByteArray rootUrl_;      // "ftp://host:port/"
  QByteArray lastCommand_;  // last command sent on the control connection
  QFile* out_ = nullptr;    // the local file while Fetch writes it
  int writeError_ = 0;      // set when the local file could not be written
};

}  // namespace quorvel
