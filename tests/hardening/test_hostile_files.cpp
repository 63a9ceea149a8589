// The real program against what a user or an intruder can put in its folder: FIFOs and devices
// where its files belong, planted symbolic links, a folder that takes no new file. Every start
// has a generous time limit, so a program that hangs fails instead of waiting.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <thread>

#include "common/test_support.h"
#include "hardening/small_fs.h"
#include "stats/frm_graph.h"
#include "stats/frm_statistics.h"
#include "stats/summary_log_writer.h"

namespace quorvel {
namespace {

using namespace std::chrono_literals;
using testing::Ended;
using testing::get;
using testing::put;
using testing::runQuorvel;
using testing::SmallFs;

// A page that cannot be fetched (nothing listens there): the run logs it and ends at once.
const QByteArray kUrlList = "http://127.0.0.1:1/\n";

bool isFifo(const QString& path) {
  struct stat st;
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// Releases a reader stuck opening a FIFO after 20 seconds, so that the test fails, not hangs.
class FifoWatchdog {
 public:
  explicit FifoWatchdog(const QString& fifo)
      : thread_([this, name = QFile::encodeName(fifo)] {
          for (int i = 0; i < 400 && !done_; ++i) std::this_thread::sleep_for(50ms);
          if (done_) return;
          fired_ = true;
          const int fd = ::open(name.constData(), O_RDWR | O_NONBLOCK);
          if (fd >= 0) ::close(fd);
        }) {}
  ~FifoWatchdog() {
    done_ = true;
    thread_.join();
  }
  bool fired() const { return fired_; }

 private:
  std::atomic<bool> done_{false}, fired_{false};
  std::thread thread_;
};

class HostileFiles : public testing::AppFolderTest {
 protected:
  // A fresh application folder below the test's own, with a URL list.
  QString folder(const QString& name) {
    const QString f = path(name);
    EXPECT_TRUE(QDir().mkpath(f));
    put(f + "/URLS.DAT", kUrlList);
    return f;
  }
};

// Each file the program opens, replaced by a FIFO (or a link to a device): the start returns,
// names the file, goes on without it and says so in its exit code; the FIFO is left alone.
TEST_F(HostileFiles, FifosAndDevicesWhereFilesBelong) {
  const QString notRegular = "%1 could not be opened for writing (it is not a regular file).";
  const std::tuple<const char*, bool, const char*, QString, int> cases[] = {
      {"Quorvel.ini", false, "auto",
       "Quorvel.ini could not be read (it is not a regular file); the settings in it are not used "
       "or changed.",
       3},
      {"Quorvel.ini", true, "auto", "Quorvel.ini could not be read (it is not a regular file)", 3},
      {"debug.txt", false, "auto",
       "debug.txt could not be read (it is not a regular file); it is ignored.", 0},
      {"URLS.DAT", false, "auto", "Could not read URLS.DAT file (it is not a regular file)!", 2},
      {"QuorvelLog.txt", false, "auto", notRegular.arg("QuorvelLog.txt"), 3},
      {"QVSum.log", false, "auto", notRegular.arg("QVSum.log"), 3},
      {"QVURL.log", false, "auto", notRegular.arg("QVURL.log"), 3},
      {"Debug.log", false, "auto debug1", notRegular.arg("Debug.log"), 3},
  };
  int n = 0;
  for (const auto& [name, device, args, said, code] : cases) {
    SCOPED_TRACE(std::string(name) + (device ? " -> /dev/zero" : " FIFO"));
    const QString home = folder(QStringLiteral("case%1").arg(++n));
    const QString file = home + '/' + name;
    QFile::remove(file);
    if (device)
      ASSERT_TRUE(QFile::link("/dev/zero", file));
    else
      ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0644), 0);
    const Ended e = runQuorvel(home, QString(args).split(' '), 20000);
    ASSERT_TRUE(e.finished) << "the start hangs";
    EXPECT_TRUE(e.err.contains(said.toUtf8())) << e.err.toStdString();
    EXPECT_EQ(e.code, code) << e.err.toStdString();
    EXPECT_TRUE(device || isFifo(file));
  }
}

// The statistics and the graph window: a FIFO for the summary log or chart.dat is named, never
// opened.
TEST_F(HostileFiles, FifosForTheStatisticsFiles) {
  for (const char* name : {"QVSum.log", "chart.dat"})
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(name)).constData(), 0644), 0);
  {
    FifoWatchdog watchdog(path("QVSum.log"));
    frmStatistics w;
    w.show();
    QTest::mouseClick(testing::widget<QPushButton>(&w, "cmdCompute"), Qt::LeftButton);
    EXPECT_FALSE(watchdog.fired()) << "Compute hangs on the FIFO";
  }
  {
    FifoWatchdog watchdog(path("chart.dat"));
    frmGraph g;
    g.show();
    EXPECT_FALSE(watchdog.fired()) << "the graph hangs on the FIFO";
    EXPECT_EQ(testing::shown(&g, "lblTitle"), "Average Download Speed for Period  to ");
  }
  ASSERT_EQ(messages_.size(), 2u);
  EXPECT_EQ(messages_[0].text, "QVSum.log is not a regular file!");
  EXPECT_EQ(messages_[1].text, "chart.dat could not be read (it is not a regular file).");
}

