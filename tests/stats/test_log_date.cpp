#include <gtest/gtest.h>

#include "stats/log_date.h"

namespace quorvel {
namespace {

TEST(LogDate, LogDatesReadThroughTheYearWindow) {
  EXPECT_EQ(parseLogDate("01-05-03"), QDate(2003, 1, 5));
  EXPECT_EQ(parseLogDate("12-31-99"), QDate(1999, 12, 31));
  EXPECT_EQ(parseLogDate("01-01-70"), QDate(1970, 1, 1));
  EXPECT_EQ(parseLogDate("12-31-69"), QDate(2069, 12, 31));
  EXPECT_EQ(parseLogDate("02-29-00"), QDate(2000, 2, 29));  // 2000 was a leap year
  EXPECT_EQ(parseLogDate("12-06-26 23:59"), QDate(2026, 12, 6));
  for (const char* bad : {"02-30-03", "13-01-03", "00-10-03", "01-00-03", "02-29-03", "1-05-03 ",
                          "01/05/03", "ab-cd-ef", "01-05-0", "", "  -  -  "})
    EXPECT_FALSE(parseLogDate(bad).has_value()) << bad;
}

TEST(LogDate, UserDatesAcceptTheUsualForms) {
  const QDate d(2003, 1, 5);
  for (const char* ok : {"01/05/2003", "1/5/2003", "01-05-03", "1-5-03", "01/05/03", "01.05.2003",
                         " 01/05/2003 ", "2003-01-05"})
    EXPECT_EQ(parseUserDate(QString::fromLatin1(ok)), d) << ok;
  EXPECT_EQ(parseUserDate(QStringLiteral("12/31/99")), QDate(1999, 12, 31));
  for (const char* bad : {"", "abc", "13/01/2003", "02/30/2003", "01/05/203", "01/05-2003",
                          "01/05/2003x", "5 Jan 2003", "0/0/0000", "1/2"})
    EXPECT_FALSE(parseUserDate(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST(LogDate, LimitChecks) {
  const QDate today(2026, 12, 6);
  QDate d;
  EXPECT_EQ(checkDateLimit(QStringLiteral("  "), today, &d), DateLimitCheck::Empty);
  EXPECT_EQ(checkDateLimit(QStringLiteral("12/06/2026"), today, &d), DateLimitCheck::Valid);
  EXPECT_EQ(d, today);
  EXPECT_EQ(checkDateLimit(QStringLiteral("12/07/2026"), today, &d), DateLimitCheck::Future);
  EXPECT_EQ(checkDateLimit(QStringLiteral("12-07-26"), today, &d), DateLimitCheck::Future);
  EXPECT_EQ(checkDateLimit(QStringLiteral("12/32/2026"), today, &d), DateLimitCheck::Invalid);
}

}  // namespace
}  // namespace quorvel
