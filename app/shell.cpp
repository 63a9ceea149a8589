#include "app/shell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace quorvel {

namespace {

QStringList envDirs(const char* name, const QString& fallback) {
  QString value = qEnvironmentVariable(name);
  if (value.isEmpty()) value = fallback;
  QStringList dirs;
  for (const QString& d : value.split(QLatin1Char(':'), Qt::SkipEmptyParts)) dirs.append(d);
  return dirs;
}

QString configHome() {
  const QString v = qEnvironmentVariable("XDG_CONFIG_HOME");
  return v.isEmpty() ? QDir::homePath() + QStringLiteral("/.config") : v;
}

QString dataHome() {
  const QString v = qEnvironmentVariable("XDG_DATA_HOME");
  return v.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : v;
}

QStringList applicationDirs() {
  QStringList dirs{dataHome() + QStringLiteral("/applications")};
  for (const QString& d : envDirs("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share")))
    dirs.append(d + QStringLiteral("/applications"));
  return dirs;
}

// The mimeapps.list files in the order the desktop consults them.
QStringList mimeAppsLists() {
  QStringList files;
  QStringList desktops;
  for (const QString& d :
       qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
    desktops.append(d.toLower());
  QStringList configDirs{configHome()};
  configDirs += envDirs("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
  for (const QString& dir : configDirs) {
    for (const QString& d : desktops)
      files.append(dir + QLatin1Char('/') + d + QStringLiteral("-mimeapps.list"));
    files.append(dir + QStringLiteral("/mimeapps.list"));
  }
  for (const QString& dir : applicationDirs()) {
    for (const QString& d : desktops)
      files.append(dir + QLatin1Char('/') + d + QStringLiteral("-mimeapps.list"));
    files.append(dir + QStringLiteral("/mimeapps.list"));
    files.append(dir + QStringLiteral("/defaults.list"));
  }
  return files;
}

// The desktop ids listed for `mime` in `group` of a key file (";"-separated values).
QStringList idsFor(const QString& path, const QString& group, const QString& mime) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QString current;
  QStringList ids;
  // These files are small; a runaway one is read no further than this.
  qint64 budget = 4 * 1024 * 1024;
  while (!f.atEnd() && budget > 0) {
    const QByteArray raw = f.readLine(64 * 1024);
    budget -= raw.size();
    const QString line = QString::fromUtf8(raw).trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      current = line.mid(1, line.indexOf(QLatin1Char(']')) - 1);
      continue;
    }
    if (current != group) continue;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0 || line.left(eq).trimmed() != mime) continue;
    for (const QString& id : line.mid(eq + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts))
      ids.append(id.trimmed());
  }
  return ids;
}

QString readDesktopEntry(const QString& id) {
  if (id.isEmpty() || id.contains(QLatin1String(".."))) return {};
  for (const QString& dir : applicationDirs()) {
    QString path = dir + QLatin1Char('/') + id;
    if (!QFileInfo::exists(path))
      path = dir + QLatin1Char('/') + QString(id).replace(QLatin1Char('-'), QLatin1Char('/'));
    QFile f(path);
    if (f.open(QIODevice::ReadOnly)) return QString::fromUtf8(f.read(256 * 1024));
  }
  return {};
}

// The value of a key in the [Desktop Entry] group.
QString entryValue(const QString& text, const QString& key) {
  bool inEntry = false;
  for (const QString& raw : text.split(QLatin1Char('\n'))) {
    const QString line = raw.trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      inEntry = line == QLatin1String("[Desktop Entry]");
      continue;
    }
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (inEntry && eq > 0 && line.left(eq).trimmed() == key) return line.mid(eq + 1).trimmed();
  }
  return {};
}

bool findable(const QString& exe) {
  return !QStandardPaths::findExecutable(exe).isEmpty() || QFileInfo(exe).isExecutable();
}

// The command for a desktop id whose program can be found, else empty. A program that wants
// a terminal gets one when the desktop has a terminal emulator.
QString usableCommand(const QString& id) {
  const QString text = readDesktopEntry(id);
  if (entryValue(text, QStringLiteral("Hidden")) == QLatin1String("true")) return {};
  QString command = ExecCommandOf(text);
  const QStringList parts = QProcess::splitCommand(command);
  if (parts.isEmpty() || !findable(parts.first())) return {};
  if (entryValue(text, QStringLiteral("Terminal")) == QLatin1String("true")) {
    const QString terminal = QStringLiteral("x-terminal-emulator");
    if (!findable(terminal)) return {};
    command = terminal + QStringLiteral(" -e ") + command;
  }
  return command;
}

}  // namespace

QString ExecCommandOf(const QString& text) {
  const QString exec = entryValue(text, QStringLiteral("Exec"));
  QString out;
  for (qsizetype i = 0; i < exec.size(); ++i) {
    if (exec[i] != QLatin1Char('%')) {
      out += exec[i];
      continue;
    }
    if (i + 1 < exec.size() && exec[i + 1] == QLatin1Char('%')) out += QLatin1Char('%');
    ++i;  // any other field code is dropped; the document is appended by execute()
  }
  return out.simplified();
}

int DesktopShell::findExecutable(const QString& document, QString* program) {
  program->clear();
  if (!QFileInfo::exists(document)) return kShellFileNotFound;
  const QMimeDatabase db;
  const QMimeType type = db.mimeTypeForFile(document);
  QStringList mimes{type.name()};
  mimes += type.allAncestors();
  const QStringList lists = mimeAppsLists();
  for (const QString& mime : mimes) {
    for (const QString& group :
         {QStringLiteral("Default Applications"), QStringLiteral("Added Associations")}) {
      for (const QString& list : lists) {
        for (const QString& id : idsFor(list, group, mime)) {
          const QString command = usableCommand(id);
          if (command.isEmpty()) continue;
          *program = command;
          return kShellOk;
        }
      }
    }
    for (const QString& dir : applicationDirs()) {
      for (const QString& id :
           idsFor(dir + QStringLiteral("/mimeinfo.cache"), QStringLiteral("MIME Cache"), mime)) {
        const QString command = usableCommand(id);
        if (command.isEmpty()) continue;
        *program = command;
        return kShellOk;
      }
    }
  }
  return kShellNoAssociation;
}

int DesktopShell::execute(const QString& program, const QString& document) {
  QStringList args = QProcess::splitCommand(program);
  if (args.isEmpty()) return kShellFileNotFound;
  const QString exe = args.takeFirst();
  if (QStandardPaths::findExecutable(exe).isEmpty() && !QFileInfo(exe).isExecutable())
    return kShellFileNotFound;
  args.append(document);
  QProcess p;
  p.setProgram(exe);
  p.setArguments(args);
  p.setStandardInputFile(QProcess::nullDevice());
  p.setStandardOutputFile(QProcess::nullDevice());
  p.setStandardErrorFile(QProcess::nullDevice());
  return p.startDetached() ? kShellOk : kShellAccessDenied;
}

Shell& desktopShell() {
  static DesktopShell shell;
  return shell;
}

}  // namespace quorvel
