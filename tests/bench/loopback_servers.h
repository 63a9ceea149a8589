// Servers on 127.0.0.1 for the tests of the Internet access layer: a real HTTP server
// (cpp-httplib) on a thread, and a bare TCP server whose replies a test writes byte by byte
// (for servers that stall, cut or reset their connections).
#pragma once

#include <httplib.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace quorvel::testing {

class HttpTestServer {
 public:
  HttpTestServer();  // routes are added to server() before start()
  ~HttpTestServer();
  httplib::Server& server() { return server_; }
  void start();
  int port() const { return port_; }
  std::string url(const std::string& path) const;

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

// Accepts connections one after the other; for each it reads the request head and calls the
// handler with the connected socket (which it closes afterwards unless the handler did).
class RawTestServer {
 public:
  using Handler = std::function<void(int socket, const std::string& requestHead)>;
  explicit RawTestServer(Handler handler);
  ~RawTestServer();
  int port() const { return port_; }
  std::string url(const std::string& path) const;

  // Helpers for handlers.
  static void sendAll(int socket, const std::string& data);
  // Waits until the client closes the connection, at most `seconds`.
  static void waitForClose(int socket, int seconds);
  // Makes the coming close send a reset (RST) rather than an orderly end.
  static void resetConnection(int socket);

 private:
  void run();
  Handler handler_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A loopback port on which nothing listens (bound for a moment, then released).
int UnusedLoopbackPort();

// Whether something accepts connections on the loopback port.
bool LoopbackPortOpen(int port);

}  // namespace quorvel::testing
