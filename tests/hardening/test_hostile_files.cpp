// The real program against what a user or an intruder can put in its folder: FIFOs and
// devices where its files belong, planted symbolic links, a folder that takes no new file.
// Every start has a generous time limit, so a program that hangs fails instead of waiting.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/app_state.h"
#include "common/test_support.h"
#include "hardening/small_fs.h"
#include "stats/frm_graph.h"
#include "stats/frm_statistics.h"
#include "stats/summary_log_writer.h"

namespace quorvel {
namespace {

using testing::SmallFs;

// A page that cannot be fetched (nothing listens there): the run logs it and ends at once.
const QByteArray kUrlList = "http://127.0.0.1:1/\n";

struct Ended {
  bool finished = false;
  int code = -1;
  QString err;  // what the program said on standard error
};

Ended runProgram(const QString& folder, const QStringList& args, QProcess* keepRunning = nullptr) {
  QProcess local;
  QProcess& p = keepRunning ? *keepRunning : local;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QUORVEL_HOME", folder);
  env.insert("QT_QPA_PLATFORM", "offscreen");
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(QUORVEL_EXE), args);
  Ended e;
  if (!p.waitForStarted(10000) || keepRunning) return e;
  e.finished = p.waitForFinished(20000);
  if (!e.finished) {
    p.kill();
    p.waitForFinished(10000);
  }
  e.code = p.exitCode();
  e.err = QString::fromLocal8Bit(p.readAllStandardError());
  return e;
}

void put(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  ASSERT_EQ(f.write(data), data.size());
}

QByteArray get(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool isFifo(const QString& path) {
  struct stat st;
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

bool folderLockHeld(const QString& folder) {
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
  ::close(fd);
  return held;
}

// Releases a reader stuck in opening a FIFO, after a time: the test then fails instead of
// hanging.
class FifoWatchdog {
 public:
  explicit FifoWatchdog(const QString& fifo) : fifo_(QFile::encodeName(fifo)) {
    thread_ = std::thread([this] {
      std::unique_lock<std::mutex> lock(m_);
      if (cv_.wait_for(lock, std::chrono::seconds(20), [this] { return done_; })) return;
      fired_ = true;
      const int fd = ::open(fifo_.constData(), O_RDWR | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
    });
  }
  ~FifoWatchdog() {
    {
      std::lock_guard<std::mutex> lock(m_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  bool fired() const { return fired_; }

 private:
  QByteArray fifo_;
  std::mutex m_;
  std::condition_variable cv_;
  bool done_ = false;
  bool fired_ = false;
  std::thread thread_;
};

class HostileFiles : public testing::AppFolderTest {
 protected:
  // A fresh application folder below the test's own, with a URL list.
  QString folder(const QString& name) {
    const QString f = dir_.path() + QLatin1Char('/') + name;
    EXPECT_TRUE(QDir().mkpath(f));
    put(f + QStringLiteral("/URLS.DAT"), kUrlList);
    return f;
  }
};

// Each file the program opens, replaced by a FIFO (or a link to a device): the start returns,
// names the file and goes on without it; the FIFO is left as it is.
TEST_F(HostileFiles, FifosAndDevicesWhereFilesBelong) {
  struct Case {
    const char* file;
    bool device;  // a link to /dev/zero instead of a FIFO
    QStringList args;
    const char* said;
    int code;
  };
  const QStringList autoRun{QStringLiteral("auto")};
  const Case cases[] = {
      {"Quorvel.ini", false, autoRun,
       "Quorvel.ini could not be read (it is not a regular file); the settings in it are not "
       "used or changed.",
       3},
      {"Quorvel.ini", true, autoRun, "Quorvel.ini could not be read (it is not a regular file)", 3},
      {"debug.txt", false, autoRun,
       "debug.txt could not be read (it is not a regular file); it is ignored.", 0},
      {"URLS.DAT", false, autoRun, "Could not read URLS.DAT file (it is not a regular file)!", 2},
      {"QuorvelLog.txt", false, autoRun,
       "QuorvelLog.txt could not be opened for writing (it is not a regular file).", 3},
      {"QVSum.log", false, autoRun,
       "QVSum.log could not be opened for writing (it is not a regular file).", 3},
      {"QVURL.log", false, autoRun,
       "QVURL.log could not be opened for writing (it is not a regular file).", 3},
      {"Debug.log",
       false,
       {"auto", "debug1"},
       "Debug.log could not be opened for writing (it is not a regular file).",
       3},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + (c.device ? " -> /dev/zero" : " FIFO"));
    const QString home = folder(QStringLiteral("case%1").arg(++n));
    const QString file = home + QLatin1Char('/') + QLatin1String(c.file);
    QFile::remove(file);
    if (c.device)
      ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), file));
    else
      ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0644), 0);
    const Ended e = runProgram(home, c.args);
    ASSERT_TRUE(e.finished) << "the start hangs";
    EXPECT_TRUE(e.err.contains(QLatin1String(c.said))) << e.err.toStdString();
    EXPECT_EQ(e.code, c.code) << e.err.toStdString();
    if (!c.device) {
      EXPECT_TRUE(isFifo(file));
    }
  }
}

// The statistics and the graph window: a FIFO for the summary log or chart.dat is named, never
// opened.
TEST_F(HostileFiles, FifosForTheStatisticsFiles) {
  const QString log = path(QStringLiteral("QVSum.log"));
  const QString chart = path(QStringLiteral("chart.dat"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(log).constData(), 0644), 0);
  ASSERT_EQ(::mkfifo(QFile::encodeName(chart).constData(), 0644), 0);
  {
    FifoWatchdog watchdog(log);
    frmStatistics w;
    w.show();
    w.findChild<QPushButton*>(QStringLiteral("cmdCompute"))->click();
    EXPECT_FALSE(watchdog.fired()) << "Compute hangs on the FIFO";
  }
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, QStringLiteral("QVSum.log is not a regular file!"));
  messages_.clear();
  {
    FifoWatchdog watchdog(chart);
    frmGraph g;
    g.show();
    EXPECT_FALSE(watchdog.fired()) << "the graph hangs on the FIFO";
    EXPECT_EQ(g.findChild<QLabel*>(QStringLiteral("lblTitle"))->text(),
              QStringLiteral("Average Download Speed for Period  to "));
  }
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text,
            QStringLiteral("chart.dat could not be read (it is not a regular file)."));
}

