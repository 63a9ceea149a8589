// A real FTP server (pyftpdlib) on loopback, serving a folder of its own to anonymous users,
// read-only; or a Python server of the test's own.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace quorvel::testing {

class FtpServer {
 public:
  FtpServer();
  ~FtpServer();

  // Starts the server on 127.0.0.1 with a free port and waits until it accepts connections.
  // extraArgs go to pyftpdlib (e.g. {"-u", "user", "-P", "secret"} turns anonymous off).
  bool start(const QStringList& extraArgs = {});
  // The same with a server of the test's own: `script` is Python that serves the folder
  // sys.argv[2] on 127.0.0.1, port int(sys.argv[1]).
  bool startScript(const QByteArray& script);
  void stop();

  quint16 port() const { return port_; }
  void addFile(const QString& relativePath, const QByteArray& data) const;
  QByteArray log();  // what the server wrote so far

 private:
  bool launch(const QStringList& argsBeforePort, const QStringList& argsAfterPort);

  QTemporaryDir root_;
  QTemporaryDir scriptDir_;
  QProcess process_;
  quint16 port_ = 0;
  QByteArray log_;
};

}  // namespace quorvel::testing
