#include "tools/ftp_curl.h"

#include <curl/curl.h>
#include <QUrl>
#include <cerrno>

#include "app/app_files.h"

namespace quorvel {

namespace {

bool globalInit() {
  static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ok;
}

bool isHostChar(QChar c) {
  return c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-') ||
         c == QLatin1Char('_');
}

bool isV6Char(QChar c) {
  return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
         (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
         (c >= QLatin1Char('A') && c <= QLatin1Char('F')) || c == QLatin1Char(':') ||
         c == QLatin1Char('.');
}

// "host", "host:port", "[v6]", "[v6]:port" or a bare IPv6 address, to the root URL
// "ftp://host:port/". Empty when the text is not a server we can name in a URL.
QByteArray rootUrlOf(const QString& serverText) {
  const QString server = serverText.trimmed();
  QString host;
  QString port;
  if (server.startsWith(QLatin1Char('['))) {
    const qsizetype close = server.indexOf(QLatin1Char(']'));
    if (close < 0) return {};
    const QString v6 = server.mid(1, close - 1);
    if (v6.isEmpty()) return {};
    for (QChar c : v6)
      if (!isV6Char(c)) return {};
    host = QLatin1Char('[') + v6 + QLatin1Char(']');
    const QString rest = server.mid(close + 1);
    if (!rest.isEmpty()) {
      if (!rest.startsWith(QLatin1Char(':'))) return {};
      port = rest.mid(1);
    }
  } else if (server.count(QLatin1Char(':')) > 1) {
    for (QChar c : server)
      if (!isV6Char(c)) return {};
    host = QLatin1Char('[') + server + QLatin1Char(']');
  } else {
    const qsizetype colon = server.indexOf(QLatin1Char(':'));
    host = colon < 0 ? server : server.left(colon);
    if (colon >= 0) port = server.mid(colon + 1);
    if (host.isEmpty()) return {};
    for (QChar c : host)
      if (!isHostChar(c)) return {};
  }
  int portNumber = 21;
  if (!port.isEmpty()) {
    if (port.size() > 5) return {};
    for (QChar c : port)
      if (!c.isDigit() || c.unicode() > 127) return {};
    portNumber = port.toInt();
    if (portNumber < 1 || portNumber > 65535) return {};
  }
  return "ftp://" + host.toUtf8() + ':' + QByteArray::number(portNumber) + '/';
}

}  // namespace

int FtpErrorNumber(int curlCode, const QByteArray& lastCommand, long osErrno) {
  switch (static_cast<CURLcode>(curlCode)) {
    case CURLE_OK:
      return 0;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return 12007;
    case CURLE_COULDNT_CONNECT:
      return 12029;
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_FTP_ACCEPT_TIMEOUT:
      return 12002;
    case CURLE_LOGIN_DENIED:
      if (lastCommand == "USER") return 12013;
      if (lastCommand == "PASS") return 12014;
      return 12015;
    case CURLE_USE_SSL_FAILED:
      return 12015;
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_COULDNT_SET_TYPE:
    case CURLE_FTP_PORT_FAILED:
    case CURLE_FTP_COULDNT_USE_REST:
    case CURLE_FTP_PRET_FAILED:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_QUOTE_ERROR:
    case CURLE_RANGE_ERROR:
    case CURLE_BAD_DOWNLOAD_RESUME:
    case CURLE_FILESIZE_EXCEEDED:
      return 12003;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      return osErrno == ECONNRESET ? 12031 : 12030;
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
      return 12030;
    case CURLE_URL_MALFORMAT:
      return 12005;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return 12006;
    case CURLE_ABORTED_BY_CALLBACK:
      return 12017;
    default:
      return 12004;
  }
}

CurlFtpClient::CurlFtpClient(FtpTimeouts timeouts) : timeouts_(timeouts) {}

CurlFtpClient::~CurlFtpClient() {
  Close();
}

void CurlFtpClient::Close() {
  if (curl_) curl_easy_cleanup(static_cast<CURL*>(curl_));
  curl_ = nullptr;
  rootUrl_.clear();
}

int CurlFtpClient::onDebug(void*, int type, char* data, size_t size, void* self) {
  // Remember the command word of what went out on the control connection.
  if (type == CURLINFO_HEADER_OUT) {
    QByteArray line(data, static_cast<qsizetype>(size));
    const qsizetype blank = line.indexOf(' ');
    auto* client = static_cast<CurlFtpClient*>(self);
    client->lastCommand_ = (blank < 0 ? line : line.left(blank)).trimmed().toUpper();
  }
  return 0;
}

int CurlFtpClient::onProgress(void* self, long long, long long, long long, long long) {
  auto* client = static_cast<CurlFtpClient*>(self);
  return client->pump_.pumpIfDue() ? 0 : 1;  // non-zero abandons the request (12017)
}

size_t CurlFtpClient::onWrite(char* data, size_t size, size_t count, void* self) {
  auto* client = static_cast<CurlFtpClient*>(self);
  const size_t total = size * count;
  if (!client->out_) return 0;
  if (client->out_->write(data, static_cast<qint64>(total)) != static_cast<qint64>(total)) {
    client->writeError_ = errno == ENOSPC ? 112 : 29;
    return 0;
  }
  return total;
}

int CurlFtpClient::perform() {
  CURL* curl = static_cast<CURL*>(curl_);
  lastCommand_.clear();
  pump_.restart();
  const CURLcode rc = curl_easy_perform(curl);
  if (rc == CURLE_OK) return 0;
  long osErrno = 0;
  curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osErrno);
  return FtpErrorNumber(rc, lastCommand_, osErrno);
}

int CurlFtpClient::Connect(const QString& server, const QString& user, const QString& password) {
  Close();
  if (!globalInit()) return 12004;
  const QByteArray root = rootUrlOf(server);
  if (root.isEmpty()) return 12005;
  CURL* curl = curl_easy_init();
  if (!curl) return 12001;
  curl_ = curl;
  rootUrl_ = root;

  const QByteArray userBytes = user.toUtf8();
  const QByteArray passwordBytes = password.toUtf8();
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(curl, CURLOPT_PROXY, "");
  curl_easy_setopt(curl, CURLOPT_USERNAME, userBytes.constData());
  curl_easy_setopt(curl, CURLOPT_PASSWORD, passwordBytes.constData());
  // Passive mode (no CURLOPT_FTPPORT); the data connection goes to the control connection's
  // address whatever the PASV reply names.
  curl_easy_setopt(curl, CURLOPT_FTP_SKIP_PASV_IP, 1L);
  // The path goes to RETR as it stands, from the root, with no CWD in between.
  curl_easy_setopt(curl, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(timeouts_.connectSeconds));
  curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>(timeouts_.idleSeconds));
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(timeouts_.idleSeconds));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts_.transferLimit.count()));
  curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, &CurlFtpClient::onDebug);
  curl_easy_setopt(curl, CURLOPT_DEBUGDATA, this);
  curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CurlFtpClient::onProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CurlFtpClient::onWrite);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);

  // Log in: the root directory, without a transfer.
  curl_easy_setopt(curl, CURLOPT_URL, rootUrl_.constData());
  curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  const int error = perform();
  if (error != 0) Close();
  return error;
}

