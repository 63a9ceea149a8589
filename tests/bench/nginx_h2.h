// nginx from Debian on loopback, https only with HTTP/2 offered by ALPN, with the certificate
// of a test authority: a real browser's kind of server for the tests of loads and their reports.
#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <utility>

#include "loopback_servers.h"

namespace quorvel::testing {

// Serves `files` from a folder of its own; its access log names each request's connection and
// protocol. `httpConfig` is added to the configuration's http block (e.g. "gzip on;").
class NginxH2 {
 public:
  NginxH2(const TestAuthority& ca, const QList<std::pair<QString, QByteArray>>& files,
          const QString& httpConfig = {});
  ~NginxH2();
  bool ready() const { return ready_; }  // false when nginx is missing or did not start
  QString url(const QString& path) const;
  QStringList log() const;

 private:
  QTemporaryDir dir_;
  QProcess process_;
  int port_ = 0;
  bool ready_ = false;
};

}  // namespace quorvel::testing
