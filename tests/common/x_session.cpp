#include "common/x_session.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace quorvel::testing {

namespace {

QProcessEnvironment environmentOf(const QString& display) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.insert(QStringLiteral("DISPLAY"), display);
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  return env;
}

}  // namespace

XSession::XSession() {
  for (const char* tool : {"Xvfb", "openbox", "xdotool"})
    if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) return;
  // The first display number whose socket is free.
  for (int n = 71; n < 100 && display_.isEmpty(); ++n)
    if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) &&
        !QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
      display_ = QStringLiteral(":%1").arg(n);
  if (display_.isEmpty()) return;
  xvfb_.start(QStringLiteral("Xvfb"),
              {display_, QStringLiteral("-screen"), QStringLiteral("0"),
               QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
  const QString socket = QStringLiteral("/tmp/.X11-unix/X") + display_.mid(1);
  if (!xvfb_.waitForStarted(10000) ||
      !QTest::qWaitFor([&] { return QFile::exists(socket); }, 10000))
    return;
  openbox_.setProcessEnvironment(environmentOf(display_));
  openbox_.start(QStringLiteral("openbox"), {});
  if (!openbox_.waitForStarted(10000)) return;
  // Time for the window manager to take the screen over.
  QTest::qWait(800);
  ok_ = openbox_.state() == QProcess::Running;
}

XSession::~XSession() {
  for (QProcess* p : {&openbox_, &xvfb_}) {
    if (p->state() == QProcess::NotRunning) continue;
    p->terminate();
    if (!p->waitForFinished(5000)) {
      p->kill();
      p->waitForFinished(5000);
    }
  }
}

void XSession::startQuorvel(QProcess& p, const QString& folder, const QStringList& args) const {
  QProcessEnvironment env = environmentOf(display_);
  env.insert(QStringLiteral("QUORVEL_HOME"), folder);
  // Under AddressSanitizer: libxkbcommon-x11 hands strndup a keymap name that is not
  // NUL-terminated but bounded, which the strict string check reports as an overflow when
  // Qt connects to an X server. Everything else stays checked.
  const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
  if (!asan.isEmpty())
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               QString(asan).replace(QStringLiteral("strict_string_checks=1"),
                                     QStringLiteral("strict_string_checks=0")));
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(QUORVEL_EXE), args);
  p.waitForStarted(10000);
}

QString XSession::xdotool(const QStringList& args) const {
  QProcess p;
  p.setProcessEnvironment(environmentOf(display_));
  p.start(QStringLiteral("xdotool"), args);
  if (!p.waitForFinished(20000) || p.exitCode() != 0) return {};
  return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

QString XSession::waitForWindow(const QString& titlePattern) const {
  QString id;
  (void)QTest::qWaitFor(
      [&] {
        id = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                      QStringLiteral("--name"), titlePattern})
                 .section(QLatin1Char('\n'), 0, 0);
        return !id.isEmpty();
      },
      20000);
  return id;
}

QRect XSession::geometry(const QString& window) const {
  const QString said = xdotool({QStringLiteral("getwindowgeometry"), window});
  static const QRegularExpression re(
      QStringLiteral("Position: (-?\\d+),(-?\\d+).*Geometry: (\\d+)x(\\d+)"),
      QRegularExpression::DotMatchesEverythingOption);
  const QRegularExpressionMatch m = re.match(said);
  if (!m.hasMatch()) return {};
  return QRect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
               m.captured(4).toInt());
}

QImage XSession::grab(const QString& window) const {
  QProcess p;
  p.setProcessEnvironment(environmentOf(display_));
  p.start(QStringLiteral("import"), {QStringLiteral("-window"), window, QStringLiteral("png:-")});
  if (!p.waitForFinished(20000) || p.exitCode() != 0) return {};
  return QImage::fromData(p.readAllStandardOutput(), "PNG");
}

void XSession::keys(const QStringList& keys) const {
  xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60")} +
          keys);
}

void XSession::type(const QString& text) const {
  xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), text});
}

}  // namespace quorvel::testing
