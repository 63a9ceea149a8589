#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <mutex>

#include "app/app_state.h"
#include "app/frm_quorvel.h"
#include "app/settings.h"
#include "bench/loopback_servers.h"
#include "bench/totals_text.h"
#include "common/test_support.h"
#include "dialogs/frm_about.h"
#include "dialogs/frm_options.h"
#include "stats/frm_statistics.h"
#include "tools/frm_ftp.h"
#include "tools/frm_ping.h"
#include "tools/frm_tracert.h"

namespace quorvel {
namespace {

class MainWindowTest : public testing::AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    QByteArray ini = "[URLInfo]\n";
    for (int i = 1; i <= 10; ++i)
      ini += "URL" + QByteArray::number(i) + "=http://h" + QByteArray::number(i) + "/\n";
    writeFile("Quorvel.ini", ini);
  }

  QComboBox* box(frmQuorvel& w) { return w.findChild<QComboBox*>("cboURLToUse"); }
  QPushButton* go(frmQuorvel& w) { return w.findChild<QPushButton*>("cmdGo"); }
  QStringList items(frmQuorvel& w) {
    QStringList list;
    for (int i = 0; i < box(w)->count(); ++i) list << box(w)->itemText(i);
    return list;
  }
  QString stored(int i) {
    return ReadSetting(appState().settingsPath, "URLInfo", QStringLiteral("URL%1").arg(i)).value;
  }
  bool menuEnabled(frmQuorvel& w, const char* name) {
    auto* menu = w.findChild<QMenu*>(name);
    return menu->isEnabled() && menu->menuAction()->isEnabled();
  }
  QAction* action(frmQuorvel& w, const char* name) { return w.findChild<QAction*>(name); }
};

