// Faults the fuzz targets found, each kept from coming back by a plain test as well.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "stats/chart_file.h"

namespace quorvel {
namespace {

// Throughputs too large for a double to hold their seven-digit rounding were written with the
// double's whole binary expansion (39 digits) instead of seven digits and zeros.
TEST(FuzzFindings, ChartNumbersOfAnySizeKeepSevenDigits) {
  for (const float v :
       {-2.38415668e38f, 3.4028235e38f, 1.2345678e20f, 9.9999999e15f, 16777217.0f, 12345678.0f}) {
    const QString text = shortestSingle(v);
    QString digits = QString(text).remove(u'-');
    while (digits.endsWith(u'0')) digits.chop(1);
    EXPECT_LE(digits.remove(u'.').size(), 7) << text.toStdString();
    EXPECT_FALSE(text.contains(u'e'));
    EXPECT_LE(std::fabs(std::strtod(text.toLatin1().constData(), nullptr) - double(v)),
              5e-7 * std::fabs(double(v)))
        << text.toStdString();
  }
  EXPECT_EQ(shortestSingle(-2.38415668e38f), "-238415700000000000000000000000000000000");
}

}  // namespace
}  // namespace quorvel
