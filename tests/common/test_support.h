// Fixtures and helpers shared by the tests.
#pragma once

// Whether AddressSanitizer is in the build (gcc says so one way, clang another): its
// quarantine keeps freed memory resident, so memory figures mean nothing under it.
#if defined(__SANITIZE_ADDRESS__)
#define QUORVEL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVEL_ASAN 1
#endif
#endif

#include <gtest/gtest.h>
#include <QPlainTextEdit>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <stdexcept>
#include <vector>

#include "common/loopback_port.h"
#include "core/message_box.h"

// Readable Qt texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
  *os << '{';
  for (const QString& s : list) *os << "\n  \"" << s.toStdString() << '"';
  *os << " }";
}

namespace quorvel::testing {

// Every test runs in a fresh application folder ($QUORVEL_HOME) with a fresh process state,
// and with message boxes captured instead of shown.
class AppFolderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  QString path(const QString& name) const;  // file in the application folder
  void writeFile(const QString& name, const QByteArray& data) const;
  QByteArray readFile(const QString& name) const;
  // The lines of a log of the folder, split at CR LF (a last empty piece is dropped).
  QStringList logLines(const QString& name) const;

  QTemporaryDir dir_;
  std::vector<MessageRecord> messages_;
};

// Any file, written whole (a test failure when it cannot be) or read whole ("<missing>").
void put(const QString& path, const QByteArray& data);
QByteArray get(const QString& path);

// The real program with `folder` as its application folder, on the offscreen platform or
// with no display at all; started by `wrapper` when one is given (`ip netns exec NS`).
struct Ended {
  bool finished = false;
  int code = -1;
  QByteArray out, err;
};
void startQuorvel(QProcess& p, const QString& folder, const QStringList& args,
                  bool offscreen = true, const QStringList& wrapper = {});
Ended runQuorvel(const QString& folder, const QStringList& args, int timeoutMs = 60000,
                 bool offscreen = true, const QStringList& wrapper = {});
// Whether some process holds the instance lock of the folder (tried without keeping it).
bool folderLocked(const QString& folder);

// promtool's verdict on a metrics file ("" when it is fine or promtool is not installed).
QString promtoolComplaint(const QString& file);
// A figure of this process from /proc/self/status in KiB ("VmRSS:", "VmHWM:"); 0 when unknown.
long procStatusKb(const char* field);

// A child widget by object name; a test failure (and a throw) when there is none.
template <typename T = QWidget>
T* widget(const QObject* w, const QString& name) {
  T* c = w->findChild<T*>(name);
  if (!c) {
    ADD_FAILURE() << "no " << name.toStdString();
    throw std::runtime_error("no such widget");
  }
  return c;
}
// The text a line edit, label, button, check box, combo box or text box shows (a list's
// headers).
QString shown(const QWidget* control);
QString shown(const QObject* w, const QString& name);
// As a user does: Tab until the named control (or the line edit inside it) has the focus (that
// widget is returned); type into a box over all it held (nothing: delete it); click a button.
QWidget* tabTo(QWidget* window, const QString& name);
void type(QWidget* window, const QString& box, const QString& text);
void click(const QWidget* window, const QString& button);
// The rows of a list (a QTreeWidget or another view), each its cells joined by blanks.
QStringList tableRows(const QObject* w, const QString& name);
// The lines of a window's results box.
inline QStringList resultLines(const QObject* w) {
  return widget<QPlainTextEdit>(w, "txtResults")->toPlainText().split('\n');
}

}  // namespace quorvel::testing
