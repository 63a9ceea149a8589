#include <gtest/gtest.h>

#include "app/number_format.h"
#include "app/tick.h"

namespace quorvel {
namespace {

class NumberFormat : public ::testing::Test {
 protected:
  void SetUp() override { setGroupSeparatorForTesting(QLatin1Char(',')); }
  void TearDown() override { setGroupSeparatorForTesting(QChar()); }
};

TEST_F(NumberFormat, MasksRoundHalvesAwayFromZero) {
  EXPECT_EQ(formatMask(1234567, "#####0"), "1234567");
  EXPECT_EQ(formatMask(0, "#####0"), "0");
  EXPECT_EQ(formatMask(0.5, "##0"), "1");
  EXPECT_EQ(formatMask(2.5, "##0"), "3");
  EXPECT_EQ(formatMask(-2.5, "##0"), "-3");
  EXPECT_EQ(formatMask(1.25, "##0.0"), "1.3");
  EXPECT_EQ(formatMask(2.45, "##0.0"), "2.5");
  EXPECT_EQ(formatMask(0.04, "##0.0"), "0.0");
  EXPECT_EQ(formatMask(-0.04, "##0.0"), "0.0");
  EXPECT_EQ(formatMask(99.96, "##0.0"), "100.0");
  EXPECT_EQ(formatMask(1234567.0, "#,##0"), "1,234,567");
  EXPECT_EQ(formatMask(999.5, "#,##0"), "1,000");
  EXPECT_EQ(formatMask(2000.0, "###,##0.0"), "2,000.0");
  EXPECT_EQ(formatMask(2500000, "###,###,##0"), "2,500,000");
  EXPECT_EQ(formatMask(0.25, "#,##0"), "0");
  EXPECT_EQ(formatMask(5e12, "#####0"), "5000000000000");
}

TEST_F(NumberFormat, GroupSeparatorFollowsLocale) {
  setGroupSeparatorForTesting(QLatin1Char('.'));
  EXPECT_EQ(formatMask(1234567.0, "#,##0"), "1.234.567");
  EXPECT_EQ(formatMask(1234.5, "###0.0"), "1234.5");
}

TEST_F(NumberFormat, Dec1HalvesToEven) {
  EXPECT_DOUBLE_EQ(dec1(1.25), 1.2);
  EXPECT_DOUBLE_EQ(dec1(1.35), 1.4);
  EXPECT_DOUBLE_EQ(dec1(0.05), 0.0);
  EXPECT_DOUBLE_EQ(dec1(0.15), 0.2);
  EXPECT_DOUBLE_EQ(dec1(100.04), 100.0);
  EXPECT_DOUBLE_EQ(dec1(-1.25), -1.2);
}

TEST_F(NumberFormat, PadKeepsRightmostCharacters) {
  EXPECT_EQ(padLeft("1234567", 6), "234567");
  EXPECT_EQ(padLeft("12", 5), "   12");
  EXPECT_EQ(padLeft("", 2), "  ");
}

TEST(Tick, DifferenceSurvivesWrapAround) {
  EXPECT_EQ(ticksBetween(0xFFFFFFF0u, 0x10u), 0x20u);
  const auto a = tickCount();
  const auto b = tickCount();
  EXPECT_LE(ticksBetween(a, b), 1000u);
}

}  // namespace
}  // namespace quorvel
