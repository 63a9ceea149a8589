#include "nginx_h2.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <chrono>
#include <thread>

#include "common/loopback_port.h"

namespace quorvel::testing {

NginxH2::NginxH2(const TestAuthority& ca, const QList<std::pair<QString, QByteArray>>& files,
                 const QString& httpConfig) {
  const QString nginx =
      QStandardPaths::findExecutable(QStringLiteral("nginx"), {QStringLiteral("/usr/sbin")});
  if (nginx.isEmpty() || !dir_.isValid()) return;
  QDir(dir_.path()).mkpath(QStringLiteral("www"));
  for (const auto& [name, body] : files) {
    QFile f(dir_.filePath(QStringLiteral("www/") + name));
    if (!f.open(QIODevice::WriteOnly) || f.write(body) != body.size()) return;
  }
  port_ = freeLoopbackPort();
  const QString d = dir_.path();
  QFile conf(dir_.filePath(QStringLiteral("nginx.conf")));
  if (!conf.open(QIODevice::WriteOnly)) return;
  conf.write(QStringLiteral(
                 "%1 worker_processes 1; daemon off; pid %2/nginx.pid; error_log %2/error.log;\n"
                 "events { worker_connections 64; }\n"
                 "http { log_format c '$connection $server_protocol $request_uri';\n"
                 "  access_log %2/access.log c; client_body_temp_path %2/body;\n"
                 "  proxy_temp_path %2/proxy; fastcgi_temp_path %2/fastcgi;\n"
                 "  uwsgi_temp_path %2/uwsgi; scgi_temp_path %2/scgi; %6\n"
                 "  server { listen 127.0.0.1:%3 ssl http2; root %2/www;\n"
                 "    ssl_certificate %4; ssl_certificate_key %5; } }\n")
                 .arg(geteuid() == 0 ? QStringLiteral("user root;") : QString(), d)
                 .arg(port_)
                 .arg(QString::fromStdString(ca.certFile()), QString::fromStdString(ca.keyFile()),
                      httpConfig)
                 .toUtf8());
  conf.close();
  process_.start(nginx, {QStringLiteral("-c"), conf.fileName(), QStringLiteral("-p"), d});
  if (!process_.waitForStarted(5000)) return;
  for (int i = 0; i < 100 && !ready_; ++i) {  // until it listens, at most 5 s
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ready_ = QFile::exists(dir_.filePath(QStringLiteral("nginx.pid")));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

NginxH2::~NginxH2() {
  if (process_.state() != QProcess::NotRunning) {
    process_.terminate();
    if (!process_.waitForFinished(5000)) process_.kill();
    process_.waitForFinished(2000);
  }
}

QString NginxH2::url(const QString& path) const {
  return QStringLiteral("https://127.0.0.1:%1%2").arg(port_).arg(path);
}

QStringList NginxH2::log() const {
  QFile f(dir_.filePath(QStringLiteral("access.log")));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace quorvel::testing
