// Servers on 127.0.0.1 for the tests of the Internet access layer: a real HTTP or HTTPS server
// (cpp-httplib) on a thread, and a bare TCP server whose replies a test writes byte by byte
// (for servers that stall, cut or reset their connections).
#pragma once

#include <httplib.h>

#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace quorvel::testing {

// A certificate authority made for one test with the openssl tool, in a folder of its own: its
// certificate (for the client to trust, never the system's store) and a server certificate
// for 127.0.0.1 that it signed.
class TestAuthority {
 public:
  TestAuthority();  // check ok() before use
  bool ok() const { return ok_; }
  std::string caFile() const { return path("ca.crt"); }
  std::string certFile() const { return path("server.crt"); }
  std::string keyFile() const { return path("server.key"); }

 private:
  std::string path(const char* name) const;
  QTemporaryDir dir_;
  bool ok_ = false;
};

class HttpTestServer {
 public:
  // Routes are added to server() before start(). With an authority the server speaks https
  // only, with the authority's server certificate.
  explicit HttpTestServer(const TestAuthority* tls = nullptr);
  ~HttpTestServer();
  httplib::Server& server() { return *server_; }
  // Answers GET `path` (a pattern) with the body, of that type and status.
  void page(const std::string& path, const std::string& body, const std::string& type = "text/html",
            int status = 200);
  // On 127.0.0.1 and a free port, or where asked (another loopback address, or an address
  // of the network namespace the calling thread is in).
  void start(const std::string& address = "127.0.0.1", int port = 0);
  int port() const { return port_; }
  QString url(const std::string& path) const;
  QStringList targets();  // of every request so far, in order of arrival

 private:
  std::unique_ptr<httplib::Server> server_;
  std::mutex mutex_;
  QStringList targets_;
  std::thread thread_;
  int port_ = 0;
  bool tls_ = false;
};

// Accepts connections one after the other; for each it reads the request head and calls the
// handler with the connected socket (which it closes afterwards unless the handler did).
class RawTestServer {
 public:
  using Handler = std::function<void(int socket, const std::string& requestHead)>;
  explicit RawTestServer(Handler handler);
  ~RawTestServer();
  int port() const { return port_; }
  QString url(const std::string& path) const;

  // For handlers: sends all of it; waits until the client closes, at most `seconds`; makes the
  // coming close send a reset (RST) rather than an orderly end.
  static void sendAll(int socket, const std::string& data);
  static void waitForClose(int socket, int seconds);
  static void resetConnection(int socket);
  // Starts an answer and never ends it: a byte of the body (or, with inHead, a header line)
  // every `every`, never idle and never done, until `stop` or `count` pieces.
  static void trickle(int socket, bool inHead, std::chrono::milliseconds every, int count,
                      const std::atomic<bool>* stop = nullptr);

 private:
  void run();
  Handler handler_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A RawTestServer handler of answers by route, good and bad: "/good" (5 bytes), "/404" (7),
// "/gone" (a not-found page), "/slow" (its body late), "/stall" and "/silent" (a head, or not even
// that, then nothing), "/cut" and "/reset" (10,000 bytes of the body, then closed or reset),
// "/09", "/garbage", "/long" and "/many" (no HTTP), "/trickle" and "/trickle-head" (never ending);
// any other is closed at once.
void badAnswer(int socket, const std::string& requestHead);

}  // namespace quorvel::testing
