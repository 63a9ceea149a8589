#include "loopback_servers.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <chrono>
#include <map>
#include <stdexcept>

#include "common/loopback_port.h"

namespace quorvel::testing {

TestAuthority::TestAuthority() {
  if (!dir_.isValid()) return;
  QFile ext(QString::fromStdString(path("server.ext")));
  if (!ext.open(QIODevice::WriteOnly)) return;
  ext.write("basicConstraints=CA:FALSE\nsubjectAltName=IP:127.0.0.1\n");
  ext.close();
  const QStringList ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
  const QList<QStringList> steps{
      QStringList{"req", "-x509"} + ec +
          QStringList{"-keyout", "ca.key", "-out", "ca.crt", "-days", "2", "-subj",
                      "/CN=Quorvel Test CA"},
      QStringList{"req"} + ec +
          QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"},
      QStringList{"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
                  "-CAcreateserial", "-out", "server.crt", "-days", "2", "-extfile", "server.ext"}};
  for (const QStringList& args : steps) {
    QProcess openssl;
    openssl.setWorkingDirectory(dir_.path());
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), args);
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0)
      return;
  }
  ok_ = true;
}

std::string TestAuthority::path(const char* name) const {
  return (dir_.path() + QLatin1Char('/') + QLatin1String(name)).toStdString();
}

HttpTestServer::HttpTestServer(const TestAuthority* tls) : tls_(tls != nullptr) {
  if (tls)
    server_ = std::make_unique<httplib::SSLServer>(tls->certFile().c_str(), tls->keyFile().c_str());
  else
    server_ = std::make_unique<httplib::Server>();
  server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
    std::lock_guard<std::mutex> lock(mutex_);
    targets_ << QString::fromStdString(req.target);
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server_->set_keep_alive_max_count(100000);
  server_->set_tcp_nodelay(true);  // else every answer waits for the client's delayed ACK
}

void HttpTestServer::start(const std::string& address, int port) {
  port_ = port == 0 ? server_->bind_to_any_port(address)
                    : (server_->bind_to_port(address, port) ? port : -1);
  if (port_ <= 0) throw std::runtime_error("cannot bind a loopback port");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  for (int i = 0; i < 500 && !server_->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

HttpTestServer::~HttpTestServer() {
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

void HttpTestServer::page(const std::string& path, const std::string& body, const std::string& type,
                          int status) {
  server_->Get(path, [=](const httplib::Request&, httplib::Response& res) {
    res.status = status;
    res.set_content(body, type);
  });
}

QString HttpTestServer::url(const std::string& path) const {
  return QString::fromStdString((tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") +
                                std::to_string(port_) + path);
}

QStringList HttpTestServer::targets() {
  std::lock_guard<std::mutex> lock(mutex_);
  return targets_;
}

RawTestServer::RawTestServer(Handler handler) : handler_(std::move(handler)) {
  quint16 port = 0;
  listener_ = boundLoopbackSocket(&port);
  if (listener_ < 0 || ::listen(listener_, 16) != 0) throw std::runtime_error("cannot listen");
  port_ = port;
  thread_ = std::thread([this] { run(); });
}

RawTestServer::~RawTestServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  ::close(listener_);
}

QString RawTestServer::url(const std::string& path) const {
  return QString::fromStdString("http://127.0.0.1:" + std::to_string(port_) + path);
}

void RawTestServer::run() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    // The request head, up to its empty line (or 5 s).
    std::string head;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (head.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < until) {
      pollfd q{fd, POLLIN, 0};
      if (::poll(&q, 1, 50) <= 0) continue;
      char buf[4096];
      const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      head.append(buf, size_t(n));
    }
    int socket = fd;
    handler_(socket, head);
    ::close(socket);  // with SO_LINGER 0 set by the handler, this sends the reset
  }
}

void RawTestServer::sendAll(int socket, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = ::send(socket, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += size_t(n);
  }
}

void RawTestServer::waitForClose(int socket, int seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < until) {
    pollfd q{socket, POLLIN, 0};
    if (::poll(&q, 1, 50) <= 0) continue;
    char buf[4096];
    if (::recv(socket, buf, sizeof buf, 0) <= 0) return;
  }
}

void RawTestServer::resetConnection(int socket) {
  linger l{1, 0};
  ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

void RawTestServer::trickle(int socket, bool inHead, std::chrono::milliseconds every, int count,
                            const std::atomic<bool>* stop) {
  sendAll(socket,
          inHead ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 200 OK\r\nContent-Length: 99999\r\n\r\n");
  for (int i = 0; i < count && !(stop && *stop); ++i) {
    std::this_thread::sleep_for(every);
    if (::send(socket, inHead ? "X-A: b\r\n" : "t", inHead ? 8 : 1, MSG_NOSIGNAL) <= 0) return;
  }
}

void badAnswer(int s, const std::string& head) {
  using namespace std::chrono_literals;
  const std::string route = head.substr(4, head.find(' ', 4) - 4);
  const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
  const std::string close = "Connection: close\r\nContent-Length: ";
  std::string many = "HTTP/1.1 200 OK\r\n";
  for (int i = 0; i < 40000; ++i) many += "X-A: b\r\n";
  const std::map<std::string, std::string> answers = {
      {"/good", "HTTP/1.1 200 OK\r\n" + close + "5\r\n\r\nhello"},
      {"/404", "HTTP/1.1 404 Not Found\r\n" + close + "7\r\n\r\nmissing"},
      {"/gone", "HTTP/1.1 200 OK\r\n" + close + "24\r\n\r\n<TITLE>not found</TITLE>"},
      {"/stall", ok},
      {"/cut", ok + std::string(10000, 'r')},
      {"/reset", ok + std::string(10000, 'r')},
      {"/slow", "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\nslow"},
      {"/09", "hello, no status line\r\n\r\nbody"},
      {"/garbage", "HTTP/1.1 abc def\r\n\r\nbody"},
      {"/long", "HTTP/1.1 200 OK\r\nX-Long: " + std::string(200000, 'a') + "\r\n\r\nbody"},
      {"/many", many + "\r\nbody"}};
  if (route.rfind("/trickle", 0) == 0)
    return RawTestServer::trickle(s, route == "/trickle-head", 100ms, 100);
  if (answers.count(route)) RawTestServer::sendAll(s, answers.at(route));
  if (route == "/silent" || route == "/stall") RawTestServer::waitForClose(s, 10);
  if (route == "/slow") {
    std::this_thread::sleep_for(400ms);
    RawTestServer::sendAll(s, "body");
  }
  if (route == "/reset") {
    std::this_thread::sleep_for(200ms);
    RawTestServer::resetConnection(s);
  }
}

}  // namespace quorvel::testing
