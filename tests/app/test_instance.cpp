// The real program: one instance per application folder, and the unattended run.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <csignal>

#include "app/instance_lock.h"
#include "app/settings.h"
#include "common/test_support.h"

namespace quorvel {
namespace {

class ProgramTest : public testing::AppFolderTest {
 protected:
  void start(QProcess& p, const QStringList& args = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUORVEL_HOME", dir_.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QUORVEL_EXE), args);
    ASSERT_TRUE(p.waitForStarted(10000));
  }

  // Whether some process holds the instance lock (tried from here, without keeping it).
  bool lockHeld() {
    const QByteArray folder = QFile::encodeName(dir_.path());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
  }

  bool waitForLock() {
    QDeadlineTimer deadline(20000);
    while (!lockHeld()) {
      if (deadline.hasExpired()) return false;
      QTest::qWait(50);
    }
    return true;
  }

  static void stop(QProcess& p) {
    if (p.state() == QProcess::NotRunning) return;
    ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
    p.waitForFinished(10000);
  }
};

TEST_F(ProgramTest, LockIsExclusiveAndReleased) {
  InstanceLock a, b;
  ASSERT_TRUE(a.acquire(dir_.path()));
  EXPECT_TRUE(lockHeld());
  EXPECT_FALSE(b.acquire(dir_.path()));
  a.release();
  EXPECT_FALSE(lockHeld());
  EXPECT_TRUE(b.acquire(dir_.path()));
  // The lock needs no file in the folder.
  EXPECT_FALSE(QFile::exists(path("Quorvel.lock")));
  // A folder that cannot be locked at all does not stop the program.
  InstanceLock c;
  EXPECT_TRUE(c.acquire(path("no/such/folder")));
}

TEST_F(ProgramTest, SecondInstanceIsRefusedAndAKilledOneDoesNotBlock) {
  QProcess first;
  start(first);
  ASSERT_TRUE(waitForLock());

  QProcess second;
  start(second, {"auto"});
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(second.exitCode(), 1);
  EXPECT_TRUE(second.readAllStandardError().contains("Oops: Quorvel is already running!"));
  // The refused instance ran nothing: no automatic run stored its check boxes.
  EXPECT_EQ(ReadSetting(path("Quorvel.ini"), "URLInfo", "LogResults").length, 0);

  ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
  ASSERT_TRUE(first.waitForFinished(10000));
  EXPECT_FALSE(lockHeld());

  QProcess third;
  start(third);
  ASSERT_TRUE(waitForLock());
  EXPECT_FALSE(third.waitForFinished(500));
  EXPECT_EQ(third.state(), QProcess::Running);
  stop(third);
}

TEST_F(ProgramTest, AutomaticRunEndsTheProgramAndStoresTheCheckBoxes) {
  writeFile("Quorvel.ini", "[URLInfo]\nLogResults=0\nGetImages=0\nGetSounds=0\nUseURLFile=0\n");
  // A page that cannot be fetched (nothing listens there) is logged like any other.
  writeFile("URLS.DAT", "http://127.0.0.1:1/\n");
  QProcess p;
  start(p, {"Auto"});
  const bool ended = p.waitForFinished(120000);
  if (!ended) stop(p);
  ASSERT_TRUE(ended);
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 0);
  for (const char* key : {"LogResults", "GetImages", "GetSounds", "UseURLFile"})
    EXPECT_EQ(ReadSetting(path("Quorvel.ini"), "URLInfo", key).value, "1") << key;
  EXPECT_FALSE(lockHeld());
}

}  // namespace
}  // namespace quorvel
