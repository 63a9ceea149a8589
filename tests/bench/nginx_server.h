// nginx from Debian on 127.0.0.1, serving files a test gives it: plain HTTP/1.1, or, with a
// test authority, https only with HTTP/2 offered by ALPN. Its access log tells each request's
// connection, protocol, status and times, so that a test sees what a real server saw.
#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <utility>

namespace quorvel::testing {

class TestAuthority;

class NginxServer {
 public:
  using Files = QList<std::pair<QString, QByteArray>>;  // path under the root, content
  // `serverLines`: more directives for its server block (locations, limit_rate, ...);
  // `httpLines`: for its http block, in place of the usual types (html, css, js, png).
  explicit NginxServer(const Files& files, const TestAuthority* tls = nullptr,
                       const QString& serverLines = {}, const QString& httpLines = kTypes);
  static constexpr const char* kTypes =
      "types { text/html html; text/css css; text/javascript js; image/png png; }";
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  // False when nginx is not installed or did not start (tests then skip).
  bool ready() const { return ready_; }
  QString url(const QString& path) const;                                // path from "/"
  QString root() const { return dir_.filePath(QStringLiteral("www")); }  // of its files

  struct Request {
    QString connection, protocol, target;  // "HTTP/1.1" or "HTTP/2.0"; the target as sent
    int status = 0;
    double start = 0, end = 0;  // seconds since the epoch, to the millisecond
  };
  // The requests logged so far, once at least `expected` are (nginx logs a request after its
  // answer is sent, which may be after the client has it all): waits at most 3 s for them.
  QList<Request> requests(int expected = 0) const;
  // Their targets, sorted.
  QStringList targets(int expected = 0) const;

 private:
  QTemporaryDir dir_;
  QProcess process_;
  int port_ = 0;
  bool tls_ = false;
  bool ready_ = false;
};

// The most requests that were in progress at one time on distinct connections.
int MostConnectionsAtOnce(const QList<NginxServer::Request>& requests);

}  // namespace quorvel::testing
