#include "core/curl_errors.h"

#include <cerrno>
#include <mutex>

#include "core/error_numbers.h"

namespace quorvel {

namespace {

// The one table from libcurl's results to our error numbers. The numbers are chosen so that
// their sentences (InternetErrorText) say what a user would say about the failure:
//
//   12007 "The server name could not be resolved."       name of the server or proxy unknown
//   12029 "The attempt to connect to the server failed." refused, unreachable, no route, and a
//                                                        TLS handshake or certificate that fails
//                                                        (the secure connection never came up)
//   12002 "The request has timed out."                   connect time-out, nothing received for
//                                                        the idle limit, the overall limit
//   12030 "The connection ... has been terminated."      the server closed the connection: no
//                                                        reply at all, a body cut short, a
//                                                        receive or send error on a closed line
//   12031 "The connection ... has been reset."           a receive or send error with ECONNRESET
//   12005 "The URL is invalid."                          malformed URL (bad port, bad syntax)
//   12006 "The URL scheme could not be recognized..."    a scheme other than http, https, ftp,
//                                                        for a listed URL or a redirect target
//   12003 "An extended error was returned from the server."
//                                                        the server's replies make the request
//                                                        fail: a redirect loop (more than 10
//                                                        redirects), an FTP server's refusal
//                                                        (file not found, access denied, ...)
//   12015 "The request to connect to and login to an FTP server failed."  login refused (the
//                                                        FTP test tells 12013 and 12014 apart)
//   12017 "The operation was canceled..."                aborted from a callback (Cancel)
//   12001 "No more handles could be generated..."        out of memory in the library
//   12004 "An internal error has occurred."              anything else
struct Mapping {
  CURLcode code;
  int error;
};

constexpr Mapping kMappings[] = {
    {CURLE_COULDNT_RESOLVE_HOST, err::kNameNotResolved},
    {CURLE_COULDNT_RESOLVE_PROXY, err::kNameNotResolved},
    {CURLE_COULDNT_CONNECT, err::kCannotConnect},
    {CURLE_INTERFACE_FAILED, err::kCannotConnect},
    {CURLE_SSL_CONNECT_ERROR, err::kCannotConnect},
    {CURLE_PEER_FAILED_VERIFICATION, err::kCannotConnect},
    {CURLE_SSL_CERTPROBLEM, err::kCannotConnect},
    {CURLE_SSL_CIPHER, err::kCannotConnect},
    {CURLE_SSL_CACERT_BADFILE, err::kCannotConnect},
    {CURLE_SSL_ISSUER_ERROR, err::kCannotConnect},
    {CURLE_SSL_PINNEDPUBKEYNOTMATCH, err::kCannotConnect},
    {CURLE_SSL_INVALIDCERTSTATUS, err::kCannotConnect},
    {CURLE_SSL_CRL_BADFILE, err::kCannotConnect},
    {CURLE_SSL_ENGINE_NOTFOUND, err::kCannotConnect},
    {CURLE_SSL_ENGINE_SETFAILED, err::kCannotConnect},
    {CURLE_SSL_ENGINE_INITFAILED, err::kCannotConnect},
    {CURLE_USE_SSL_FAILED, err::kCannotConnect},
    {CURLE_PROXY, err::kCannotConnect},
    {CURLE_OPERATION_TIMEDOUT, err::kTimedOut},
    {CURLE_FTP_ACCEPT_TIMEOUT, err::kTimedOut},
    {CURLE_GOT_NOTHING, err::kConnectionClosed},
    {CURLE_PARTIAL_FILE, err::kConnectionClosed},
    {CURLE_RECV_ERROR, err::kConnectionClosed},  // ECONNRESET: 12031 (below)
    {CURLE_SEND_ERROR, err::kConnectionClosed},  // ECONNRESET: 12031 (below)
    {CURLE_HTTP2, err::kConnectionClosed},
    {CURLE_HTTP2_STREAM, err::kConnectionClosed},
    {CURLE_HTTP3, err::kConnectionClosed},
    {CURLE_URL_MALFORMAT, err::kInvalidUrl},
    {CURLE_UNSUPPORTED_PROTOCOL, err::kUnrecognizedScheme},
    {CURLE_TOO_MANY_REDIRECTS, err::kExtendedError},
    {CURLE_WEIRD_SERVER_REPLY, err::kExtendedError},
    {CURLE_FTP_WEIRD_PASV_REPLY, err::kExtendedError},
    {CURLE_FTP_WEIRD_227_FORMAT, err::kExtendedError},
    {CURLE_FTP_CANT_GET_HOST, err::kExtendedError},
    {CURLE_FTP_COULDNT_SET_TYPE, err::kExtendedError},
    {CURLE_FTP_COULDNT_RETR_FILE, err::kExtendedError},
    {CURLE_FTP_COULDNT_USE_REST, err::kExtendedError},
    {CURLE_FTP_PORT_FAILED, err::kExtendedError},
    {CURLE_FTP_ACCEPT_FAILED, err::kExtendedError},
    {CURLE_FTP_PRET_FAILED, err::kExtendedError},
    {CURLE_FTP_BAD_FILE_LIST, err::kExtendedError},
    {CURLE_QUOTE_ERROR, err::kExtendedError},
    {CURLE_REMOTE_ACCESS_DENIED, err::kExtendedError},
    {CURLE_REMOTE_FILE_NOT_FOUND, err::kExtendedError},
    {CURLE_RANGE_ERROR, err::kExtendedError},
    {CURLE_BAD_DOWNLOAD_RESUME, err::kExtendedError},
    {CURLE_FILESIZE_EXCEEDED, err::kExtendedError},
    {CURLE_LOGIN_DENIED, err::kLoginFailed},
    {CURLE_ABORTED_BY_CALLBACK, err::kCancelled},
    {CURLE_OUT_OF_MEMORY, err::kNoMoreHandles},
};

}  // namespace

bool CurlGlobalInit() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ok;
}

int InternetErrorFromCurl(CURLcode code, long osError) {
  if (code == CURLE_OK) return err::kNone;
  if ((code == CURLE_RECV_ERROR || code == CURLE_SEND_ERROR) && osError == ECONNRESET)
    return err::kConnectionReset;
  for (const Mapping& m : kMappings)
    if (m.code == code) return m.error;
  return err::kInternalError;
}

int FtpErrorFromCurl(CURLcode code, const QByteArray& lastCommand, long osError) {
  if (code == CURLE_LOGIN_DENIED) {
    if (lastCommand == "USER") return err::kFtpUserRefused;
    if (lastCommand == "PASS") return err::kFtpPasswordRefused;
  }
  return InternetErrorFromCurl(code, osError);
}

}  // namespace quorvel
