// The main window as a user drives it: keys to the widget that has the focus, clicks, the texts
// as the window shows them. Where the run itself does not matter, a test's run stands in.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTreeWidget>

#include "app/frm_quorvel.h"
#include "app/shell.h"
#include "bench/loopback_servers.h"
#include "common/test_support.h"
#include "core/app_state.h"
#include "core/settings.h"

namespace quorvel {
namespace {

using testing::shown;
using testing::widget;

class MainWindowTest : public testing::AppFolderTest {
 protected:
  void tenUrls() {
    QByteArray ini = "[URLInfo]\n";
    for (int i = 1; i <= 10; ++i)
      ini += "URL" + QByteArray::number(i) + "=http://h" + QByteArray::number(i) + "/\n";
    writeFile("Quorvel.ini", ini);
  }
  static QComboBox* box(frmQuorvel& w) { return widget<QComboBox>(&w, "cboURLToUse"); }
  static QPushButton* go(frmQuorvel& w) { return widget<QPushButton>(&w, "cmdGo"); }
  static QAction* action(frmQuorvel& w, const char* name) { return w.findChild<QAction*>(name); }
  static bool checked(frmQuorvel& w, const char* name) {
    return widget<QCheckBox>(&w, name)->isChecked();
  }
  static QStringList items(frmQuorvel& w) {
    QStringList list;
    for (int i = 0; i < box(w)->count(); ++i) list << box(w)->itemText(i);
    return list;
  }
  QString stored(const QString& key) const {
    return ReadSetting(appState().settingsPath, "URLInfo", key).value;
  }
  // Shows the window, active, with the keyboard focus in the URL box as a click leaves it.
  static void focusUrlBox(frmQuorvel& w) {
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::mouseClick(box(w)->lineEdit(), Qt::LeftButton);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
  }
  static void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), key, mods);
  }
  static void type(const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); }
  static void erase() {
    press(Qt::Key_A, Qt::ControlModifier);
    press(Qt::Key_Delete);
  }
};

TEST_F(MainWindowTest, ShowsTheSettingsFileOrItsDefaults) {
  {  // (The check boxes of a missing or edited file are the start-up tests'.)
    frmQuorvel w;
    EXPECT_EQ(readFile("Quorvel.ini"), "[URLInfo]\nURLFile=URLS.DAT\n");
    EXPECT_EQ(box(w)->count(), 0);
  }
  // A history with gaps is listed without them; start-up changes nothing in the file.
  QByteArray ini = "[URLInfo]\n";
  for (int i : {1, 3, 10})
    ini += "URL" + QByteArray::number(i) + "=http://h" + QByteArray::number(i) + "/\n";
  writeFile("Quorvel.ini", ini);
  frmQuorvel w;
  EXPECT_EQ(items(w), QStringList({"http://h1/", "http://h3/", "http://h10/"}));
  EXPECT_EQ(shown(&w, "cboURLToUse"), "http://h1/");
  EXPECT_EQ(readFile("Quorvel.ini"), ini);
}

TEST_F(MainWindowTest, ErasingTheUrlBoxEditsTheHistory) {
  tenUrls();
  frmQuorvel w;
  focusUrlBox(w);
  box(w)->setCurrentIndex(9);  // entry 10, chosen from the list
  erase();
  EXPECT_EQ(items(w).size(), 9);
  EXPECT_EQ(shown(&w, "cboURLToUse"), "http://h1/");
  EXPECT_EQ(stored("URL10"), "");
  EXPECT_EQ(stored("URL9"), "http://h9/");

  // Erasing entry 1 brings up entry 2; a URL that is not in the history changes nothing.
  erase();
  EXPECT_EQ(shown(&w, "cboURLToUse"), "http://h2/");
  EXPECT_EQ(stored("URL1"), "http://h2/");
  press(Qt::Key_A, Qt::ControlModifier);
  type("http://elsewhere/");
  erase();
  EXPECT_EQ(items(w).size(), 8);

  // Entry 3, typed in other letters, goes all the same: the later ones move up.
  type("HTTP://H4/");
  erase();
  EXPECT_EQ(items(w), QStringList({"http://h2/", "http://h3/", "http://h5/", "http://h6/",
                                   "http://h7/", "http://h8/", "http://h9/"}));
  EXPECT_EQ(shown(&w, "cboURLToUse"), "http://h2/");
  EXPECT_EQ(stored("URL7"), "http://h9/");
  EXPECT_EQ(stored("URL8"), "");

  // The run's refill of the list deletes nothing.
  w.setUrlList({"http://a/"}, "");
  EXPECT_EQ(stored("URL1"), "http://h2/");
}