int CurlFtpClient::Fetch(const QString& remoteFile, const QString& localFile) {
  if (!curl_) return 12019;
  CURL* curl = static_cast<CURL*>(curl_);
  QFile::remove(localFile);

  // A path with no file name at its end would make the server list a directory.
  QString path = remoteFile;
  if (path.startsWith(QLatin1Char('/'))) path.remove(0, 1);
  if (path.isEmpty() || path.endsWith(QLatin1Char('/'))) return 12003;
  // "%2F" keeps the leading '/' of the path: it is sent from the root.
  const QByteArray url = rootUrl_ + "%2F" + QUrl::toPercentEncoding(path, "/");

  // Made anew: nothing that is (again) there, a link or a FIFO, is opened or written through.
  QFile out;
  if (!openForWriting(out, localFile, WriteOpen::CreateNew).ok()) return 5;
  out_ = &out;
  writeError_ = 0;
  curl_easy_setopt(curl, CURLOPT_URL, url.constData());
  curl_easy_setopt(curl, CURLOPT_NOBODY, 0L);
  int error = perform();
  out_ = nullptr;
  if (error == 12004 && writeError_ != 0) error = writeError_;
  if (error == 0 && !out.flush()) error = errno == ENOSPC ? 112 : 29;
  out.close();
  if (error != 0) QFile::remove(localFile);
  return error;
}

}  // namespace quorvel