TEST_F(MainWindowTest, ControlsAndMenus) {
  frmQuorvel w;
  EXPECT_EQ(w.windowTitle(), "Quorvel");
  EXPECT_EQ(go(w)->text(), "&Run");
  EXPECT_EQ(w.findChild<QPushButton*>("cmdCancel")->text(), "&Quit");
  EXPECT_EQ(w.findChild<QCheckBox*>("chkUseURLFile")->text(), "Use URLS.DAT file");
  for (const char* name : {"txtIterations", "txtStatus", "txtValidURLs", "txtTotalErrors",
                           "txtTotalBytes", "txtTotalSecs", "txtThroughput", "txtAvgPageLoad"})
    EXPECT_NE(w.findChild<QLineEdit*>(name), nullptr) << name;
  EXPECT_EQ(w.findChild<QMenu*>("mnuFile")->title(), "&File");
  EXPECT_EQ(w.findChild<QMenu*>("mnuTools")->title(), "&Tools");
  const std::pair<const char*, const char*> entries[] = {
      {"mnuViewLogFile", "&View log file"},
      {"mnuClearLogFile", "&Clear log file"},
      {"mnuExit", "E&xit"},
      {"mnuOptions", "&Options"},
      {"mnuFTP", "&FTP"},
      {"mnuPing", "&Ping"},
      {"mnuTraceRoute", "&TraceRoute"},
      {"mnuLogFileStatistics", "&Log File Statistics"},
      {"mnuAbout", "&About"}};
  for (const auto& [name, caption] : entries) {
    ASSERT_NE(action(w, name), nullptr) << name;
    EXPECT_EQ(action(w, name)->text(), caption);
  }
  EXPECT_TRUE(action(w, "mnuSep1")->isSeparator());
  EXPECT_TRUE(action(w, "mnuSep2")->isSeparator());

  // Every control lies inside the window's client area.
  const QWidget* client = w.centralWidget();
  for (const QWidget* c : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    EXPECT_TRUE(client->rect().contains(c->geometry())) << c->objectName().toStdString();
}

TEST_F(MainWindowTest, MenusOpenTheirWindowsModally) {
  frmQuorvel w;
  box(w)->setEditText("http://typed/");
  QStringList opened;
  w.setModalRunner([&](QDialog& d) {
    if (dynamic_cast<frmOptions*>(&d)) opened << "options";
    if (dynamic_cast<frmFTP*>(&d)) opened << "ftp";
    if (dynamic_cast<frmPing*>(&d)) opened << "ping";
    if (dynamic_cast<frmTraceRt*>(&d)) opened << "trace";
    if (dynamic_cast<frmStatistics*>(&d)) opened << "stats";
    if (dynamic_cast<frmAbout*>(&d)) opened << "about";
  });
  for (const char* name :
       {"mnuOptions", "mnuFTP", "mnuPing", "mnuTraceRoute", "mnuLogFileStatistics", "mnuAbout"})
    action(w, name)->trigger();
  EXPECT_EQ(opened, QStringList({"options", "ftp", "ping", "trace", "stats", "about"}));
  const QStringList sources = w.urlSources();
  ASSERT_EQ(sources.size(), 11);
  EXPECT_EQ(sources[0], "http://typed/");
  EXPECT_EQ(sources[1], "http://h1/");
  EXPECT_EQ(sources[10], "http://h10/");
}

TEST_F(MainWindowTest, ErasingTheUrlBoxEditsTheHistory) {
  frmQuorvel w;
  w.show();
  EXPECT_EQ(box(w)->currentText(), "http://h1/");

  // Erasing entry 10 empties entry 10 only.
  box(w)->setCurrentIndex(9);
  EXPECT_EQ(w.currentUrl(), "http://h10/");
  box(w)->setEditText("");
  EXPECT_EQ(appState().urlHistory[10], "");
  EXPECT_EQ(appState().urlHistory[9], "http://h9/");
  EXPECT_EQ(items(w).size(), 9);
  EXPECT_EQ(box(w)->currentText(), "http://h1/");
  EXPECT_EQ(stored(10), "");
  EXPECT_EQ(stored(9), "http://h9/");

  // A URL that is not in the history changes nothing.
  box(w)->setEditText("http://elsewhere/");
  box(w)->setEditText("   ");
  EXPECT_EQ(items(w).size(), 9);
  EXPECT_EQ(appState().urlHistory[1], "http://h1/");
  EXPECT_EQ(box(w)->currentText(), "   ");

  // Erasing entry 3 (compared without regard to case) moves 4..9 up and shows entry 1.
  box(w)->setEditText("HTTP://H3/");
  box(w)->setEditText("");
  EXPECT_EQ(items(w), QStringList({"http://h1/", "http://h2/", "http://h4/", "http://h5/",
                                   "http://h6/", "http://h7/", "http://h8/", "http://h9/"}));
  EXPECT_EQ(box(w)->currentText(), "http://h1/");
  EXPECT_EQ(w.currentUrl(), "http://h1/");

  // Erasing entry 1 brings up the next most recent.
  box(w)->lineEdit()->selectAll();
  QTest::keyClick(box(w)->lineEdit(), Qt::Key_Delete);
  EXPECT_EQ(box(w)->currentText(), "http://h2/");
  EXPECT_EQ(appState().urlHistory[1], "http://h2/");
  EXPECT_EQ(stored(1), "http://h2/");
  EXPECT_EQ(stored(8), "");

  // The run's refill of the list deletes nothing either.
  w.setUrlList({"http://a/"}, "");
  EXPECT_EQ(appState().urlHistory[1], "http://h2/");
  EXPECT_EQ(box(w)->currentText(), "");
}

TEST_F(MainWindowTest, UseUrlFileGreysTheUrlBox) {
  frmQuorvel w;
  w.show();
  auto* chk = w.findChild<QCheckBox*>("chkUseURLFile");
  QTest::mouseClick(chk, Qt::LeftButton);
  EXPECT_TRUE(chk->isChecked());
  EXPECT_FALSE(box(w)->isEnabled());
  QTest::mouseClick(chk, Qt::LeftButton);
  EXPECT_TRUE(box(w)->isEnabled());
}

TEST_F(MainWindowTest, RunCancelToggle) {
  frmQuorvel w;
  w.show();
  int runs = 0;
  QStringList opened;
  w.setModalRunner([&](QDialog& d) { opened << d.metaObject()->className(); });
  w.setRunFunction([&](RunView& view) {
    ++runs;
    appState().CancelRequested = false;
    EXPECT_TRUE(w.running());
    EXPECT_EQ(go(w)->text(), "&Cancel");
    EXPECT_FALSE(w.findChild<QPushButton*>("cmdCancel")->isEnabled());
    EXPECT_FALSE(menuEnabled(w, "mnuFile"));
    EXPECT_FALSE(menuEnabled(w, "mnuTools"));
    EXPECT_FALSE(action(w, "mnuAbout")->isEnabled());
    EXPECT_TRUE(action(w, "mnuOptions")->isEnabled());
    action(w, "mnuOptions")->trigger();  // still usable during a run

    // A click on Cancel while the run lets events through only asks it to stop.
    QTest::mouseClick(go(w), Qt::LeftButton);
    view.processEvents();
    EXPECT_TRUE(appState().CancelRequested);
    EXPECT_EQ(w.findChild<QLineEdit*>("txtStatus")->text(), "Cancelling...");
    EXPECT_EQ(runs, 1);
    view.setStatus("Cancelled");
  });
  QTest::mouseClick(go(w), Qt::LeftButton);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(opened, QStringList({"quorvel::frmOptions"}));
  EXPECT_FALSE(w.running());
  EXPECT_EQ(go(w)->text(), "&Run");
  EXPECT_TRUE(w.findChild<QPushButton*>("cmdCancel")->isEnabled());
  EXPECT_TRUE(menuEnabled(w, "mnuFile"));
  EXPECT_TRUE(menuEnabled(w, "mnuTools"));
  EXPECT_TRUE(action(w, "mnuAbout")->isEnabled());
  EXPECT_EQ(w.findChild<QLineEdit*>("txtStatus")->text(), "Cancelled");
}

TEST_F(MainWindowTest, CtrlAndAltOnRunSetTheDebugFlags) {
  frmQuorvel w;
  w.show();
  std::vector<std::pair<bool, bool>> seen;
  w.setRunFunction([&](RunView&) { seen.emplace_back(appState().debug1, appState().debug2); });
  QTest::mouseClick(go(w), Qt::LeftButton);
  QTest::mouseClick(go(w), Qt::LeftButton, Qt::ControlModifier);
  QTest::mouseClick(go(w), Qt::LeftButton);
  QTest::mouseClick(go(w), Qt::LeftButton, Qt::AltModifier);
  QTest::mouseClick(go(w), Qt::LeftButton);
  const std::vector<std::pair<bool, bool>> expected = {
      {false, false}, {true, false}, {true, false}, {true, true}, {true, true}};
  EXPECT_EQ(seen, expected);

  resetAppState(dir_.path());
  frmQuorvel w2;
  w2.show();
  seen.clear();
  w2.setRunFunction([&](RunView&) { seen.emplace_back(appState().debug1, appState().debug2); });
  QTest::mouseClick(go(w2), Qt::LeftButton, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(seen, (std::vector<std::pair<bool, bool>>{{true, true}}));
}

// Keys go where a user's keys go: to the widget that has the focus once the URL box is
// clicked (the combo box, which hands them on to its edit field).
TEST_F(MainWindowTest, EnterInTheUrlBoxRunsAndCancels) {
  frmQuorvel w;
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  QTest::mouseClick(box(w)->lineEdit(), Qt::LeftButton);
  ASSERT_NE(QApplication::focusWidget(), nullptr);
  auto press = [](Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), key, mods);
  };
  QSignalSpy returns(box(w)->lineEdit(), &QLineEdit::returnPressed);

  struct Case {
    Qt::Key run;
    Qt::KeyboardModifiers runMods;
    Qt::Key cancel;
    Qt::KeyboardModifiers cancelMods;
  };
  const Case cases[] = {{Qt::Key_Return, Qt::NoModifier, Qt::Key_Enter, Qt::KeypadModifier},
                        {Qt::Key_Enter, Qt::KeypadModifier, Qt::Key_Return, Qt::NoModifier}};
  int runs = 0;
  for (const Case& c : cases) {
    w.setRunFunction([&](RunView& view) {
      ++runs;
      appState().CancelRequested = false;
      press(c.cancel, c.cancelMods);
      view.processEvents();
      EXPECT_TRUE(appState().CancelRequested);
      EXPECT_EQ(w.findChild<QLineEdit*>("txtStatus")->text(), "Cancelling...");
    });
    press(c.run, c.runMods);
    EXPECT_FALSE(w.running());
    EXPECT_EQ(go(w)->text(), "&Run");
  }
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(returns.count(), 4);  // the box saw every Enter too
  press(Qt::Key_A);
  EXPECT_EQ(runs, 2);

  // What is typed is what runs: no completion from the history.
  QString ran;
  w.setRunFunction([&](RunView& view) { ran = view.urlBoxText(); });
  box(w)->lineEdit()->clear();
  QTest::keyClicks(QApplication::focusWidget(), "http://h");
  press(Qt::Key_Return);
  EXPECT_EQ(ran, "http://h");
}