// Links planted in the folder (a cron job as root in a folder others can write) are reported
// and left alone, and so is what they point to.
TEST_F(HostileFiles, PlantedLinksAreNeverWrittenThrough) {
  const QString elsewhere = dir_.path() + QStringLiteral("/elsewhere");
  ASSERT_TRUE(QDir().mkpath(elsewhere));
  const QByteArray untouched = "[URLInfo]\nsomeone else's file\n";
  const QByteArray bigLog(600000, 'x');  // beyond the size at which a log is rotated
  auto plant = [&](const QString& home, const QString& name, const QByteArray& contents) {
    const QString target = elsewhere + QLatin1Char('/') + name;
    if (!contents.isNull()) put(target, contents);
    ASSERT_TRUE(QFile::link(target, home + QLatin1Char('/') + name));
  };

  // The logs, the copy of a rotated log, the debug log, the settings file and a lock file.
  const QString home = folder(QStringLiteral("app"));
  put(home + QStringLiteral("/QuorvelLog.txt"), bigLog);
  const QStringList linked{"QuorvelLog.bak", "QVSum.log", "QVURL.log", "Debug.log", "Quorvel.ini"};
  for (const QString& name : linked) plant(home, name, untouched);
  plant(home, QStringLiteral("Quorvel.lock"), QByteArray());  // a link to nothing yet
  Ended e = runProgram(home, {"auto", "debug1"});
  ASSERT_TRUE(e.finished);
  EXPECT_EQ(e.code, 3);
  for (const QString& name : linked) {
    EXPECT_EQ(get(elsewhere + QLatin1Char('/') + name), untouched) << name.toStdString();
    EXPECT_TRUE(QFileInfo(home + QLatin1Char('/') + name).isSymLink()) << name.toStdString();
  }
  EXPECT_FALSE(QFile::exists(elsewhere + QStringLiteral("/Quorvel.lock")));
  for (const char* said :
       {"QuorvelLog.txt could not be copied to QuorvelLog.bak (it is a symbolic link)",
        "QVSum.log could not be opened for writing (it is a symbolic link).",
        "QVURL.log could not be opened for writing (it is a symbolic link).",
        "Debug.log could not be opened for writing (it is a symbolic link).",
        "Quorvel.ini could not be written (it is a symbolic link)"})
    EXPECT_TRUE(e.err.contains(QLatin1String(said))) << said << "\n" << e.err.toStdString();
  EXPECT_TRUE(get(home + QStringLiteral("/QuorvelLog.txt")).startsWith(bigLog));

  // The main log itself: a big one is neither copied nor emptied through the link.
  const QString home2 = folder(QStringLiteral("app2"));
  plant(home2, QStringLiteral("QuorvelLog.txt"), bigLog);
  e = runProgram(home2, {"auto"});
  ASSERT_TRUE(e.finished);
  EXPECT_EQ(get(elsewhere + QStringLiteral("/QuorvelLog.txt")), bigLog);
  EXPECT_TRUE(e.err.contains(
      QLatin1String("QuorvelLog.txt could not be opened for writing (it is a symbolic link).")))
      << e.err.toStdString();

  // chart.dat, which every computation rewrites.
  put(path(QStringLiteral("QVSum.log")),
      testing::summaryLine(QDate(2026, 12, 1), 9, 30, 100, 2.5) + "\r\n");
  plant(dir_.path(), QStringLiteral("chart.dat"), untouched);
  frmStatistics w;
  w.show();
  w.findChild<QPushButton*>(QStringLiteral("cmdCompute"))->click();
  EXPECT_EQ(get(elsewhere + QStringLiteral("/chart.dat")), untouched);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(messages_[0].text.endsWith(QStringLiteral(": it is a symbolic link")))
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
  put(store.file(QStringLiteral("Quorvel.ini")), old);
  put(app.file(QStringLiteral("Quorvel.ini")), QByteArray());
  put(app.file(QStringLiteral("URLS.DAT")), kUrlList);
  ASSERT_TRUE(app.makeReadOnly());
  // The writable file takes the place of the one in the read-only folder.
  const QByteArray ini = QFile::encodeName(app.file(QStringLiteral("Quorvel.ini")));
  ASSERT_EQ(::mount(QFile::encodeName(store.file(QStringLiteral("Quorvel.ini"))).constData(),
                    ini.constData(), nullptr, MS_BIND, nullptr),
            0);
  struct Unbind {
    QByteArray at;
    ~Unbind() { ::umount2(at.constData(), MNT_DETACH); }
  } unbind{ini};

  QProcess first;
  runProgram(app.path(), {}, &first);
  QDeadlineTimer deadline(20000);
  while (!folderLockHeld(app.path()) && !deadline.hasExpired()) QThread::msleep(50);
  Ended e = runProgram(app.path(), {"auto"});
  first.kill();
  first.waitForFinished(10000);
  ASSERT_TRUE(e.finished);
  EXPECT_EQ(e.code, 1);
  EXPECT_TRUE(e.err.contains(QLatin1String("Quorvel is already running!"))) << e.err.toStdString();

  e = runProgram(app.path(), {"auto"});
  ASSERT_TRUE(e.finished);
  EXPECT_EQ(e.code, 3);  // the logs cannot be made in the folder
  const QByteArray stored = get(store.file(QStringLiteral("Quorvel.ini")));
  EXPECT_TRUE(stored.startsWith(old)) << stored.constData();
  EXPECT_TRUE(stored.contains("\r\nLogResults=1\r\nGetImages=1\r\nGetSounds=1\r\nUseURLFile=1\r\n"))
      << stored.constData();
  EXPECT_FALSE(e.err.contains(QLatin1String("Quorvel.ini"))) << e.err.toStdString();

  ASSERT_TRUE(store.makeReadOnly());
  e = runProgram(app.path(), {"auto"});
  ASSERT_TRUE(e.finished);
  EXPECT_EQ(e.code, 3);
  EXPECT_EQ(e.err.count(QLatin1String("Quorvel.ini could not be written (Read-only file system); "
                                      "settings changed from now on are not kept.")),
            1)
      << e.err.toStdString();
  EXPECT_EQ(get(store.file(QStringLiteral("Quorvel.ini"))), stored);
}

