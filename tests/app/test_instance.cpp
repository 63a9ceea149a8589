// The real program: one instance per application folder.
#include <signal.h>
#include <QFile>
#include <QTest>

#include "core/instance_lock.h"
#include "core/settings.h"
#include "common/test_support.h"

namespace quorvel {
namespace {

using testing::folderLocked;

class InstanceTest : public testing::AppFolderTest {};

TEST_F(InstanceTest, ASecondInstanceIsRefusedAndAKilledOneDoesNotBlock) {
  {
    InstanceLock a, b;
    ASSERT_TRUE(a.acquire(dir_.path()));
    EXPECT_FALSE(b.acquire(dir_.path()));
    EXPECT_FALSE(QFile::exists(path("Quorvel.lock")));  // the lock needs no file in the folder
    // A folder that cannot be locked at all does not stop the program.
    EXPECT_TRUE(InstanceLock().acquire(path("no/such/folder")));
  }
  EXPECT_FALSE(folderLocked(dir_.path()));

  QProcess first;
  testing::startQuorvel(first, dir_.path(), {});
  ASSERT_TRUE(QTest::qWaitFor([&] { return folderLocked(dir_.path()); }, 20000));
  const testing::Ended second = testing::runQuorvel(dir_.path(), {"auto"}, 20000);
  EXPECT_EQ(second.code, 1);
  EXPECT_TRUE(second.err.contains("Oops: Quorvel is already running!"));
  // The refused instance ran nothing: no automatic run stored its check boxes.
  EXPECT_EQ(ReadSetting(path("Quorvel.ini"), "URLInfo", "LogResults").length, 0);

  ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
  ASSERT_TRUE(first.waitForFinished(10000));
  EXPECT_FALSE(folderLocked(dir_.path()));
  QProcess third;
  testing::startQuorvel(third, dir_.path(), {});
  ASSERT_TRUE(QTest::qWaitFor([&] { return folderLocked(dir_.path()); }, 20000));
  EXPECT_EQ(third.state(), QProcess::Running);
  third.kill();
  third.waitForFinished(10000);
}

}  // namespace
}  // namespace quorvel
