// The settings file as a person edits it, and the small helpers every window uses. That any
// file reads and writes safely (one key changed, nothing else) is the job of fuzz_settings.
#include <gtest/gtest.h>

#include "common/test_support.h"
#include "core/number_format.h"
#include "core/settings.h"
#include "core/tick.h"

namespace quorvel {
namespace {

class SettingsTest : public testing::AppFolderTest {};

TEST_F(SettingsTest, HandEditedFileReadsAndKeepsItsOtherLines) {
  const QString ini = path("Quorvel.ini");
  EXPECT_EQ(ReadSetting(ini, "URLInfo", "URL1").length, 0);  // no file yet
  const QByteArray junk("\x01\xff\xfe\x00garbage\x80", 12);
  writeFile("Quorvel.ini",
            "; my comment\r\n  [ urlinfo ]  \r\n  LOGRESULTS   =   1  \r\n"
            "GetImages=\r\nline without equals\r\n" +
                junk +
                "\r\n[Proxy]\r\n"
                "Use = 1\r\n[Ping]\r\nLong=" +
                QByteArray(10 * 1024, 'x') + "\r\n");
  // Names in any case and with blanks around them; values trimmed; 259 characters at most.
  EXPECT_EQ(ReadSetting(ini, "URLInfo", "LogResults").value, "1");
  EXPECT_EQ(ReadSetting(ini, "URLInfo", "GetImages").length, 0);
  EXPECT_EQ(ReadSetting(ini, "proxy", "USE").value, "1");
  EXPECT_EQ(ReadSetting(ini, "Ping", "Long").length, kSettingBufferSize - 1);

  ASSERT_TRUE(WriteSetting(ini, "URLINFO", "GetImages", "0"));
  ASSERT_TRUE(WriteSetting(ini, "TraceRoute", "WaitTimeout", "2400"));
  const QByteArray after = readFile("Quorvel.ini");
  for (const QByteArray& kept : {junk, QByteArray("; my comment"),
                                 QByteArray("line without equals"), QByteArray(10 * 1024, 'x')})
    EXPECT_TRUE(after.contains(kept)) << kept.constData();
  EXPECT_EQ(ReadSetting(ini, "URLInfo", "GetImages").value, "0");
  EXPECT_EQ(ReadSetting(ini, "TraceRoute", "WaitTimeout").value, "2400");
  EXPECT_EQ(ReadSetting(ini, "Ping", "WaitTimeout").length, 0);  // in its own section
}

TEST(Helpers, NumbersAsTheWindowsAndLogsShowThem) {
  // (Numbers read from boxes, blank texts, the rounding and cutting of the log fields are met
  // where the windows and logs use them.)
  setGroupSeparatorForTesting(QLatin1Char(','));
  const std::tuple<double, const char*, const char*> masks[] = {
      {2.5, "##0", "3"},  // halves away from zero
      {-2.5, "##0", "-3"},
      {2.45, "##0.0", "2.5"},
      {-0.04, "##0.0", "0.0"},
      {99.96, "##0.0", "100.0"},
      {999.5, "#,##0", "1,000"},
      {2500000, "###,###,##0", "2,500,000"},
      {5e12, "#####0", "5000000000000"},
  };
  for (const auto& [value, mask, text] : masks) EXPECT_EQ(formatMask(value, mask), text) << mask;
  setGroupSeparatorForTesting(QLatin1Char('.'));  // the locale's separator
  EXPECT_EQ(formatMask(1234567.0, "#,##0"), "1.234.567");
  setGroupSeparatorForTesting(QChar());
  EXPECT_EQ(ticksBetween(0xFFFFFFF0u, 0x10u), 0x20u);
}

}  // namespace
}  // namespace quorvel
