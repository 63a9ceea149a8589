#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "app/app_state.h"
#include "app/frm_quorvel.h"
#include "app/settings.h"
#include "app/startup.h"
#include "common/test_support.h"

namespace quorvel {
namespace {

class StartupTest : public testing::AppFolderTest {
 protected:
  void writeIni(const QByteArray& body) { writeFile("Quorvel.ini", body); }
  QString setting(const char* section, const char* key) const {
    return ReadSetting(appState().settingsPath, section, key).value;
  }
};

TEST_F(StartupTest, FreshFolderCreatesTwoLineSettingsFileAndShowsDefaults) {
  frmQuorvel w;
  EXPECT_EQ(readFile("Quorvel.ini"), QByteArray("[URLInfo]\nURLFile=URLS.DAT\n"));
  EXPECT_FALSE(w.findChild<QCheckBox*>("chkLoggingOn")->isChecked());
  EXPECT_TRUE(w.findChild<QCheckBox*>("chkImagesOn")->isChecked());
  EXPECT_TRUE(w.findChild<QCheckBox*>("chkSoundsOn")->isChecked());
  EXPECT_FALSE(w.findChild<QCheckBox*>("chkUseURLFile")->isChecked());
  EXPECT_EQ(w.findChild<QLineEdit*>("txtIterations")->text(), "1");
  EXPECT_EQ(w.findChild<QLineEdit*>("txtStatus")->text(), "");
  auto* box = w.findChild<QComboBox*>("cboURLToUse");
  EXPECT_EQ(box->currentText(), "");
  EXPECT_EQ(box->count(), 0);
  EXPECT_TRUE(box->isEnabled());
  EXPECT_EQ(appState().ProxyUse, 0);
  EXPECT_FALSE(appState().autoMode);
  EXPECT_EQ(appState().iterations, 1);
}

TEST_F(StartupTest, AnExistingSettingsFileIsLeftAsItIs) {
  writeIni("; mine\r\n[Proxy]\r\nUse=1\r\nAddress=proxy.lan\r\nPort=3128\r\n");
  LoadStartupState(QString());
  EXPECT_EQ(readFile("Quorvel.ini"),
            "; mine\r\n[Proxy]\r\nUse=1\r\nAddress=proxy.lan\r\nPort=3128\r\n");
  EXPECT_EQ(appState().ProxyUse, 1);
  EXPECT_EQ(appState().ProxyAddress, "proxy.lan");
  EXPECT_EQ(appState().ProxyPort, "3128");

  writeIni("[Proxy]\nUse=yes\n");
  LoadStartupState(QString());
  EXPECT_EQ(appState().ProxyUse, 0);
  writeIni("[Proxy]\nUse=99999999999\n");
  LoadStartupState(QString());
  EXPECT_EQ(appState().ProxyUse, 0);
}

TEST_F(StartupTest, CheckBoxRules) {
  struct Case {
    QByteArray line;  // in [URLInfo]
    bool on;
  };
  const Case images[] = {{"", true},
                         {"GetImages=", true},
                         {"GetImages=1", true},
                         {"GetImages=0", false},
                         {"GetImages=2", false},
                         {"GetImages=x", false},
                         {"GetImages= 1 ", true}};
  for (const Case& c : images) {
    writeIni("[URLInfo]\n" + c.line + "\n" + QByteArray(c.line).replace("Images", "Sounds") + "\n");
    const WindowChoices w = LoadStartupState(QString());
    EXPECT_EQ(w.getImages, c.on) << c.line.constData();
    EXPECT_EQ(w.getSounds, c.on) << c.line.constData();
    EXPECT_EQ(appState().getImages, c.on);
  }
  const Case logging[] = {{"", false},
                          {"LogResults=0", false},
                          {"LogResults=1", true},
                          {"LogResults=2", true},
                          {"LogResults=-1", true},
                          {"LogResults=abc", false}};
  for (const Case& c : logging) {
    writeIni("[URLInfo]\n" + c.line + "\n" +
             QByteArray(c.line).replace("LogResults", "UseURLFile") + "\n");
    const WindowChoices w = LoadStartupState(QString());
    EXPECT_EQ(w.logResults, c.on) << c.line.constData();
    EXPECT_EQ(w.useUrlFile, c.on) << c.line.constData();
  }
}

TEST_F(StartupTest, AutoSwitchesEveryCheckBoxOn) {
  writeIni("[URLInfo]\nLogResults=0\nGetImages=0\nGetSounds=2\nUseURLFile=0\n");
  frmQuorvel w(QStringLiteral("AUTO"));
  w.setRunFunction([](RunView&) {});
  EXPECT_TRUE(appState().autoMode);
  EXPECT_TRUE(w.findChild<QCheckBox*>("chkLoggingOn")->isChecked());
  EXPECT_TRUE(w.findChild<QCheckBox*>("chkImagesOn")->isChecked());
  EXPECT_TRUE(w.findChild<QCheckBox*>("chkSoundsOn")->isChecked());
  EXPECT_TRUE(w.findChild<QCheckBox*>("chkUseURLFile")->isChecked());
  EXPECT_FALSE(w.findChild<QComboBox*>("cboURLToUse")->isEnabled());
}

TEST_F(StartupTest, CommandWordsAndDebugFile) {
  CommandWords c = ParseCommandWords("x Debug12 y");
  EXPECT_TRUE(c.debug1);
  EXPECT_FALSE(c.debug2);
  EXPECT_FALSE(c.autoMode);
  c = ParseCommandWords("DEBUG2 autorun");
  EXPECT_FALSE(c.debug1);
  EXPECT_TRUE(c.debug2);
  EXPECT_TRUE(c.autoMode);
  c = ParseCommandWords("");
  EXPECT_FALSE(c.debug1 || c.debug2 || c.autoMode);

  writeFile("debug.txt", "  On please\r\nmore\n");
  LoadStartupState(QString());
  EXPECT_TRUE(appState().debug2);
  EXPECT_FALSE(appState().debug1);
  // A debug word on the command line wins over the file.
  resetAppState(dir_.path());
  LoadStartupState(QStringLiteral("debug1"));
  EXPECT_TRUE(appState().debug1);
  EXPECT_FALSE(appState().debug2);
  for (const QByteArray& first :
       {QByteArray("off\n"), QByteArray("\non\n"), QByteArray("o"), QByteArray("")}) {
    resetAppState(dir_.path());
    writeFile("debug.txt", first);
    LoadStartupState(QString());
    EXPECT_FALSE(appState().debug2) << first.constData();
  }
}

TEST_F(StartupTest, HistoryWithGapsIsShownWithoutGapsAndStartUpDeletesNothing) {
  QByteArray ini = "[URLInfo]\n";
  for (int i = 1; i <= 10; ++i)
    if (i != 2 && i != 5)
      ini += "URL" + QByteArray::number(i) + "=http://h" + QByteArray::number(i) + "/\n";
  writeIni(ini);
  frmQuorvel w;
  auto* box = w.findChild<QComboBox*>("cboURLToUse");
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  EXPECT_EQ(items, QStringList({"http://h1/", "http://h3/", "http://h4/", "http://h6/",
                                "http://h7/", "http://h8/", "http://h9/", "http://h10/"}));
  EXPECT_EQ(box->currentText(), "http://h1/");
  EXPECT_EQ(w.currentUrl(), "http://h1/");
  EXPECT_EQ(appState().urlHistory[1], "http://h1/");
  EXPECT_EQ(appState().urlHistory[2], "");
  EXPECT_EQ(appState().urlHistory[10], "http://h10/");
  EXPECT_EQ(readFile("Quorvel.ini"), ini);
}

TEST_F(StartupTest, ClosingStoresTheFourCheckBoxes) {
  writeIni("[URLInfo]\nLogResults=7\nGetImages=0\n");
  {
    frmQuorvel w;
    w.show();
    w.findChild<QCheckBox*>("chkSoundsOn")->setChecked(false);
    w.findChild<QCheckBox*>("chkUseURLFile")->setChecked(true);
    EXPECT_TRUE(w.close());
  }
  EXPECT_EQ(setting("URLInfo", "LogResults"), "1");
  EXPECT_EQ(setting("URLInfo", "GetImages"), "0");
  EXPECT_EQ(setting("URLInfo", "GetSounds"), "0");
  EXPECT_EQ(setting("URLInfo", "UseURLFile"), "1");
}

// A file saved by an editor with a byte-order mark, or with the line ends of another system:
// the window shows what it holds, and closing it keeps the mark, the line ends and one section.
TEST_F(StartupTest, ByteOrderMarkAndEveryLineEndReadAndKept) {
  const QByteArray bom = "\xEF\xBB\xBF";
  for (const QByteArray& eol : {QByteArray("\r"), QByteArray("\r\n"), QByteArray("\n")}) {
    SCOPED_TRACE(eol == "\r" ? "CR" : eol == "\n" ? "LF" : "CR LF");
    resetAppState(dir_.path());
    writeIni(bom + "[URLInfo]" + eol + "LogResults=1" + eol + "GetImages=0" + eol +
             "URL1=http://127.0.0.1/a.htm" + eol + "[Proxy]" + eol + "Use=1" + eol);
    {
      frmQuorvel w;
      w.show();
      EXPECT_TRUE(w.findChild<QCheckBox*>("chkLoggingOn")->isChecked());
      EXPECT_FALSE(w.findChild<QCheckBox*>("chkImagesOn")->isChecked());
      EXPECT_EQ(w.findChild<QComboBox*>("cboURLToUse")->currentText(), "http://127.0.0.1/a.htm");
      EXPECT_EQ(appState().ProxyUse, 1);
      EXPECT_TRUE(w.close());
    }
    const QByteArray after = readFile("Quorvel.ini");
    EXPECT_TRUE(after.startsWith(bom + "[URLInfo]" + eol)) << after.constData();
    EXPECT_EQ(after.count("[URLInfo]"), 1) << after.constData();
    EXPECT_TRUE(after.contains("UseURLFile=0" + eol)) << after.constData();
    const QByteArray others = QByteArray(after).replace(eol, "");
    EXPECT_FALSE(others.contains('\r') || others.contains('\n')) << "only the file's own line end";
    EXPECT_EQ(ReadSetting(path("Quorvel.ini"), "URLInfo", "GetImages").value, "0");
  }
}

}  // namespace
}  // namespace quorvel
