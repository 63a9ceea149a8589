#include "common/ftp_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "common/loopback_port.h"

namespace quorvel::testing {

namespace {

bool accepts(quint16 port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

FtpServer::FtpServer() {
  process_.setProcessChannelMode(QProcess::MergedChannels);
}

FtpServer::~FtpServer() {
  stop();
}

bool FtpServer::start(const QStringList& extraArgs) {
  QStringList after{QStringLiteral("-d"), root_.path()};
  after << extraArgs;
  return launch({QStringLiteral("-m"), QStringLiteral("pyftpdlib"), QStringLiteral("-i"),
                 QStringLiteral("127.0.0.1"), QStringLiteral("-p")},
                after);
}

bool FtpServer::startScript(const QByteArray& script) {
  if (!scriptDir_.isValid()) return false;
  const QString file = scriptDir_.filePath(QStringLiteral("server.py"));
  QFile f(file);
  if (!f.open(QIODevice::WriteOnly) || f.write(script) != script.size()) return false;
  f.close();
  return launch({file}, {root_.path()});
}

bool FtpServer::launch(const QStringList& argsBeforePort, const QStringList& argsAfterPort) {
  if (!root_.isValid()) return false;
  for (int attempt = 0; attempt < 3; ++attempt) {
    port_ = freeLoopbackPort();
    if (port_ == 0) return false;
    const QStringList args = QStringList(argsBeforePort) << QString::number(port_) << argsAfterPort;
    // Debian's interpreter: the one that has pyftpdlib.
    process_.start(QStringLiteral("/usr/bin/python3"), args);
    if (!process_.waitForStarted(10000)) return false;
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
      if (accepts(port_)) return true;
      process_.waitForReadyRead(50);
    }
    stop();  // the port was taken meanwhile, or the server failed: try another
  }
  return false;
}

void FtpServer::stop() {
  if (process_.state() != QProcess::NotRunning) {
    process_.kill();
    process_.waitForFinished(5000);
  }
  log_ += process_.readAll();
}

void FtpServer::addFile(const QString& relativePath, const QByteArray& data) const {
  const QString full = root_.path() + QLatin1Char('/') + relativePath;
  QDir().mkpath(QFileInfo(full).path());
  QFile f(full);
  if (f.open(QIODevice::WriteOnly)) f.write(data);
}

QByteArray FtpServer::log() {
  // Give the server a moment to write what it logged about the last session.
  process_.waitForReadyRead(200);
  log_ += process_.readAll();
  return log_;
}

}  // namespace quorvel::testing