// Erasing brings up the next URL; what is typed then replaces it, and the run and the history
// take exactly the text the box shows. Keys as a person presses them: Ctrl+A, then Backspace or
// Delete, then the new URL, then Enter (no second Ctrl+A before typing).
TEST_F(MainWindowTest, TypingAfterTheRefillReplacesIt) {
  writeFile("Quorvel.ini", "[URLInfo]\nURL1=http://h1/main.htm\nURL2=http://h2/news.htm\n");
  for (const Qt::Key eraseKey : {Qt::Key_Backspace, Qt::Key_Delete}) {
    SCOPED_TRACE(eraseKey == Qt::Key_Backspace ? "Backspace" : "Delete");
    frmQuorvel w;
    focusUrlBox(w);
    QString ran;
    w.setRunFunction([&](RunView& view) { ran = view.urlBoxText(); });
    press(Qt::Key_A, Qt::ControlModifier);
    press(eraseKey);
    EXPECT_EQ(shown(&w, "cboURLToUse"), "http://h2/news.htm");
    type("http://typed/x.htm");
    EXPECT_EQ(shown(&w, "cboURLToUse"), "http://typed/x.htm");
    press(Qt::Key_Return);
    EXPECT_EQ(ran, "http://typed/x.htm");
    writeFile("Quorvel.ini", "[URLInfo]\nURL1=http://h1/main.htm\nURL2=http://h2/news.htm\n");
    resetAppState(dir_.path());
  }
}

TEST_F(MainWindowTest, RunBecomesCancelAndTheMenusThatLeaveTheRunAreOff) {
  frmQuorvel w;
  w.show();
  QStringList opened;
  w.setModalRunner([&](QDialog& d) { opened << d.objectName(); });
  int runs = 0;
  w.setRunFunction([&](RunView& view) {
    ++runs;
    appState().CancelRequested = false;
    EXPECT_EQ(go(w)->text(), "&Cancel");
    EXPECT_FALSE(widget(&w, "cmdCancel")->isEnabled());
    for (const char* name : {"mnuFile", "mnuTools", "mnuAbout"})
      EXPECT_FALSE(action(w, name)->isEnabled()) << name;
    action(w, "mnuOptions")->trigger();  // still usable during a run
    // A click on Cancel only asks the run to stop, once it lets events through.
    QTest::mouseClick(go(w), Qt::LeftButton);
    view.processEvents();
    EXPECT_TRUE(appState().CancelRequested);
    EXPECT_EQ(shown(&w, "txtStatus"), "Cancelling...");
    view.setStatus("Cancelled");
  });
  QTest::mouseClick(go(w), Qt::LeftButton);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(opened, QStringList{"frmOptions"});
  EXPECT_EQ(go(w)->text(), "&Run");
  EXPECT_TRUE(widget(&w, "cmdCancel")->isEnabled());
  for (const char* name : {"mnuFile", "mnuTools", "mnuAbout"})
    EXPECT_TRUE(action(w, name)->isEnabled()) << name;
  EXPECT_EQ(shown(&w, "txtStatus"), "Cancelled");
}

TEST_F(MainWindowTest, MenusOpenTheirWindowsModally) {
  tenUrls();
  frmQuorvel w;
  box(w)->setEditText("http://typed/");
  QStringList opened;
  w.setModalRunner([&](QDialog& d) { opened << d.objectName(); });
  for (const char* name :
       {"mnuOptions", "mnuFTP", "mnuPing", "mnuTraceRoute", "mnuLogFileStatistics", "mnuAbout"})
    action(w, name)->trigger();
  EXPECT_EQ(opened, QStringList({"frmOptions", "frmFTP", "frmPing", "frmTraceRt", "frmStatistics",
                                 "frmAbout"}));
  // The trace and ping windows list the typed URL first, then the history.
  const QStringList sources = w.urlSources();
  ASSERT_EQ(sources.size(), 11);
  EXPECT_EQ(sources[0], "http://typed/");
  EXPECT_EQ(sources[10], "http://h10/");
}

