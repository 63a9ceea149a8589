// libcurl's results as the program's error numbers (bench/error_numbers.h): one table for the
// Internet access layer and the FTP test alike, and the one start of the library.
#pragma once

#include <curl/curl.h>

#include <QByteArray>

namespace quorvel {

// Starts libcurl once for the whole process (any thread); false when it cannot start.
bool CurlGlobalInit();

// The error number for a failed transfer: `code` is libcurl's result, `osError` the errno it
// recorded (CURLINFO_OS_ERRNO), 0 when none. CURLE_OK gives 0.
int InternetErrorFromCurl(CURLcode code, long osError);

// The same for the FTP test, whose log-in refusals tell which command was refused:
// `lastCommand` is the last command sent on the control connection ("USER", "PASS", ...).
int FtpErrorFromCurl(CURLcode code, const QByteArray& lastCommand, long osError);

}  // namespace quorvel
