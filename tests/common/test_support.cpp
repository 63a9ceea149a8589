#include "common/test_support.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidget>

#include "core/app_state.h"

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

QString AppFolderTest::path(const QString& name) const {
  return dir_.path() + '/' + name;
}

void AppFolderTest::writeFile(const QString& name, const QByteArray& data) const {
  put(path(name), data);
}

QByteArray AppFolderTest::readFile(const QString& name) const {
  const QByteArray data = get(path(name));
  return data == "<missing>" ? QByteArray() : data;
}

QStringList AppFolderTest::logLines(const QString& name) const {
  QStringList lines = QString::fromUtf8(readFile(name)).split(QStringLiteral("\r\n"));
  if (lines.last().isEmpty()) lines.removeLast();
  return lines;
}

void put(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  ASSERT_EQ(f.write(data), data.size()) << path.toStdString();
}

QByteArray get(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void startQuorvel(QProcess& p, const QString& folder, const QStringList& args, bool offscreen,
                  const QStringList& wrapper) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QUORVEL_HOME"), folder);
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    env.remove(QLatin1String(name));
  if (offscreen) env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  p.setProcessEnvironment(env);
  const QStringList line = wrapper + QStringList{QStringLiteral(QUORVEL_EXE)} + args;
  p.start(line[0], line.mid(1));
  EXPECT_TRUE(p.waitForStarted(10000));
}

Ended runQuorvel(const QString& folder, const QStringList& args, int timeoutMs, bool offscreen,
                 const QStringList& wrapper) {
  QProcess p;
  startQuorvel(p, folder, args, offscreen, wrapper);
  Ended e;
  e.finished = p.waitForFinished(timeoutMs);
  if (!e.finished) {
    p.kill();
    p.waitForFinished(10000);
  }
  e.code = e.finished && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  e.out = p.readAllStandardOutput();
  e.err = p.readAllStandardError();
  return e;
}

QString promtoolComplaint(const QString& file) {
  const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
  if (promtool.isEmpty()) return {};
  QProcess p;
  p.setStandardInputFile(file);
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
  if (!p.waitForFinished(60000)) return QStringLiteral("promtool did not finish");
  const QString said = QString::fromLocal8Bit(p.readAll()).trimmed();
  return p.exitCode() == 0 && said.isEmpty()
             ? QString()
             : said + QStringLiteral(" (exit %1)").arg(p.exitCode());
}

long procStatusKb(const char* field) {
  for (const QByteArray& line : get(QStringLiteral("/proc/self/status")).split('\n'))
    if (line.startsWith(field)) return line.mid(qstrlen(field)).trimmed().split(' ')[0].toLong();
  return 0;
}

bool folderLocked(const QString& folder) {
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
  ::close(fd);
  return held;
}

QWidget* tabTo(QWidget* window, const QString& name) {
  QWidget* target = widget(window, name);
  if (!window->isActiveWindow()) {
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
  }
  for (int i = 0; i < 20; ++i) {
    QWidget* f = QApplication::focusWidget();
    if (f == target || (f && f->parentWidget() == target)) return f;
    QTest::keyClick(f ? f : window, Qt::Key_Tab);
  }
  ADD_FAILURE() << "Tab never reaches " << name.toStdString();
  return target;
}

void type(QWidget* window, const QString& box, const QString& text) {
  QWidget* f = tabTo(window, box);
  QTest::keyClick(f, Qt::Key_A, Qt::ControlModifier);
  if (text.isEmpty()) QTest::keyClick(f, Qt::Key_Delete);
  QTest::keyClicks(f, text);
}

void click(const QWidget* window, const QString& button) {
  QTest::mouseClick(widget<QAbstractButton>(window, button), Qt::LeftButton);
}

QStringList tableRows(const QObject* w, const QString& name) {
  const QAbstractItemModel* model = widget<QAbstractItemView>(w, name)->model();
  QStringList rows;
  for (int r = 0; r < model->rowCount(); ++r) {
    QStringList cells;
    for (int c = 0; c < model->columnCount(); ++c) cells << model->index(r, c).data().toString();
    rows << cells.join(' ');
  }
  return rows;
}

QString shown(const QObject* w, const QString& name) {
  return shown(widget(w, name));
}

QString shown(const QWidget* c) {
  if (auto* e = qobject_cast<const QLineEdit*>(c)) return e->text();
  if (auto* l = qobject_cast<const QLabel*>(c)) return l->text();
  if (auto* b = qobject_cast<const QAbstractButton*>(c)) return b->text();
  if (auto* b = qobject_cast<const QComboBox*>(c)) return b->currentText();
  if (auto* t = qobject_cast<const QTreeWidget*>(c)) {
    QStringList headers;
    for (int i = 0; i < t->columnCount(); ++i) headers << t->headerItem()->text(i);
    return headers.join(", ");
  }
  if (auto* t = qobject_cast<const QPlainTextEdit*>(c)) return t->toPlainText();
  ADD_FAILURE() << c->objectName().toStdString() << " shows no text";
  return {};
}

}  // namespace quorvel::testing
