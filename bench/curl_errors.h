// The error numbers of the Internet access layer for libcurl's failures.
#pragma once

#include <curl/curl.h>

namespace quorvel {

// The error number for a failed transfer: `code` is libcurl's result, `osError` the errno it
// recorded (CURLINFO_OS_ERRNO), 0 when none. CURLE_OK gives 0.
int InternetErrorFromCurl(CURLcode code, long osError);

}  // namespace quorvel
