// Every window as a user first sees it, from one table: its caption, each control by its name
// with the text it shows, and the layout read line by line (a line's controls side by side from
// left to right, each line below the one before). Every control lies inside its parent and
// shows its whole caption; nothing overlaps. A name given n times is its n controls in turn.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QLabel>
#include <QMap>
#include <QMenuBar>
#include <QPushButton>
#include <functional>
#include <memory>

#include "app/frm_quorvel.h"
#include "common/test_support.h"
#include "core/value_box.h"
#include "dialogs/about_text.h"
#include "dialogs/frm_about.h"
#include "dialogs/frm_options.h"
#include "quorvel_version.h"
#include "stats/frm_graph.h"
#include "stats/frm_statistics.h"
#include "tools/frm_ftp.h"
#include "tools/frm_ping.h"
#include "tools/frm_tracert.h"

namespace quorvel {
namespace {

using testing::shown;

// A window's lines, top to bottom: "name=caption|name=caption" (no "=": caption not checked).
struct Window {
  std::function<std::unique_ptr<QWidget>()> open;
  QString title;
  QStringList lines;
};

template <typename W, typename... A>
std::function<std::unique_ptr<QWidget>()> make(A... args) {
  return [=] { return std::make_unique<W>(args...); };
}

std::vector<Window> windows() {
  const QString version = versionText(version::kMajor, version::kMinor, version::kRevision);
  return {
      {make<frmQuorvel>(),
       "Quorvel",
       {"chkImagesOn=Get Images|chkSoundsOn=Get Sounds|lblIterations=Iterations:|txtIterations=1",
        "chkLoggingOn=Log Results|chkBrowserLoad=Load like a browser",
        "chkUseURLFile=Use URLS.DAT file|lblURLToUse=URL To Use:|cboURLToUse=",
        "lblStatus=Status:|txtStatus=",
        "lblValidURLs=Valid URLs:|txtValidURLs=|lblURLErrors=Total Errors:|txtTotalErrors=",
        "lblTotalBytes=Total Bytes:|txtTotalBytes=|lblTotalSecs=Total Secs:|txtTotalSecs=",
        "lblThroughput=Throughput:|txtThroughput=|lblAvgPageLoad=Avg. Page Load:|txtAvgPageLoad=",
        "cmdGo=&Run|cmdCancel=&Quit"}},
      {make<frmOptions>(),
       "Quorvel Options",
       {"chkUseProxyServer=Use proxy server for benchmarks",
        "lblAddress=Address:|txtAddress=|lblPort=Port:|txtPort=", "cmdOK=&OK|cmdCancel=&Cancel"}},
      {make<frmAbout>(),
       QStringLiteral("About ") + version::kProductName,
       {"picIcon=|lblTitle=Quorvel - Internet Connection Performance Benchmark",
        "lblVersion=" + version, QStringLiteral("lblDescription=") + version::kCopyright,
        "linSeparator1", "lblTechSupport=Tech Support: ",
        QStringLiteral("lblEMail=E-Mail:|lblEMailLink=") + version::kSupportEmail,
        QStringLiteral("lblWeb=Web:|lblWebLink=") + version::kWebAddress, "linSeparator2",
        "cmdSysInfo=&System Info...|cmdOK=OK"}},
      {make<frmStatistics>(),
       "Log File Statistics",
       {"lblLogFile=Log File:|txtLogFileName|cmdLogFileBrowse=&Browse",
        "lblDatesToInclude=Dates To Include:|chkAllDates=All|lblStart=First Date:|txtFirstDate=|"
        "lblLastDate=Last Date:|txtLastDate=",
        "lblTimePeriod=Time Period of Log File:|lblTimePeriodStat=",
        "lvwStatistics=Day Part, N, Avg Kbps, Med Kbps, Avg Pg Load, Med Pg Load",
        "cmdCompute=&Compute|cmdGraph=&Graph|cmdQuit=&Quit"}},
      {make<frmGraph>(),
       "Log File Graph",
       {"lblTitle=Average Download Speed for Period  to ", "MSChart1", "cmdClose=&Close"}},
      {make<frmFTP>(),
       "Quorvel - FTP",
       {"lblFTPFileName=FTP File:|cboRemoteFile", "lblResults=Results:", "txtResults",
        "cmdRun=&Run|cmdClose=C&lose"}},
      // The address box shows the host part of the first address of the main window.
      {make<frmPing>(QStringList{"https://LocalHost/x", "localhost:80/y"}),
       "Quorvel - Ping",
       {"lblAddress=Address to ping:|cboAddress=LocalHost",
        "lblNumRequests=Number of requests to send:|txtNumRequests=10|chkUseIPv6=Use IPv6",
        "lblTimeOut=Wait timeout (ms) to use for each reply:|txtTimeOut=500", "txtResults=",
        "lblStats=Average:|lblStats=Minimum:|lblStats=Maximum:|lblStats=Packets Sent:|"
        "lblStats=Packets Lost:",
        "txtStats=|txtStats=|txtStats=|txtStats=|txtStats=", "lblSpread=",
        "cmdRun=&Run|cmdClose=C&lose"}},
      {make<frmTraceRt>(QStringList{"http://Host.Example/a", "host.example/b"}),
       "Quorvel - TraceRoute",
       {"lblAddress=Address to trace:|cboAddress=Host.Example",
        "lblTimeOut=Wait timeout (ms) to use for each reply:|txtTimeOut=2400|"
        "chkResolve=Resolve IP Addresses",
        "lblNumRequests=Number of requests to send at each hop:|txtNumRequests=3|"
        "chkUseIPv6=Use IPv6",
        "txtResults=", "chkReport=Report|txtCycles=10|cmdRun=&Run|cmdClose=C&lose"}},
  };
}

// Where a control is, in its window's coordinates.
QRect placeOf(const QWidget* c) {
  return QRect(c->mapTo(c->window(), QPoint(0, 0)), c->size());
}

// Whether a control has room for its whole caption (a text box: its text or its placeholder).
bool captionFits(const QWidget* c) {
  if (const auto* e = qobject_cast<const QLineEdit*>(c)) {
    const QString text = e->text().isEmpty() ? e->placeholderText() : e->text();
    return text.isEmpty() || boxWidthFor(e, text) <= e->width();
  }
  const auto* b = qobject_cast<const QPushButton*>(c);
  if (b)
    return b->fontMetrics().horizontalAdvance(QString(b->text()).remove('&')) + 8 <= b->width();
  const auto* l = qobject_cast<const QLabel*>(c);
  if ((l && !l->wordWrap() && !l->text().isEmpty()) || qobject_cast<const QCheckBox*>(c))
    return c->width() >= c->sizeHint().width();
  return true;
}

class Windows : public testing::AppFolderTest {};

// At the default font, and at every size from 9 to 14 points a desktop may set (the twips
// layout grows where a text needs more room).
TEST_F(Windows, ControlsCaptionsAndLayoutAsTheUserSeesThem) {
  const QFont original = QApplication::font();
  for (const int points : {0, 9, 10, 11, 12, 13, 14})
  for (const Window& expected : windows()) {
    SCOPED_TRACE(expected.title.toStdString() + " at " + std::to_string(points) + " pt");
    QFont font = original;
    if (points > 0) font.setPointSize(points);
    QApplication::setFont(font);
    const std::unique_ptr<QWidget> w = expected.open();
    w->show();
    EXPECT_EQ(w->windowTitle(), expected.title);
    int previousBottom = 0;
    QMap<QString, int> seen;
    for (const QString& line : expected.lines) {
      int bottom = 0;
      const QWidget* left = nullptr;
      for (const QString& item : line.split('|')) {
        const QString name = item.section('=', 0, 0);
        SCOPED_TRACE(name.toStdString());
        const QWidget* control = w->findChildren<QWidget*>(name).value(seen[name]++, nullptr);
        ASSERT_NE(control, nullptr);
        if (item.contains('=')) {
          EXPECT_EQ(shown(control), item.section('=', 1));
        }
        const QRect r = placeOf(control);
        EXPECT_TRUE(control->isVisible());
        EXPECT_TRUE(control->parentWidget()->rect().contains(control->geometry()));
        EXPECT_TRUE(captionFits(control)) << control->width() << " wide";
        EXPECT_GE(r.top(), previousBottom) << "below the line before";
        if (left) {
          EXPECT_GE(r.left(), placeOf(left).right())
              << "right of " << left->objectName().toStdString();
          EXPECT_TRUE(r.top() <= placeOf(left).bottom() && placeOf(left).top() <= r.bottom())
              << "beside " << left->objectName().toStdString();
        }
        left = control;
        bottom = std::max(bottom, r.bottom() + 1);
      }
      previousBottom = bottom;
    }
  }
  QApplication::setFont(original);
}

// The main window's menus: their order, captions and separators as the menu bar shows them.
TEST_F(Windows, MainWindowMenus) {
  frmQuorvel w;
  QStringList bar;
  for (const QAction* menu : w.menuBar()->actions()) {
    QString entry = menu->objectName() + '=' + menu->text();
    if (menu->menu())
      for (const QAction* a : menu->menu()->actions())
        entry += ' ' + (a->isSeparator() ? QStringLiteral("-") : a->objectName() + '=' + a->text());
    bar << entry;
  }
  EXPECT_EQ(bar,
            QStringList({"mnuFile=&File mnuViewLogFile=&View log file "
                         "mnuClearLogFile=&Clear log file mnuRunRequests=Last &run's requests... - "
                         "mnuExit=E&xit",
                         "mnuOptions=&Options",
                         "mnuTools=&Tools mnuFTP=&FTP mnuPing=&Ping mnuTraceRoute=&TraceRoute - "
                         "mnuLogFileStatistics=&Log File Statistics",
                         "mnuAbout=&About"}));
}

}  // namespace
}  // namespace quorvel
