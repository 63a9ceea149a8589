#include "tools/ftp_download.h"

#include <QFile>
#include <QFileInfo>

#include "core/number_format.h"
#include "core/tick.h"
#include "tools/ftp_parms.h"

namespace quorvel {

QString FtpUser() {
  return QStringLiteral("anonymous");
}
QString FtpPassword() {
  return QStringLiteral("speedtest");
}

QString FtpBytesLine(std::int64_t bytes, std::int64_t micros) {
  return formatMask(static_cast<double>(bytes), "###,###,##0") +
         QStringLiteral(" bytes transferred in ") +
         formatMask(static_cast<double>(micros) / 1e6, "###,##0.0") + QStringLiteral(" secs");
}

QString FtpThroughputText(std::int64_t bytes, std::int64_t micros) {
  if (bytes <= 0 || micros <= 0) return QStringLiteral("0 Kbps");
  const double kbps = static_cast<double>(bytes) * 8.0 / microsToMs(micros);
  return formatMask(dec1(kbps), "###,###,##0.0") + QStringLiteral(" Kbps");
}

namespace {

// The error number of a local file that cannot be created (access denied).
constexpr int kLocalFileError = 5;

// Why a file cannot be made where something else stays in its place.
QString whatIsThere(const QString& path) {
  const QFileInfo info(path);
  if (info.isSymLink()) return QStringLiteral("a symbolic link is in its place");
  if (info.exists() && !info.isFile()) return QStringLiteral("it is not a regular file");
  return QStringLiteral("access denied");
}

}  // namespace

FtpTestResult RunFTPTest(FtpClient& client, const QString& entry, const QString& localFile,
                         const std::function<void(const QString&)>& show) {
  auto display = [&](const QString& text) {
    if (show) show(text);
  };
  FtpTestResult result;
  GetFTPParms(entry, result.server, result.remoteFile);
  const QString& server = result.server;
  const QString& remoteFile = result.remoteFile;
  QFile::remove(localFile);

  QString message = QStringLiteral("Connecting to ") + server + QStringLiteral(" ...");
  display(message);
  int error = client.Connect(server, FtpUser(), FtpPassword());
  if (error != 0) {
    message += QStringLiteral("\nConnection failed: FTP error ") + QString::number(error);
    result.error = error;
    result.text = message;
    return result;
  }

  result.connected = true;
  message += QStringLiteral(" success.\nDownloading ") + remoteFile + QStringLiteral(" ...");
  display(message);
  const std::int64_t t0 = monotonicMicros();
  error = client.Fetch(remoteFile, localFile);
  const std::int64_t t1 = monotonicMicros();
  if (error != 0) {
    QFile::remove(localFile);
    message += QStringLiteral("\nTransfer failed: FTP error ") + QString::number(error);
    result.error = error;
    if (error == kLocalFileError)
      message += QStringLiteral("\n") + QFileInfo(localFile).fileName() +
                 QStringLiteral(" could not be created (") + whatIsThere(localFile) +
                 QStringLiteral(").");
    result.text = message;
    return result;
  }

  result.success = true;
  result.micros = t1 - t0;
  const QFileInfo info(localFile);
  result.bytes = info.exists() ? info.size() : 0;
  message += QStringLiteral(" success.\n\n") + FtpBytesLine(result.bytes, result.micros) +
             QStringLiteral("\n\nThroughput = ") + FtpThroughputText(result.bytes, result.micros);
  result.text = message;
  return result;
}

}  // namespace quorvel
