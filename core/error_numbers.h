// The error numbers the program sets itself, by name. Their sentences are in one table
// (InternetErrorText, bench/internet_errors.cpp); numbers outside it read "Error details not
// available.".
#pragma once

namespace quorvel::err {

inline constexpr int kNone = 0;
inline constexpr int kNoMoreHandles = 12001;  // no handle could be made, memory ran out
inline constexpr int kTimedOut = 12002;       // connect, idle or overall limit reached
inline constexpr int kExtendedError = 12003;  // the server's reply refused the request
inline constexpr int kInternalError = 12004;  // anything else
inline constexpr int kInvalidUrl = 12005;
inline constexpr int kUnrecognizedScheme = 12006;  // also a redirect to a scheme not followed
inline constexpr int kNameNotResolved = 12007;
inline constexpr int kFtpUserRefused = 12013;
inline constexpr int kFtpPasswordRefused = 12014;
inline constexpr int kLoginFailed = 12015;
inline constexpr int kCancelled = 12017;             // Cancel ended the request
inline constexpr int kIncorrectHandleState = 12019;  // no session, or no URL open
inline constexpr int kCannotConnect = 12029;         // refused, unreachable, TLS that failed
inline constexpr int kConnectionClosed = 12030;
inline constexpr int kConnectionReset = 12031;
inline constexpr int kInvalidServerResponse = 12152;  // an answer that is not HTTP

inline constexpr int kNotFoundPage = 991;  // the run's own: a page the server did not have

// The FTP test's local file.
inline constexpr int kAccessDenied = 5;  // cannot be created
inline constexpr int kWriteFault = 29;   // cannot be written
inline constexpr int kDiskFull = 112;    // the disk is full

}  // namespace quorvel::err