// The exit code of an unattended run tells a cron job what happened.
TEST_F(HostileFiles, UnattendedExitCodes) {
  SmallFs readOnly;
  REQUIRE_SMALL_FS(readOnly);
  put(readOnly.file(QStringLiteral("URLS.DAT")), kUrlList);
  put(readOnly.file(QStringLiteral("Quorvel.ini")), "[URLInfo]\n");
  ASSERT_TRUE(readOnly.makeReadOnly());
  const QString noList = dir_.path() + QStringLiteral("/nolist");
  ASSERT_TRUE(QDir().mkpath(noList));

  struct Case {
    QString home;
    int code;
    const char* said;
  };
  for (const Case& c : {Case{folder(QStringLiteral("fine")), 0, ""},
                        Case{noList, 2, "Could not locate URLS.DAT file!"},
                        Case{readOnly.path(), 3, "QVSum.log could not be opened for writing"}}) {
    SCOPED_TRACE(c.home.toStdString());
    const Ended e = runProgram(c.home, {"auto"});
    ASSERT_TRUE(e.finished);
    EXPECT_EQ(e.code, c.code) << e.err.toStdString();
    EXPECT_TRUE(e.err.contains(QLatin1String(c.said))) << e.err.toStdString();
  }
}

}  // namespace
}  // namespace quorvel
