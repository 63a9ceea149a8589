#include "core/limit_setting.h"

#include <cmath>

#include "core/settings.h"
#include "core/text_util.h"

namespace quorvel {

namespace {

bool beginsWithNumber(const QString& text) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return false;
  const QChar c = t.front();
  const QChar next = t.size() > 1 ? t.at(1) : QChar();
  return c.isDigit() || ((c == QLatin1Char('.') || c == QLatin1Char('+')) && next.isDigit());
}

}  // namespace

std::chrono::milliseconds LimitSetting(const QString& settingsPath, const QString& section,
                                       const QString& key, int defaultSeconds) {
  const SettingValue v = ReadSetting(settingsPath, section, key);
  double seconds = defaultSeconds;
  if (beginsWithNumber(v.value)) {
    const double n = leadingNumber(v.value);
    if (std::isfinite(n) && n >= 0) seconds = n;
  }
  // About 24 days at most, the longest time libcurl takes.
  constexpr double kLongest = 2'000'000.0;
  if (seconds > kLongest) seconds = kLongest;
  return std::chrono::milliseconds(static_cast<long long>(std::llround(seconds * 1000.0)));
}

std::chrono::milliseconds RequestLimitSetting(const QString& settingsPath) {
  return LimitSetting(settingsPath, QStringLiteral("URLInfo"), QStringLiteral("RequestLimit"),
                      kDefaultRequestLimitSeconds);
}

std::chrono::milliseconds TransferLimitSetting(const QString& settingsPath) {
  return LimitSetting(settingsPath, QStringLiteral("FTP"), QStringLiteral("TransferLimit"),
                      kDefaultRequestLimitSeconds);
}

}  // namespace quorvel
