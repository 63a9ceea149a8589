// Loopback servers for the FTP tests: a real FTP server (pyftpdlib) serving a folder to
// anonymous users, read-only, and plain TCP ports that refuse or never answer.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <ostream>

// Readable texts in the failure messages of the tests.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace quorvel::testing {

// A free TCP port on 127.0.0.1 (bound once, then released).
quint16 freeLoopbackPort();

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
  QString root() const { return root_.path(); }  // the folder it serves
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

// A socket that listens on 127.0.0.1 and never accepts: connections complete and then hear
// nothing, as from a server that stopped answering.
class SilentListener {
 public:
  SilentListener();
  ~SilentListener();
  quint16 port() const { return port_; }

 private:
  int fd_ = -1;
  quint16 port_ = 0;
};

}  // namespace quorvel::testing
