#include "bench/curl_errors.h"

#include <cerrno>

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
//                                                        the idle limit, the transfer limit
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
//                                                        (file not found, access denied, ...), a
//                                                        reply that is not HTTP or FTP
//   12015 "The request to connect to and login to an FTP server failed."  login refused
//   12017 "The operation was canceled..."                aborted from a callback
//   12001 "No more handles could be generated..."        out of memory in the library
//   12004 "An internal error has occurred."              anything else (including the page not
//                                                        fitting in memory)
struct Mapping {
  CURLcode code;
  int error;
};

constexpr Mapping kMappings[] = {
    {CURLE_COULDNT_RESOLVE_HOST, 12007},
    {CURLE_COULDNT_RESOLVE_PROXY, 12007},

    {CURLE_COULDNT_CONNECT, 12029},
    {CURLE_INTERFACE_FAILED, 12029},
    {CURLE_SSL_CONNECT_ERROR, 12029},
    {CURLE_PEER_FAILED_VERIFICATION, 12029},
    {CURLE_SSL_CERTPROBLEM, 12029},
    {CURLE_SSL_CIPHER, 12029},
    {CURLE_SSL_CACERT_BADFILE, 12029},
    {CURLE_SSL_ISSUER_ERROR, 12029},
    {CURLE_SSL_PINNEDPUBKEYNOTMATCH, 12029},
    {CURLE_SSL_INVALIDCERTSTATUS, 12029},
    {CURLE_SSL_CRL_BADFILE, 12029},
    {CURLE_SSL_ENGINE_NOTFOUND, 12029},
    {CURLE_SSL_ENGINE_SETFAILED, 12029},
    {CURLE_SSL_ENGINE_INITFAILED, 12029},
    {CURLE_USE_SSL_FAILED, 12029},
    {CURLE_PROXY, 12029},

    {CURLE_OPERATION_TIMEDOUT, 12002},
    {CURLE_FTP_ACCEPT_TIMEOUT, 12002},

    {CURLE_GOT_NOTHING, 12030},
    {CURLE_PARTIAL_FILE, 12030},
    {CURLE_RECV_ERROR, 12030},  // ECONNRESET: 12031 (below)
    {CURLE_SEND_ERROR, 12030},  // ECONNRESET: 12031 (below)
    {CURLE_HTTP2, 12030},
    {CURLE_HTTP2_STREAM, 12030},
    {CURLE_HTTP3, 12030},

    {CURLE_URL_MALFORMAT, 12005},
    {CURLE_UNSUPPORTED_PROTOCOL, 12006},

    {CURLE_TOO_MANY_REDIRECTS, 12003},
    {CURLE_WEIRD_SERVER_REPLY, 12003},
    {CURLE_FTP_WEIRD_PASV_REPLY, 12003},
    {CURLE_FTP_WEIRD_227_FORMAT, 12003},
    {CURLE_FTP_CANT_GET_HOST, 12003},
    {CURLE_FTP_COULDNT_SET_TYPE, 12003},
    {CURLE_FTP_COULDNT_RETR_FILE, 12003},
    {CURLE_FTP_PORT_FAILED, 12003},
    {CURLE_FTP_ACCEPT_FAILED, 12003},
    {CURLE_FTP_PRET_FAILED, 12003},
    {CURLE_FTP_BAD_FILE_LIST, 12003},
    {CURLE_QUOTE_ERROR, 12003},
    {CURLE_REMOTE_ACCESS_DENIED, 12003},
    {CURLE_REMOTE_FILE_NOT_FOUND, 12003},
    {CURLE_RANGE_ERROR, 12003},

    {CURLE_LOGIN_DENIED, 12015},
    {CURLE_ABORTED_BY_CALLBACK, 12017},
    {CURLE_OUT_OF_MEMORY, 12001},
};

}  // namespace

int InternetErrorFromCurl(CURLcode code, long osError) {
  if (code == CURLE_OK) return 0;
  if ((code == CURLE_RECV_ERROR || code == CURLE_SEND_ERROR) && osError == ECONNRESET) {
    return 12031;
  }
  for (const Mapping& m : kMappings) {
    if (m.code == code) return m.error;
  }
  return 12004;
}

}  // namespace quorvel