TEST_F(MainWindowTest, CtrlAndAltOnRunSetTheDebugFlagsForGood) {
  frmQuorvel w;
  w.show();
  QStringList seen;
  w.setRunFunction([&](RunView&) {
    seen << QStringLiteral("%1%2").arg(appState().debug1).arg(appState().debug2);
  });
  for (const auto mods :
       {Qt::NoModifier, Qt::ControlModifier, Qt::NoModifier, Qt::AltModifier, Qt::NoModifier})
    QTest::mouseClick(go(w), Qt::LeftButton, mods);
  EXPECT_EQ(seen, QStringList({"00", "10", "10", "11", "11"}));
}

// Return and the keypad's Enter, sent where a user's keys go: to the widget that has the focus
// once the URL box is clicked.
TEST_F(MainWindowTest, EnterInTheUrlBoxRunsAndCancels) {
  frmQuorvel w;
  focusUrlBox(w);
  QSignalSpy returns(box(w)->lineEdit(), &QLineEdit::returnPressed);
  struct Keys {
    Qt::Key run;
    Qt::KeyboardModifiers runMods;
    Qt::Key cancel;
    Qt::KeyboardModifiers cancelMods;
  };
  int runs = 0;
  for (const Keys& k : {Keys{Qt::Key_Return, Qt::NoModifier, Qt::Key_Enter, Qt::KeypadModifier},
                        Keys{Qt::Key_Enter, Qt::KeypadModifier, Qt::Key_Return, Qt::NoModifier}}) {
    w.setRunFunction([&](RunView& view) {
      ++runs;
      appState().CancelRequested = false;
      press(k.cancel, k.cancelMods);
      view.processEvents();
      EXPECT_TRUE(appState().CancelRequested);
      EXPECT_EQ(shown(&w, "txtStatus"), "Cancelling...");
    });
    press(k.run, k.runMods);
    EXPECT_EQ(go(w)->text(), "&Run");
  }
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(returns.count(), 4);  // the box saw every Enter too
  press(Qt::Key_A);
  EXPECT_EQ(runs, 2);

  // What is typed is what runs: no completion from the history.
  QString ran;
  w.setRunFunction([&](RunView& view) { ran = view.urlBoxText(); });
  erase();
  type("http://h");
  press(Qt::Key_Return);
  EXPECT_EQ(ran, "http://h");
}

// A proxy typed with blanks around its address and port (and stored so) serves every run.
TEST_F(MainWindowTest, ProxyTypedWithBlanksServesTheRun) {
  testing::HttpTestServer proxy;
  proxy.page(".*", "<html>via proxy</html>");
  proxy.start();

  frmQuorvel w;
  focusUrlBox(w);
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
  EXPECT_EQ(appState().ProxyAddress, "  127.0.0.1 ");
  for (int run = 0; run < 2; ++run) {  // every later run too
    focusUrlBox(w);
    erase();
    type("quorvel-proxy-test.invalid/page.htm");
    press(Qt::Key_Return);
    EXPECT_EQ(shown(&w, "txtStatus"), "Done");
    EXPECT_EQ(shown(&w, "txtValidURLs"), "1");
    EXPECT_EQ(shown(&w, "txtTotalErrors"), "0");
  }
  EXPECT_EQ(proxy.targets(), QStringList(2, "http://quorvel-proxy-test.invalid/page.htm"));
}

