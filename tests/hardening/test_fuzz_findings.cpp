// Faults the fuzz targets found, each kept from coming back by a plain test as well.
#include <gtest/gtest.h>

#include <QString>
#include <cmath>
#include <cstdlib>

#include "stats/chart_file.h"

namespace quorvel {
namespace {

int significantDigits(QString s) {
  s.remove(u'-').remove(u'.');
  qsizetype first = 0, last = s.size() - 1;
  while (first < s.size() && s[first] == u'0') ++first;
  while (last >= first && s[last] == u'0') --last;
  return int(last - first + 1);
}

// Throughputs too large for a double to hold their seven-digit rounding were written with
// the double's whole binary expansion (39 digits) instead of seven digits and zeros.
TEST(FuzzFindings, ChartNumbersOfAnySizeKeepSevenDigits) {
  for (const float v : {-2.38415668e38f, 3.4028235e38f, 1.2345678e20f, 9.9999999e15f, 123456789.0f,
                        16777217.0f, 1.0e7f, 12345678.0f}) {
    const QString text = shortestSingle(v);
    SCOPED_TRACE(text.toStdString());
    EXPECT_LE(significantDigits(text), 7);
    EXPECT_FALSE(text.contains(u'e'));
    const double back = std::strtod(text.toLatin1().constData(), nullptr);
    EXPECT_LE(std::fabs(back - double(v)), 5e-7 * std::fabs(double(v)));
  }
  EXPECT_EQ(shortestSingle(-2.38415668e38f),
            QStringLiteral("-238415700000000000000000000000000000000"));
  EXPECT_EQ(shortestSingle(123456789.0f), QStringLiteral("123456800"));
}

}  // namespace
}  // namespace quorvel