// A proxy typed with blanks around its address and port (and stored so) serves every run.
TEST_F(MainWindowTest, ProxyTypedWithBlanksServesTheRun) {
  testing::HttpTestServer proxy;
  std::mutex m;
  QStringList targets;
  proxy.server().Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(m);
    targets << QString::fromStdString(req.target);
    res.set_content("<html>via proxy</html>", "text/html");
  });
  proxy.start();

  frmQuorvel w;
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  auto type = [](const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); };
  auto press = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };
  w.setModalRunner([&](QDialog& d) {
    d.show();
    d.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &d; }));
    ASSERT_EQ(QApplication::focusWidget()->objectName(), "chkUseProxyServer");
    press(Qt::Key_Space);
    press(Qt::Key_Tab);
    type("  127.0.0.1 ");
    press(Qt::Key_Tab);
    type(QStringLiteral(" %1  ").arg(proxy.port()));
    press(Qt::Key_Tab);
    press(Qt::Key_Space);  // OK
    EXPECT_FALSE(d.isVisible());
  });
  action(w, "mnuOptions")->trigger();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &w; }));
  EXPECT_EQ(appState().ProxyAddress, "  127.0.0.1 ");
  EXPECT_EQ(appState().ProxyPort, QStringLiteral(" %1  ").arg(proxy.port()));

  for (int run = 0; run < 2; ++run) {  // every later run too
    QTest::mouseClick(box(w)->lineEdit(), Qt::LeftButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    type("quorvel-proxy-test.invalid/page.htm");
    press(Qt::Key_Return);
    EXPECT_EQ(w.findChild<QLineEdit*>("txtStatus")->text(), "Done");
    EXPECT_EQ(w.findChild<QLineEdit*>("txtValidURLs")->text(), "1");
    EXPECT_EQ(w.findChild<QLineEdit*>("txtTotalErrors")->text(), "0");
  }
  std::lock_guard lock(m);
  EXPECT_EQ(targets, QStringList(2, "http://quorvel-proxy-test.invalid/page.htm"));
}

