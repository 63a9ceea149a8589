#include "core/number_format.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace quorvel {

namespace {
QChar g_groupOverride;

// Decimal digits of |value| rounded half away from zero to `decimals` places, computed on the
// 15-significant-digit form so that 2.45 shows as 2.5 as a person would expect.
std::string roundedDigits(double value, int decimals, int* intDigits) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
  // buf: d.dddddddddddddde[+-]xx
  std::string mant;
  mant += buf[0];
  mant.append(buf + 2, 14);
  const int exp10 = std::atoi(std::strchr(buf, 'e') + 1);
  // Value = 0.mant * 10^(exp10 + 1). Digits before the point: exp10 + 1.
  int pointPos = exp10 + 1;
  std::string digits;
  if (pointPos <= 0) {
    digits.assign(static_cast<size_t>(-pointPos), '0');
    digits += mant;
    pointPos = 0;
  } else {
    digits = mant;
    if (static_cast<int>(digits.size()) < pointPos + decimals)
      digits.append(static_cast<size_t>(pointPos + decimals - static_cast<int>(digits.size())),
                    '0');
  }
  const int keep = pointPos + decimals;
  if (static_cast<int>(digits.size()) < keep)
    digits.append(static_cast<size_t>(keep - static_cast<int>(digits.size())), '0');
  const bool roundUp =
      static_cast<int>(digits.size()) > keep && digits[static_cast<size_t>(keep)] >= '5';
  digits.resize(static_cast<size_t>(keep));
  if (roundUp) {
    int i = keep - 1;
    for (; i >= 0; --i) {
      if (digits[static_cast<size_t>(i)] == '9') {
        digits[static_cast<size_t>(i)] = '0';
      } else {
        ++digits[static_cast<size_t>(i)];
        break;
      }
    }
    if (i < 0) {
      digits.insert(digits.begin(), '1');
      ++pointPos;
    }
  }
  *intDigits = pointPos;
  return digits;
}
}  // namespace

QChar groupSeparator() {
  if (!g_groupOverride.isNull()) return g_groupOverride;
  static const QChar system = [] {
    const QString sep = QLocale::system().groupSeparator();
    return sep.isEmpty() ? QChar(QLatin1Char(',')) : sep.front();
  }();
  return system;
}

void setGroupSeparatorForTesting(QChar sep) {
  g_groupOverride = sep;
}

QString formatMask(double value, std::string_view mask) {
  if (!std::isfinite(value)) value = 0.0;
  const size_t dot = mask.find('.');
  const std::string_view intMask = mask.substr(0, dot);
  int decimals = 0;
  if (dot != std::string_view::npos)
    for (char c : mask.substr(dot + 1))
      if (c == '0' || c == '#') ++decimals;
  int minInt = 0;
  bool group = false;
  for (char c : intMask) {
    if (c == '0') ++minInt;
    if (c == ',') group = true;
  }

  int intDigits = 0;
  std::string digits;
  if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
    // A whole number (every count, and most times): its digits are exact as they stand.
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(std::fabs(value)));
    digits.assign(buf, r.ptr);
    intDigits = static_cast<int>(digits.size());
    digits.append(static_cast<size_t>(decimals), '0');
  } else {
    digits = roundedDigits(value, decimals, &intDigits);
  }
  std::string intPart = digits.substr(0, static_cast<size_t>(intDigits));
  const std::string fracPart = digits.substr(static_cast<size_t>(intDigits));
  // Strip leading zeros, then pad up to the mask's minimum.
  size_t nz = intPart.find_first_not_of('0');
  intPart = nz == std::string::npos ? std::string() : intPart.substr(nz);
  if (static_cast<int>(intPart.size()) < minInt)
    intPart.insert(0, static_cast<size_t>(minInt - static_cast<int>(intPart.size())), '0');

  QString out;
  const bool negative = value < 0 && (intPart.find_first_not_of('0') != std::string::npos ||
                                      fracPart.find_first_not_of('0') != std::string::npos);
  if (negative) out += QLatin1Char('-');
  const QChar sep = groupSeparator();
  for (size_t i = 0; i < intPart.size(); ++i) {
    if (group && i > 0 && (intPart.size() - i) % 3 == 0) out += sep;
    out += QLatin1Char(intPart[i]);
  }
  if (decimals > 0) {
    out += QLatin1Char('.');
    out += QString::fromLatin1(fracPart.data(), static_cast<qsizetype>(fracPart.size()));
  }
  return out;
}

double dec1(double x) {
  if (!std::isfinite(x)) return 0.0;
  const double scaled = x * 10.0;
  const double fl = std::floor(scaled);
  const double frac = scaled - fl;
  const double tol = 1e-9 * std::max(1.0, std::fabs(scaled));
  double r;
  if (std::fabs(frac - 0.5) <= tol)
    r = std::fmod(fl, 2.0) == 0.0 ? fl : fl + 1.0;
  else
    r = std::round(scaled);
  return r / 10.0;
}

QString padLeft(const QString& text, int n) {
  if (text.size() >= n) return text.right(n);
  return QString(n - text.size(), QLatin1Char(' ')) + text;
}

}  // namespace quorvel
