// One FTP download test: log in anonymously, fetch one remote file into a local file, time
// the retrieval and report bytes, seconds and throughput as lines of text.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

#include "tools/ftp_client.h"

namespace quorvel {

// The user name and password of every log-in.
QString FtpUser();
QString FtpPassword();

struct FtpTestResult {
  QString text;                // the whole report, lines separated by '\n'
  bool success = false;        // the file arrived
  bool connected = false;      // the log-in succeeded (a failure is then one of the transfer)
  int error = 0;               // the FTP error number of the failure, 0 on success
  QString server, remoteFile;  // the entry split as GetFTPParms does
  std::int64_t bytes = 0;
  std::int64_t micros = 0;  // the retrieval, timed with the monotonic microsecond clock
};

// Runs the test for `entry` (see GetFTPParms) into `localFile`, which is deleted first.
// `show` receives the report so far before the log-in and before the retrieval.
FtpTestResult RunFTPTest(FtpClient& client, const QString& entry, const QString& localFile,
                         const std::function<void(const QString&)>& show = {});

// "1,000,000 bytes transferred in 2.0 secs".
QString FtpBytesLine(std::int64_t bytes, std::int64_t micros);

// "4,000.0 Kbps" (kilobits of 1,000 bits per second), or "0 Kbps" when bytes or time is 0.
QString FtpThroughputText(std::int64_t bytes, std::int64_t micros);

}  // namespace quorvel