TEST_F(MainWindowTest, ClosingDuringARunCancelsItFirst) {
  frmQuorvel w;
  w.show();
  bool stillShown = false;
  w.setRunFunction([&](RunView& view) {
    appState().CancelRequested = false;
    w.findChild<QCheckBox*>("chkImagesOn")->setChecked(false);
    w.close();
    view.processEvents();
    stillShown = w.isVisible();
    EXPECT_TRUE(appState().CancelRequested);
  });
  QTest::mouseClick(go(w), Qt::LeftButton);
  EXPECT_TRUE(stillShown);
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(ReadSetting(appState().settingsPath, "URLInfo", "GetImages").value, "0");
}

TEST_F(MainWindowTest, QuitAndExitCloseTheWindow) {
  {
    frmQuorvel w;
    w.show();
    QTest::mouseClick(w.findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
  }
  EXPECT_EQ(ReadSetting(appState().settingsPath, "URLInfo", "GetSounds").value, "1");
  frmQuorvel w;
  w.show();
  action(w, "mnuExit")->trigger();
  EXPECT_FALSE(w.isVisible());
}

TEST_F(MainWindowTest, RunViewFillsTheTotals) {
  frmQuorvel w;
  w.show();
  RunTotals totals;
  totals.validUrls = 5;
  totals.errors = 1;
  totals.bytes = 2'500'000;
  totals.micros = 10'000'000;
  w.setTotals(totals);
  EXPECT_EQ(w.findChild<QLineEdit*>("txtValidURLs")->text(), "5");
  EXPECT_EQ(w.findChild<QLineEdit*>("txtTotalErrors")->text(), "1");
  EXPECT_EQ(w.findChild<QLineEdit*>("txtTotalBytes")->text(), "2,500,000");
  EXPECT_EQ(w.findChild<QLineEdit*>("txtTotalSecs")->text(), "10.0");
  EXPECT_EQ(w.findChild<QLineEdit*>("txtThroughput")->text(), "2,000.0 Kbps");
  EXPECT_EQ(w.findChild<QLineEdit*>("txtAvgPageLoad")->text(), "2.0 secs");
  EXPECT_EQ(w.iterationsText(), "1");
  EXPECT_EQ(w.urlBoxText(), "http://h1/");
  w.setBusyCursor(true);
  w.setBusyCursor(true);
  EXPECT_NE(QApplication::overrideCursor(), nullptr);
  w.setBusyCursor(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  w.message("Oops", "No URL specified!", MsgIcon::Information);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, "No URL specified!");
}

// The x at which a box draws the first character of its text, once painted (found from where
// it draws its cursor).
int drawnTextLeft(QLineEdit* box) {
  box->repaint();  // the box places its text when it paints
  const QRect cursor = box->inputMethodQuery(Qt::ImCursorRectangle).toRect();
  return cursor.center().x() -
         QFontMetrics(box->font()).horizontalAdvance(box->text().left(box->cursorPosition()));
}

// Whether a box shows its whole text inside its frame, from its first character.
::testing::AssertionResult showsWholeText(QLineEdit* box) {
  const int left = drawnTextLeft(box);
  const int right = left + QFontMetrics(box->font()).horizontalAdvance(box->text());
  const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
  if (left >= frame && right <= box->width() - frame) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << box->objectName().toStdString() << " draws \"" << box->text().toStdString()
         << "\" from x " << left << " to " << right << " in a box " << box->width() << " wide";
}

TEST_F(MainWindowTest, TotalsBoxesShowTheirLargestValuesWhole) {
  frmQuorvel w;
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  struct Totals {
    std::int64_t validUrls, errors, bytes, milliseconds;
  };
  // The fastest run (10,000,000.0 Kbps with the most bytes), the longest, the most pages.
  const Totals cases[] = {{1, 0, 999'999'999'999, 800'000},
                          {1, 9'999'999'999, 999'999'999'999, 9'999'999'900},
                          {9'999'999'999, 0, 35'939, 16}};
  for (const Totals& c : cases) {
    RunTotals t;
    t.validUrls = c.validUrls;
    t.errors = c.errors;
    t.bytes = c.bytes;
    t.micros = c.milliseconds * 1000;
    w.setTotals(t);
    for (const char* name : {"txtValidURLs", "txtTotalErrors", "txtTotalBytes", "txtTotalSecs",
                             "txtThroughput", "txtAvgPageLoad"})
      EXPECT_TRUE(showsWholeText(w.findChild<QLineEdit*>(name)));
  }
  EXPECT_EQ(w.findChild<QLineEdit*>("txtThroughput")->text(), "17,969.5 Kbps");

  // A status longer than its line shows its beginning, where a short text begins.
  auto* status = w.findChild<QLineEdit*>("txtStatus");
  w.setStatus("Retrieving http://" + QString(200, 'a') + ".example/");
  EXPECT_EQ(drawnTextLeft(status), drawnTextLeft(w.findChild<QLineEdit*>("txtValidURLs")));

  // Everything still lies inside the window, the right-hand column in line with the status.
  const QWidget* client = w.centralWidget();
  for (const QWidget* c : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    EXPECT_TRUE(client->rect().contains(c->geometry())) << c->objectName().toStdString();
  for (const char* name : {"txtTotalErrors", "txtTotalSecs", "txtAvgPageLoad"})
    EXPECT_EQ(w.findChild<QLineEdit*>(name)->geometry().right(), status->geometry().right());
}

TEST_F(MainWindowTest, AutoModeRunsOnceFromTheEventLoopAndCloses) {
  writeFile("Quorvel.ini", "[URLInfo]\nGetImages=0\n");
  frmQuorvel w(QStringLiteral("auto"));
  int runs = 0;
  w.setRunFunction([&](RunView&) { ++runs; });
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(runs, 0);
  QDeadlineTimer deadline(10000);
  while (w.isVisible() && !deadline.hasExpired()) QTest::qWait(20);
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(runs, 1);
  for (const char* key : {"LogResults", "GetImages", "GetSounds", "UseURLFile"})
    EXPECT_EQ(ReadSetting(appState().settingsPath, "URLInfo", key).value, "1") << key;
}

}  // namespace
}  // namespace quorvel
