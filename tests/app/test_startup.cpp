// The start-up rules: what the settings file, the command line and debug.txt switch on.
#include <QCheckBox>

#include "core/app_state.h"
#include "app/frm_quorvel.h"
#include "core/settings.h"
#include "app/startup.h"
#include "common/test_support.h"

namespace quorvel {
namespace {

class StartupTest : public testing::AppFolderTest {};

TEST_F(StartupTest, CheckBoxesAndProxyFromTheSettingsFile) {
  struct Case {
    QByteArray ini;
    const char* boxes;  // logging, images, sounds, URL file
    int proxyUse;
  };
  const Case cases[] = {
      {"", "0110", 0},
      {"[URLInfo]\nGetImages=\nGetSounds=1\n", "0110", 0},
      {"[URLInfo]\nGetImages=0\nGetSounds=2\n", "0000", 0},  // only 1 (or nothing) is on
      {"[URLInfo]\nGetImages=x\nGetSounds= 1 \n", "0010", 0},
      {"[URLInfo]\nLogResults=2\nUseURLFile=-1\n", "1111", 0},  // any number but 0 is on
      {"[URLInfo]\nLogResults=abc\nUseURLFile=0\n", "0110", 0},
      {"; mine\r\n[Proxy]\r\nUse=1\r\nAddress=proxy.lan\r\nPort=3128\r\n", "0110", 1},
      {"[Proxy]\nUse=yes\n", "0110", 0},
      {"[Proxy]\nUse=99999999999\n", "0110", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini.constData());
    writeFile("Quorvel.ini", c.ini);
    const WindowChoices w = LoadStartupState(QString());
    const QString boxes = QStringLiteral("%1%2%3%4")
                              .arg(w.logResults)
                              .arg(w.getImages)
                              .arg(w.getSounds)
                              .arg(w.useUrlFile);
    EXPECT_EQ(boxes, c.boxes);
    EXPECT_EQ(appState().ProxyUse, c.proxyUse);
    EXPECT_EQ(readFile("Quorvel.ini"), c.ini);  // an existing file is left as it is
  }
  writeFile("Quorvel.ini", cases[6].ini);
  LoadStartupState(QString());
  EXPECT_EQ(appState().ProxyAddress + ":" + appState().ProxyPort, "proxy.lan:3128");
}

TEST_F(StartupTest, CommandWordsAndDebugFile) {
  const auto flags = [] {
    return QStringLiteral("%1%2%3")
        .arg(appState().debug1)
        .arg(appState().debug2)
        .arg(appState().autoMode);
  };
  const std::pair<const char*, const char*> words[] = {
      {"x Debug12 y", "100"}, {"DEBUG2 autorun", "011"}, {"", "000"}};
  for (const auto& [line, want] : words) {
    const CommandWords c = ParseCommandWords(QString::fromLatin1(line));
    EXPECT_EQ(QStringLiteral("%1%2%3").arg(c.debug1).arg(c.debug2).arg(c.autoMode), want) << line;
  }
  // A first line of debug.txt that begins with "on" switches on the second level...
  writeFile("debug.txt", "  On please\r\nmore\n");
  LoadStartupState(QString());
  EXPECT_EQ(flags(), "010");
  // ...unless a debug word on the command line says otherwise.
  resetAppState(dir_.path());
  LoadStartupState(QStringLiteral("debug1"));
  EXPECT_EQ(flags(), "100");
  for (const QByteArray& first : {QByteArray("off\n"), QByteArray("\non\n"), QByteArray("o")}) {
    resetAppState(dir_.path());
    writeFile("debug.txt", first);
    LoadStartupState(QString());
    EXPECT_EQ(flags(), "000") << first.constData();
  }
}

// A file saved by an editor with a byte-order mark, or with the line ends of another system:
// the window shows what it holds, and closing it keeps the mark, the line ends and one section.
TEST_F(StartupTest, ByteOrderMarkAndEveryLineEndReadAndKept) {
  const QByteArray bom = "\xEF\xBB\xBF";
  for (const QByteArray& eol : {QByteArray("\r"), QByteArray("\r\n"), QByteArray("\n")}) {
    SCOPED_TRACE(eol == "\r" ? "CR" : eol == "\n" ? "LF" : "CR LF");
    resetAppState(dir_.path());
    writeFile("Quorvel.ini", bom + "[URLInfo]" + eol + "LogResults=1" + eol + "GetImages=0" + eol +
                                 "URL1=http://127.0.0.1/a.htm" + eol + "[Proxy]" + eol + "Use=1" +
                                 eol);
    {
      frmQuorvel w;
      w.show();
      EXPECT_TRUE(testing::widget<QCheckBox>(&w, "chkLoggingOn")->isChecked());
      EXPECT_FALSE(testing::widget<QCheckBox>(&w, "chkImagesOn")->isChecked());
      EXPECT_EQ(testing::shown(&w, "cboURLToUse"), "http://127.0.0.1/a.htm");
      EXPECT_EQ(appState().ProxyUse, 1);
      EXPECT_TRUE(w.close());
    }
    const QByteArray after = readFile("Quorvel.ini");
    EXPECT_TRUE(after.startsWith(bom + "[URLInfo]" + eol)) << after.constData();
    EXPECT_EQ(after.count("[URLInfo]"), 1) << after.constData();
    EXPECT_TRUE(after.contains("UseURLFile=0" + eol)) << after.constData();
    EXPECT_FALSE(QByteArray(after).replace(eol, "").contains('\r') ||
                 QByteArray(after).replace(eol, "").contains('\n'))
        << "only the file's own line end";
    EXPECT_EQ(ReadSetting(path("Quorvel.ini"), "URLInfo", "GetImages").value, "0");
  }
}

}  // namespace
}  // namespace quorvel
