#include "common/test_support.h"

#include <QFile>

#include "app/app_state.h"

namespace quorvel::testing {

void AppFolderTest::SetUp() {
  ASSERT_TRUE(dir_.isValid());
  qputenv("QUORVEL_HOME", dir_.path().toLocal8Bit());
  resetAppState(dir_.path());
  messages_.clear();
  setMessageSink([this](const MessageRecord& m) { messages_.push_back(m); });
}

void AppFolderTest::TearDown() {
  setMessageSink({});
  qunsetenv("QUORVEL_HOME");
}

QString AppFolderTest::path(const QString& name) const { return dir_.path() + '/' + name; }

void AppFolderTest::writeFile(const QString& name, const QByteArray& data) const {
  QFile f(path(name));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(data);
}

QByteArray AppFolderTest::readFile(const QString& name) const {
  QFile f(path(name));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

}  // namespace quorvel::testing
