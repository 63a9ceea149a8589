// One FTP download test through the code the FTP window runs (RunFTPTest over CurlFtpClient),
// for scripts/bench-compare.sh: prints the window's report and, on its last line, the
// throughput in kilobits per second as a plain number.
//
//   bench_ftp HOST:PORT/PATH LOCAL_FILE
#include <QCoreApplication>
#include <cstdio>

#include "core/tick.h"
#include "tools/ftp_curl.h"
#include "tools/ftp_download.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_ftp HOST:PORT/PATH LOCAL_FILE\n");
    return 2;
  }
  quorvel::CurlFtpClient client;
  const quorvel::FtpTestResult r =
      quorvel::RunFTPTest(client, QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
  std::printf("%s\n", qPrintable(r.text));
  if (!r.success) return 1;
  std::printf("kbps %.1f\n", static_cast<double>(r.bytes) * 8.0 / quorvel::microsToMs(r.micros));
  return 0;
}
