// A small HTTP server for the sample run: serves one folder on 127.0.0.1.
//
// Usage: quorvel_sample_server ROOT [PORT] [--max-seconds N]
// Without a port it takes a free one. Once it listens it prints "PORT <n>" on a line of its
// own. It stops on SIGTERM or SIGINT, and by itself after N seconds (default 600), so that it
// never outlives the script that started it by long. A missing file is answered with status
// 404 and the folder's notfound.htm.
#include <httplib.h>
#include <signal.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream data;
  data << in.rdbuf();
  return data.str();
}

int usage() {
  std::fprintf(stderr, "usage: quorvel_sample_server ROOT [PORT] [--max-seconds N]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string root;
  int port = 0;
  long maxSeconds = 600;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--max-seconds" && i + 1 < argc) {
      maxSeconds = std::strtol(argv[++i], nullptr, 10);
    } else if (root.empty()) {
      root = arg;
    } else if (port == 0) {
      port = std::atoi(arg.c_str());
      if (port <= 0 || port > 65535) return usage();
    } else {
      return usage();
    }
  }
  if (root.empty() || maxSeconds <= 0) return usage();

  // The signals are taken by sigtimedwait below, not by a handler.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  httplib::Server server;
  server.set_tcp_nodelay(true);
  if (!server.set_mount_point("/", root)) {
    std::fprintf(stderr, "quorvel_sample_server: %s is not a folder\n", root.c_str());
    return 1;
  }
  server.set_file_extension_and_mimetype_mapping("htm", "text/html");
  server.set_file_extension_and_mimetype_mapping("mid", "audio/midi");
  const std::string notFound = readFile(root + "/notfound.htm");
  server.set_error_handler([&notFound](const httplib::Request&, httplib::Response& res) {
    if (res.status == 404) res.set_content(notFound, "text/html");
  });

  const int bound = port == 0 ? server.bind_to_any_port("127.0.0.1")
                              : (server.bind_to_port("127.0.0.1", port) ? port : -1);
  if (bound <= 0) {
    std::fprintf(stderr, "quorvel_sample_server: cannot listen on 127.0.0.1\n");
    return 1;
  }
  std::thread listener([&server] { server.listen_after_bind(); });
  std::printf("PORT %d\n", bound);
  std::fflush(stdout);

  timespec limit{static_cast<time_t>(maxSeconds), 0};
  sigtimedwait(&stopSignals, nullptr, &limit);
  server.stop();
  listener.join();
  return 0;
}
