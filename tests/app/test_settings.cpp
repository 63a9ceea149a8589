#include <QFile>
#include <QFileInfo>

#include "app/settings.h"
#include "app/text_util.h"
#include "common/test_support.h"

namespace quorvel {
namespace {

class SettingsTest : public testing::AppFolderTest {
 protected:
  QString ini() const { return path("Quorvel.ini"); }
};

TEST_F(SettingsTest, MissingFileAndKeyReadEmpty) {
  SettingValue v = ReadSetting(ini(), "URLInfo", "URL1");
  EXPECT_EQ(v.value, "");
  EXPECT_EQ(v.length, 0);
  writeFile("Quorvel.ini", "[URLInfo]\nURLFile=URLS.DAT\n");
  v = ReadSetting(ini(), "URLInfo", "URL1");
  EXPECT_EQ(v.length, 0);
  EXPECT_EQ(ReadSetting(ini(), "urlinfo", "urlfile").value, "URLS.DAT");
}

TEST_F(SettingsTest, HandEditedFileReadsAndKeepsOtherLinesOnWrite) {
  QByteArray junk("\x01\xff\xfe\x00garbage\x80", 12);
  QByteArray original = "; my comment\r\n"
                        "no equals sign here\r\n"
                        "  [ urlinfo ]  \r\n"
                        "  LOGRESULTS   =   1  \r\n"
                        "GetImages=\r\n"
                        "line without equals\r\n" +
                        junk + "\r\n"
                        "[Proxy]\r\n"
                        "Use = 1\r\n"
                        "Address=proxy.example\r\n"
                        "[Ping]\r\n"
                        "Long=" + QByteArray(10 * 1024, 'x') + "\r\n";
  writeFile("Quorvel.ini", original);

  EXPECT_EQ(ReadSetting(ini(), "URLInfo", "LogResults").value, "1");
  EXPECT_EQ(ReadSetting(ini(), "URLInfo", "GetImages").length, 0);
  EXPECT_EQ(ReadSetting(ini(), "proxy", "USE").value, "1");
  const SettingValue longValue = ReadSetting(ini(), "Ping", "Long");
  EXPECT_EQ(longValue.length, kSettingBufferSize - 1);

  ASSERT_TRUE(WriteSetting(ini(), "URLINFO", "GetImages", "0"));
  ASSERT_TRUE(WriteSetting(ini(), "TraceRoute", "WaitTimeout", "2400"));
  ASSERT_TRUE(WriteSetting(ini(), "Proxy", "Port", "8080"));

  const QByteArray after = readFile("Quorvel.ini");
  EXPECT_TRUE(after.contains(junk));
  EXPECT_TRUE(after.contains("; my comment"));
  EXPECT_TRUE(after.contains("no equals sign here"));
  EXPECT_TRUE(after.contains(QByteArray(10 * 1024, 'x')));
  EXPECT_EQ(ReadSetting(ini(), "URLInfo", "GetImages").value, "0");
  EXPECT_EQ(ReadSetting(ini(), "URLInfo", "LogResults").value, "1");
  EXPECT_EQ(ReadSetting(ini(), "Proxy", "Address").value, "proxy.example");
  EXPECT_EQ(ReadSetting(ini(), "Proxy", "Port").value, "8080");
  EXPECT_EQ(ReadSetting(ini(), "TraceRoute", "WaitTimeout").value, "2400");
  // The new key went into its own section, not into another one.
  EXPECT_EQ(ReadSetting(ini(), "Ping", "Port").length, 0);
}

TEST_F(SettingsTest, ValuesWithLineBreaksCannotAddKeys) {
  ASSERT_TRUE(WriteSetting(ini(), "URLInfo", "URL1", "http://a/\r\n[Proxy]\r\nUse=1"));
  EXPECT_EQ(ReadSetting(ini(), "Proxy", "Use").length, 0);
  EXPECT_TRUE(ReadSetting(ini(), "URLInfo", "URL1").value.startsWith("http://a/"));
}

TEST(TextUtil, LeadingNumberAndIsBlank) {
  EXPECT_EQ(leadingNumber(u"12abc"), 12);
  EXPECT_EQ(leadingNumber(u"  -3.5x"), -3.5);
  EXPECT_EQ(leadingNumber(u"x1"), 0);
  EXPECT_EQ(leadingNumber(u""), 0);
  EXPECT_EQ(leadingNumber(u"2e3"), 2000);
  EXPECT_EQ(leadingNumber(u"2e"), 2);
  EXPECT_EQ(leadingNumber(u"."), 0);
  EXPECT_TRUE(IsBlank(u"   "));
  EXPECT_TRUE(IsBlank(u""));
  EXPECT_FALSE(IsBlank(u" a "));
}

}  // namespace
}  // namespace quorvel