// Why the last run failed, from the window: a double-click on the errors box (or File > Last
// run's requests) lists the failed files with their error numbers and texts, and every request
// with its figures. A real run against a loopback server: one image on a port where nothing
// listens, one page the server does not have.
TEST_F(MainWindowTest, TheLastRunsFailuresAndRequests) {
  const quint16 closed = testing::freeLoopbackPort();
  testing::HttpTestServer server;
  server.page("/index.htm", "<html><img src=\"a.gif\"><img src=\"http://127.0.0.1:" +
                                std::to_string(closed) + "/b.gif\"></html>");
  server.page("/a.gif", std::string(1234, 'g'), "image/gif");
  server.page("/gone.htm", "<title>Not Found</title>");
  server.start();
  writeFile("URLS.DAT", (server.url("/index.htm") + "\r\n" + server.url("/gone.htm")).toUtf8());
  writeFile("Quorvel.ini", "[URLInfo]\nUseURLFile=1\nGetImages=1\nLogResults=0\n");
  frmQuorvel w;
  focusUrlBox(w);
  QList<QStringList> failures, requests;
  QString summary;
  w.setModalRunner([&](QDialog& d) {
    summary = shown(&d, "lblSummary");
    for (const char* name : {"lvwFailures", "lvwRequests"}) {
      auto* list = widget<QTreeWidget>(&d, name);
      auto& rows = name[3] == 'F' ? failures : requests;
      for (int r = 0; r < list->topLevelItemCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c) cells << list->topLevelItem(r)->text(c);
        rows << cells;
      }
    }
  });
  QTest::mouseClick(go(w), Qt::LeftButton);
  ASSERT_EQ(shown(&w, "txtStatus"), "Done");
  EXPECT_EQ(shown(&w, "txtTotalErrors"), "2");
  QTest::mouseDClick(widget(&w, "txtTotalErrors"), Qt::LeftButton);
  EXPECT_EQ(summary, "2 of 4 requests failed.");
  ASSERT_EQ(failures.size(), 2);
  EXPECT_EQ(failures[0], (QStringList{"1", "1", QStringLiteral("127.0.0.1:%1/b.gif").arg(closed),
                                      "12029", "The attempt to connect to the server failed."}));
  EXPECT_EQ(failures[1],
            (QStringList{"1", "2", server.url("/gone.htm"), "991", "Link not found on server"}));
  ASSERT_EQ(requests.size(), 4);
  EXPECT_EQ(requests[0].mid(0, 7), (QStringList{"1", "1", "Page", server.url("/index.htm"), "0",
                                                "200", requests[0][6]}));
  const QStringList image = *std::find_if(requests.begin(), requests.end(),
                                          [](const QStringList& r) { return r[3].endsWith("a.gif"); });
  EXPECT_EQ(image.mid(2, 5), (QStringList{"File", server.url("/a.gif").mid(7), "0", "200", "1,234"}));
  EXPECT_EQ(image.last(), "127.0.0.1");
  EXPECT_FALSE(image[7].isEmpty());  // its time in ms

  // The menu entry shows the same; a new run starts a new list.
  failures.clear();
  requests.clear();
  action(w, "mnuRunRequests")->trigger();
  EXPECT_EQ(failures.size(), 2);
  writeFile("URLS.DAT", server.url("/a.gif").toUtf8());
  QTest::mouseClick(go(w), Qt::LeftButton);
  failures.clear();
  requests.clear();
  action(w, "mnuRunRequests")->trigger();
  EXPECT_EQ(summary, "0 of 1 requests failed.");
  EXPECT_EQ(requests.size(), 1);
}

// File > View log file when no program opens text files: the message names the log's path and
// offers to copy it.
TEST_F(MainWindowTest, ALogNoProgramOpensOffersItsPath) {
  class NoProgram : public Shell {
    int findExecutable(const QString&, QString*) override { return kShellNoAssociation; }
    int execute(const QString&, const QString&) override { return 0; }
  } shell;
  writeFile("QuorvelLog.txt", "x");
  frmQuorvel w;
  w.setShell(&shell);
  QApplication::clipboard()->clear();
  for (const bool copy : {false, true}) {
    messages_.clear();
    setActionAnswer(copy);
    action(w, "mnuViewLogFile")->trigger();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text, "Error 31 encountered when attempting to view log file\n\n"
                                 "No program is set to open text files. The log file is\n" +
                                     path("QuorvelLog.txt"));
    EXPECT_EQ(messages_[0].action, "&Copy Path");
    EXPECT_EQ(QApplication::clipboard()->text(), copy ? path("QuorvelLog.txt") : QString());
  }
}

