#include "tools/ftp_curl.h"

#include <curl/curl.h>
#include <QUrl>

#include <cerrno>
#include "core/curl_errors.h"
#include "core/error_numbers.h"

#include "core/app_files.h"

namespace quorvel {

namespace {

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

CurlFtpClient::CurlFtpClient(FtpTimeouts timeouts) : timeouts_(timeouts) {}

CurlFtpClient::~CurlFtpClient() {
  Close();
}

void CurlFtpClient::Close() {
  if (curl_) curl_easy_cleanup(curl_);
  curl_ = nullptr;
  rootUrl_.clear();
}

int CurlFtpClient::onDebug(CURL*, curl_infotype type, char* data, size_t size, void* self) {
  // Remember the command word of what went out on the control connection.
  if (type == CURLINFO_HEADER_OUT) {
    QByteArray line(data, static_cast<qsizetype>(size));
    const qsizetype blank = line.indexOf(' ');
    auto* client = static_cast<CurlFtpClient*>(self);
    client->lastCommand_ = (blank < 0 ? line : line.left(blank)).trimmed().toUpper();
  }
  return 0;
}

int CurlFtpClient::onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* client = static_cast<CurlFtpClient*>(self);
  return client->pump_.pumpIfDue() ? 0 : 1;  // non-zero abandons the request (12017)
}

size_t CurlFtpClient::onWrite(char* data, size_t size, size_t count, void* self) {
  auto* client = static_cast<CurlFtpClient*>(self);
  const size_t total = size * count;
  if (!client->out_) return 0;
  if (client->out_->write(data, static_cast<qint64>(total)) != static_cast<qint64>(total)) {
    client->writeError_ = errno == ENOSPC ? err::kDiskFull : err::kWriteFault;
    return 0;
  }
  return total;
}

int CurlFtpClient::perform() {
  lastCommand_.clear();
  pump_.restart();
  const CURLcode rc = curl_easy_perform(curl_);
  if (rc == CURLE_OK) return err::kNone;
  long osErrno = 0;
  curl_easy_getinfo(curl_, CURLINFO_OS_ERRNO, &osErrno);
  return FtpErrorFromCurl(rc, lastCommand_, osErrno);
}

int CurlFtpClient::Connect(const QString& server, const QString& user, const QString& password) {
  Close();
  if (!CurlGlobalInit()) return err::kInternalError;
  const QByteArray root = rootUrlOf(server);
  if (root.isEmpty()) return err::kInvalidUrl;
  curl_ = curl_easy_init();
  if (!curl_) return err::kNoMoreHandles;
  rootUrl_ = root;
  user_ = user.toUtf8();
  password_ = password.toUtf8();

  CURLcode rc = CURLE_OK;
  auto set = [&](CURLoption option, auto value) {
    if (rc == CURLE_OK) rc = curl_easy_setopt(curl_, option, value);
  };
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_PROTOCOLS_STR, "ftp");
  set(CURLOPT_PROXY, "");
  set(CURLOPT_USERNAME, user_.constData());
  set(CURLOPT_PASSWORD, password_.constData());
  // Passive mode (no CURLOPT_FTPPORT); the data connection goes to the control connection's
  // address whatever the PASV reply names.
  set(CURLOPT_FTP_SKIP_PASV_IP, 1L);
  // The path goes to RETR as it stands, from the root, with no CWD in between.
  set(CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
  set(CURLOPT_CONNECTTIMEOUT, static_cast<long>(timeouts_.connectSeconds));
  set(CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>(timeouts_.idleSeconds));
  set(CURLOPT_LOW_SPEED_LIMIT, 1L);
  set(CURLOPT_LOW_SPEED_TIME, static_cast<long>(timeouts_.idleSeconds));
  set(CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts_.transferLimit.count()));
  set(CURLOPT_DEBUGFUNCTION, &CurlFtpClient::onDebug);
  set(CURLOPT_DEBUGDATA, static_cast<void*>(this));
  set(CURLOPT_VERBOSE, 1L);
  set(CURLOPT_XFERINFOFUNCTION, &CurlFtpClient::onProgress);
  set(CURLOPT_XFERINFODATA, static_cast<void*>(this));
  set(CURLOPT_NOPROGRESS, 0L);
  // Reads of up to 100 KB, as the curl tool makes them: a quarter of the writes to the file
  // that 16 KB reads would need.
  set(CURLOPT_BUFFERSIZE, 100L * 1024);
  set(CURLOPT_WRITEFUNCTION, &CurlFtpClient::onWrite);
  set(CURLOPT_WRITEDATA, static_cast<void*>(this));
  // Log in: the root directory, without a transfer.
  set(CURLOPT_URL, rootUrl_.constData());
  set(CURLOPT_NOBODY, 1L);
  if (rc != CURLE_OK) {
    Close();
    return err::kInternalError;
  }
  const int error = perform();
  if (error != err::kNone) Close();
  return error;
}

int CurlFtpClient::Fetch(const QString& remoteFile, const QString& localFile) {
  if (!curl_) return err::kIncorrectHandleState;
  QFile::remove(localFile);

  // A path with no file name at its end would make the server list a directory.
  QString path = remoteFile;
  if (path.startsWith(QLatin1Char('/'))) path.remove(0, 1);
  if (path.isEmpty() || path.endsWith(QLatin1Char('/'))) return err::kExtendedError;
  // "%2F" keeps the leading '/' of the path: it is sent from the root.
  const QByteArray url = rootUrl_ + "%2F" + QUrl::toPercentEncoding(path, "/");
  if (curl_easy_setopt(curl_, CURLOPT_URL, url.constData()) != CURLE_OK ||
      curl_easy_setopt(curl_, CURLOPT_NOBODY, 0L) != CURLE_OK)
    return err::kInternalError;

  // Made anew: nothing that is (again) there, a link or a FIFO, is opened or written through.
  QFile out;
  if (!openForWriting(out, localFile, WriteOpen::CreateNew).ok()) return err::kAccessDenied;
  out_ = &out;
  writeError_ = 0;
  int error = perform();
  out_ = nullptr;
  if (error == err::kInternalError && writeError_ != 0) error = writeError_;
  if (error == err::kNone && !out.flush())
    error = errno == ENOSPC ? err::kDiskFull : err::kWriteFault;
  out.close();
  if (error != err::kNone) QFile::remove(localFile);
  return error;
}

}  // namespace quorvel
