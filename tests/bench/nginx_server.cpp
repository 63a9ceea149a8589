#include "nginx_server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>
#include <chrono>
#include <map>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/loopback_port.h"
#include "loopback_servers.h"

namespace quorvel::testing {

namespace {

bool writeAll(const QString& path, const QByteArray& data) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

bool listening(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return false;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(quint16(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
  ::close(s);
  return ok;
}

}  // namespace

NginxServer::NginxServer(const Files& files, const TestAuthority* tls, const QString& serverLines,
                         const QString& httpLines)
    : tls_(tls != nullptr) {
  const QString nginx =
      QStandardPaths::findExecutable(QStringLiteral("nginx"), {QStringLiteral("/usr/sbin")});
  if (nginx.isEmpty() || !dir_.isValid()) return;
  const QString d = dir_.path();
  QDir(d).mkpath(QStringLiteral("www"));
  for (const auto& [name, body] : files)
    if (!writeAll(d + QStringLiteral("/www/") + name, body)) return;
  port_ = freeLoopbackPort();
  const QString listen = tls ? QStringLiteral(
                                   "listen 127.0.0.1:%1 ssl http2; ssl_certificate %2; "
                                   "ssl_certificate_key %3;")
                                   .arg(port_)
                                   .arg(QString::fromStdString(tls->certFile()),
                                        QString::fromStdString(tls->keyFile()))
                             : QStringLiteral("listen 127.0.0.1:%1;").arg(port_);
  const QString conf =
      QStringLiteral(
          "%1 worker_processes 1; daemon off; pid %2/nginx.pid; error_log %2/error.log;\n"
          "events { worker_connections 256; }\n"
          "http { log_format c '$connection $server_protocol $status $msec $request_time "
          "$request_uri';\n"
          "  access_log %2/access.log c; client_body_temp_path %2/body;\n"
          "  proxy_temp_path %2/proxy; fastcgi_temp_path %2/fastcgi;\n"
          "  uwsgi_temp_path %2/uwsgi; scgi_temp_path %2/scgi;\n"
          "  default_type application/octet-stream;\n  %5\n"
          "  server { %3 root %2/www;\n  %4 } }\n")
          .arg(geteuid() == 0 ? QStringLiteral("user root;") : QString(), d, listen, serverLines,
               httpLines);
  if (!writeAll(d + QStringLiteral("/nginx.conf"), conf.toUtf8())) return;
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process_.start(
      nginx, {QStringLiteral("-c"), d + QStringLiteral("/nginx.conf"), QStringLiteral("-p"), d});
  if (!process_.waitForStarted(5000)) return;
  for (int i = 0; i < 100 && !ready_ && process_.state() == QProcess::Running; ++i) {
    ready_ = listening(port_);  // until it listens, at most about 5 s
    if (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

NginxServer::~NginxServer() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(5000)) process_.kill();
  process_.waitForFinished(2000);
}

QString NginxServer::url(const QString& path) const {
  return QStringLiteral("%1://127.0.0.1:%2%3")
      .arg(tls_ ? QStringLiteral("https") : QStringLiteral("http"))
      .arg(port_)
      .arg(path);
}

QList<NginxServer::Request> NginxServer::requests(int expected) const {
  QList<Request> out;
  for (int i = 0; i < 60; ++i) {
    out.clear();
    QFile f(dir_.filePath(QStringLiteral("access.log")));
    if (f.open(QIODevice::ReadOnly)) {
      const QStringList lines =
          QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
      for (const QString& line : lines) {
        const QStringList w = line.split(QLatin1Char(' '));
        if (w.size() < 6) continue;
        Request r;
        r.connection = w[0];
        r.protocol = w[1];
        r.status = w[2].toInt();
        r.end = w[3].toDouble();
        r.start = r.end - w[4].toDouble();
        r.target = w.mid(5).join(QLatin1Char(' '));
        out << r;
      }
    }
    if (out.size() >= expected) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return out;
}

QStringList NginxServer::targets(int expected) const {
  QStringList out;
  for (const Request& r : requests(expected)) out << r.target;
  out.sort();
  return out;
}

int MostConnectionsAtOnce(const QList<NginxServer::Request>& requests) {
  // A connection is busy from its first request's start to its last request's end.
  std::map<QString, std::pair<double, double>> busy;
  for (const NginxServer::Request& r : requests) {
    auto [it, fresh] = busy.try_emplace(r.connection, r.start, r.end);
    if (!fresh)
      it->second = {std::min(it->second.first, r.start), std::max(it->second.second, r.end)};
  }
  std::vector<std::pair<double, int>> edges;  // ends before starts at the same instant
  for (const auto& [connection, span] : busy) {
    edges.emplace_back(span.first, 1);
    edges.emplace_back(span.second, -1);
  }
  std::sort(edges.begin(), edges.end());
  int now = 0, most = 0;
  for (const auto& [at, step] : edges) most = std::max(most, now += step);
  return most;
}

}  // namespace quorvel::testing