// Size and position of the main window and of the windows it opens are kept in a section of
// their own and come back inside the screen; a wider main window widens the URL box and the
// status line, and every control stays where the layout put it.
TEST_F(MainWindowTest, WindowsKeepTheirPlace) {
  QRect laidOut, left;
  QMap<QString, QRect> controls;
  {
    frmQuorvel w;
    w.show();
    laidOut = w.geometry();
    for (QWidget* c : w.centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      controls[c->objectName()] = c->geometry();
    left = QRect(laidOut.topLeft() + QPoint(30, 20), laidOut.size() + QSize(200, 50));
    w.setGeometry(left);
    QTest::qWait(20);
    EXPECT_EQ(widget(&w, "cboURLToUse")->width(), controls["cboURLToUse"].width() + 200);
    action(w, "mnuExit")->trigger();
  }
  EXPECT_EQ(ReadSetting(appState().settingsPath, "WindowPlace", "frmQuorvel").value,
            QStringLiteral("%1,%2,%3,%4").arg(left.x()).arg(left.y()).arg(left.width()).arg(left.height()));
  {
    frmQuorvel w;
    w.show();
    EXPECT_EQ(w.geometry(), left);
    for (QWidget* c : w.centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      const QRect was = controls[c->objectName()];
      const bool widens = QStringList{"cboURLToUse", "txtStatus", "Line1", "Line2"}.contains(c->objectName());
      EXPECT_EQ(c->geometry(), widens ? was.adjusted(0, 0, 200, 0) : was) << c->objectName().toStdString();
    }
    // A tool window opened, moved and closed comes back where it was left; a place beyond
    // the screen (a screen taken away since) comes back inside it.
    QList<QRect> seen;
    w.setModalRunner([&](QDialog& d) {
      d.show();
      seen << d.geometry();
      if (seen.size() == 1) d.move(d.pos() + QPoint(15, 25));
      seen << d.geometry();
      d.close();
    });
    action(w, "mnuPing")->trigger();
    action(w, "mnuPing")->trigger();
    ASSERT_EQ(seen.size(), 4);
    EXPECT_EQ(seen[2], seen[1]);
    WriteSetting(appState().settingsPath, "WindowPlace", "frmPing", "5000,-4000,300,200");
    action(w, "mnuPing")->trigger();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(seen[4])) << seen[4].x() << "," << seen[4].y();
    EXPECT_EQ(seen[4].size(), seen[1].size());  // a window of fixed size keeps it
  }
}

// "Load like a browser" is the setting URLInfo/BrowserLoad: shown from it, stored at the click,
// and the run started from the window loads as it says.
TEST_F(MainWindowTest, LoadLikeABrowserIsTheSettingAndTheRunsChoice) {
  writeFile("Quorvel.ini", "[URLInfo]\nBrowserLoad=1\n");
  frmQuorvel w;
  w.show();
  std::vector<bool> runs;
  w.setRunFunction([&](RunView& view) { runs.push_back(view.browserLoadOn()); });
  auto* check = widget<QCheckBox>(&w, "chkBrowserLoad");
  EXPECT_TRUE(check->isChecked());
  QTest::mouseClick(widget<QPushButton>(&w, "cmdGo"), Qt::LeftButton);
  QTest::mouseClick(check, Qt::LeftButton);
  EXPECT_EQ(stored("BrowserLoad"), "0");
  QTest::mouseClick(widget<QPushButton>(&w, "cmdGo"), Qt::LeftButton);
  QTest::mouseClick(check, Qt::LeftButton);
  EXPECT_EQ(stored("BrowserLoad"), "1");
  EXPECT_EQ(runs, (std::vector<bool>{true, false}));
}

// An unattended run ticks the other boxes but loads as the setting says.
TEST_F(MainWindowTest, AutoLoadsAsTheSettingSays) {
  for (const char* setting : {"1", "0"}) {
    SCOPED_TRACE(setting);
    writeFile("Quorvel.ini", QByteArray("[URLInfo]\nBrowserLoad=") + setting + "\n");
    frmQuorvel w(QStringLiteral("AUTO"));
    std::vector<bool> runs;
    w.setRunFunction([&](RunView& view) { runs.push_back(view.browserLoadOn()); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 10000));
    EXPECT_EQ(runs, std::vector<bool>{setting[0] == '1'});
    EXPECT_EQ(stored("BrowserLoad"), setting);
  }
}