// Links planted in the folder (a cron job as root in a folder others can write) are reported
// and left alone, and so is what they point to.
TEST_F(HostileFiles, PlantedLinksAreNeverWrittenThrough) {
  const QString elsewhere = folder("elsewhere");
  const QByteArray untouched = "[URLInfo]\nsomeone else's file\n";
  const QByteArray bigLog(600000, 'x');  // beyond the size at which a log is rotated
  const auto plant = [&](const QString& home, const QString& name, const QByteArray& contents) {
    if (!contents.isNull()) put(elsewhere + '/' + name, contents);
    ASSERT_TRUE(QFile::link(elsewhere + '/' + name, home + '/' + name));
  };
  // The logs, the copy of a rotated log, the debug log, the settings file and a lock file.
  const QString home = folder("app");
  put(home + "/QuorvelLog.txt", bigLog);
  const QStringList linked{"QuorvelLog.bak", "QVSum.log", "QVURL.log", "Debug.log", "Quorvel.ini"};
  for (const QString& name : linked) plant(home, name, untouched);
  plant(home, "Quorvel.lock", QByteArray());  // a link to nothing yet
  Ended e = runQuorvel(home, {"auto", "debug1"}, 20000);
  ASSERT_TRUE(e.finished);
  EXPECT_EQ(e.code, 3);
  for (const QString& name : linked) {
    EXPECT_EQ(get(elsewhere + '/' + name), untouched) << name.toStdString();
    EXPECT_TRUE(QFileInfo(home + '/' + name).isSymLink()) << name.toStdString();
  }
  EXPECT_FALSE(QFile::exists(elsewhere + "/Quorvel.lock"));
  for (const char* said :
       {"QuorvelLog.txt could not be copied to QuorvelLog.bak (it is a symbolic link)",
        "QVSum.log could not be opened for writing (it is a symbolic link).",
        "QVURL.log could not be opened for writing (it is a symbolic link).",
        "Debug.log could not be opened for writing (it is a symbolic link).",
        "Quorvel.ini could not be written (it is a symbolic link)"})
    EXPECT_TRUE(e.err.contains(said)) << said << "\n" << e.err.toStdString();
  EXPECT_TRUE(get(home + "/QuorvelLog.txt").startsWith(bigLog));

  // The main log itself: a big one is neither copied nor emptied through the link.
  const QString home2 = folder("app2");
  plant(home2, "QuorvelLog.txt", bigLog);
  e = runQuorvel(home2, {"auto"}, 20000);
  EXPECT_EQ(get(elsewhere + "/QuorvelLog.txt"), bigLog);
  EXPECT_TRUE(
      e.err.contains("QuorvelLog.txt could not be opened for writing (it is a symbolic link)."))
      << e.err.toStdString();

  // chart.dat, which every computation rewrites.
  writeFile("QVSum.log", testing::summaryLine(QDate(2026, 12, 1), 9, 30, 100, 2.5) + "\r\n");
  plant(dir_.path(), "chart.dat", untouched);
  frmStatistics w;
  w.show();
  QTest::mouseClick(testing::widget<QPushButton>(&w, "cmdCompute"), Qt::LeftButton);
  EXPECT_EQ(get(elsewhere + "/chart.dat"), untouched);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].text.endsWith(": it is a symbolic link"))
      << messages_[0].text.toStdString();
}

// A settings file that can be written in a folder that takes no new file (no temporary file
// beside it, no lock file): the settings are stored in place, a second instance is still
// refused, and when the file cannot be written either, that is said once.
TEST_F(HostileFiles, SettingsFileWritableInAReadOnlyFolder) {
  SmallFs app(256 * 1024), store;
  REQUIRE_SMALL_FS(app);
  REQUIRE_SMALL_FS(store);
  const QByteArray old = "[URLInfo]\r\nURL1=http://127.0.0.1:1/kept\r\n";
  put(store.file("Quorvel.ini"), old);
  put(app.file("Quorvel.ini"), QByteArray());
  put(app.file("URLS.DAT"), kUrlList);
  ASSERT_TRUE(app.makeReadOnly());
  // The writable file takes the place of the one in the read-only folder.
  const QByteArray ini = QFile::encodeName(app.file("Quorvel.ini"));
  ASSERT_EQ(::mount(QFile::encodeName(store.file("Quorvel.ini")).constData(), ini.constData(),
                    nullptr, MS_BIND, nullptr),
            0);
  struct Unbind {
    QByteArray at;
    ~Unbind() { ::umount2(at.constData(), MNT_DETACH); }
  } unbind{ini};

  QProcess first;
  testing::startQuorvel(first, app.path(), {});
  EXPECT_TRUE(QTest::qWaitFor([&] { return testing::folderLocked(app.path()); }, 20000));
  Ended e = runQuorvel(app.path(), {"auto"}, 20000);
  first.kill();
  first.waitForFinished(10000);
  EXPECT_EQ(e.code, 1);
  EXPECT_TRUE(e.err.contains("Quorvel is already running!")) << e.err.toStdString();

  e = runQuorvel(app.path(), {"auto"}, 20000);
  EXPECT_EQ(e.code, 3);  // the logs cannot be made in the folder
  const QByteArray stored = get(store.file("Quorvel.ini"));
  EXPECT_TRUE(stored.startsWith(old)) << stored.constData();
  EXPECT_TRUE(stored.contains("\r\nLogResults=1\r\nGetImages=1\r\nGetSounds=1\r\nUseURLFile=1\r\n"))
      << stored.constData();
  EXPECT_FALSE(e.err.contains("Quorvel.ini")) << e.err.toStdString();

  ASSERT_TRUE(store.makeReadOnly());
  e = runQuorvel(app.path(), {"auto"}, 20000);
  EXPECT_EQ(e.code, 3);
  EXPECT_EQ(e.err.count("Quorvel.ini could not be written (Read-only file system); settings "
                        "changed from now on are not kept."),
            1)
      << e.err.toStdString();
  EXPECT_EQ(get(store.file("Quorvel.ini")), stored);
}

}  // namespace
}  // namespace quorvel
