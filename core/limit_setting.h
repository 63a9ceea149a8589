// Time limits that a user may set in the settings file, in seconds: the longest time a whole
// benchmark request (URLInfo/RequestLimit) or FTP transfer (FTP/TransferLimit) may take.
//
// A missing key, or a value that does not begin with a number, or a negative one, gives the
// default; 0 means no limit; fractions are allowed.
#pragma once

#include <QString>
#include <chrono>

namespace quorvel {

inline constexpr int kDefaultRequestLimitSeconds = 300;

// 0 ms for no limit.
std::chrono::milliseconds LimitSetting(const QString& settingsPath, const QString& section,
                                       const QString& key, int defaultSeconds);

std::chrono::milliseconds RequestLimitSetting(const QString& settingsPath);   // URLInfo
std::chrono::milliseconds TransferLimitSetting(const QString& settingsPath);  // FTP

}  // namespace quorvel