TEST_F(MainWindowTest, TheUrlFileGreysTheUrlBoxAndQuitAndExitStoreTheCheckBoxes) {
  writeFile("Quorvel.ini", "[URLInfo]\nLogResults=7\nGetImages=0\n");
  {
    frmQuorvel w;
    w.show();
    QTest::mouseClick(widget<QCheckBox>(&w, "chkSoundsOn"), Qt::LeftButton);
    for (const bool greyed : {true, false, true}) {  // the URL file greys the URL box
      QTest::mouseClick(widget<QCheckBox>(&w, "chkUseURLFile"), Qt::LeftButton);
      EXPECT_EQ(box(w)->isEnabled(), !greyed);
    }
    QTest::mouseClick(widget<QPushButton>(&w, "cmdCancel"), Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
  }
  EXPECT_EQ(stored("LogResults") + stored("GetImages") + stored("GetSounds") + stored("UseURLFile"),
            "1001");
  frmQuorvel w;
  w.show();
  action(w, "mnuExit")->trigger();
  EXPECT_FALSE(w.isVisible());
}

// The x at which a box draws the first character of its text (found from its cursor).
int drawnTextLeft(QLineEdit* box) {
  box->repaint();  // the box places its text when it paints
  const QRect cursor = box->inputMethodQuery(Qt::ImCursorRectangle).toRect();
  return cursor.center().x() -
         QFontMetrics(box->font()).horizontalAdvance(box->text().left(box->cursorPosition()));
}

TEST_F(MainWindowTest, TotalsBoxesShowTheirLargestValuesWhole) {
  frmQuorvel w;
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  // The fastest run (10,000,000.0 Kbps with the most bytes), the longest, the most pages.
  struct Totals {
    std::int64_t validUrls, errors, bytes, milliseconds;
  };
  for (const Totals& c : {Totals{1, 0, 999'999'999'999, 800'000},
                          Totals{1, 9'999'999'999, 999'999'999'999, 9'999'999'900},
                          Totals{9'999'999'999, 0, 35'939, 16}}) {
    RunTotals t;
    t.validUrls = c.validUrls;
    t.errors = c.errors;
    t.bytes = c.bytes;
    t.micros = c.milliseconds * 1000;
    w.setTotals(t);
    for (const char* name : {"txtValidURLs", "txtTotalErrors", "txtTotalBytes", "txtTotalSecs",
                             "txtThroughput", "txtAvgPageLoad"}) {
      QLineEdit* box = widget<QLineEdit>(&w, name);
      const int left = drawnTextLeft(box);
      const int right = left + QFontMetrics(box->font()).horizontalAdvance(box->text());
      const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
      EXPECT_TRUE(left >= frame && right <= box->width() - frame)
          << name << " draws \"" << box->text().toStdString() << "\" from x " << left << " to "
          << right << " in a box " << box->width() << " wide";
    }
  }
  EXPECT_EQ(shown(&w, "txtThroughput"), "17,969.5 Kbps");

  // A status longer than its line shows its beginning, where a short text begins.
  w.setStatus("Retrieving http://" + QString(200, 'a') + ".example/");
  QLineEdit* status = widget<QLineEdit>(&w, "txtStatus");
  EXPECT_EQ(drawnTextLeft(status), drawnTextLeft(widget<QLineEdit>(&w, "txtValidURLs")));
  // The right-hand column stays in line with the status.
  for (const char* name : {"txtTotalErrors", "txtTotalSecs", "txtAvgPageLoad"})
    EXPECT_EQ(widget(&w, name)->geometry().right(), status->geometry().right()) << name;
}

TEST_F(MainWindowTest, AutoTicksEveryBoxRunsOnceFromTheEventLoopAndCloses) {
  writeFile("Quorvel.ini", "[URLInfo]\nLogResults=0\nGetImages=0\nGetSounds=2\n");
  frmQuorvel w(QStringLiteral("AUTO"));
  int runs = 0;
  w.setRunFunction([&](RunView&) { ++runs; });
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(runs, 0);
  for (const char* name : {"chkLoggingOn", "chkImagesOn", "chkSoundsOn", "chkUseURLFile"})
    EXPECT_TRUE(checked(w, name)) << name;
  EXPECT_FALSE(box(w)->isEnabled());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 10000));
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(stored("LogResults") + stored("GetImages") + stored("GetSounds") + stored("UseURLFile"),
            "1111");
  // An unattended run keeps no window place: nobody placed the window.
  EXPECT_FALSE(readFile("Quorvel.ini").contains("WindowPlace"));
}

}  // namespace
}  // namespace quorvel
