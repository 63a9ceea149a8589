#include "app/startup.h"

#include <sys/stat.h>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "core/app_files.h"
#include "core/app_state.h"
#include "core/proxy_state.h"
#include "core/settings.h"
#include "core/text_util.h"

namespace quorvel {

namespace {

const QString kUrlInfo = QStringLiteral("URLInfo");

// A check box setting that is on unless it holds a number other than 1.
bool onUnlessOtherThanOne(const QString& key) {
  const SettingValue v = ReadSetting(appState().settingsPath, kUrlInfo, key);
  return v.length == 0 || leadingNumber(v.value) == 1;
}

// A check box setting that is on when it holds a number other than 0.
bool onWhenNotZero(const QString& key) {
  return leadingNumber(ReadSetting(appState().settingsPath, kUrlInfo, key).value) != 0;
}

}  // namespace

CommandWords ParseCommandWords(const QString& commandLine) {
  const QString lower = commandLine.toLower();
  CommandWords w;
  w.autoMode = lower.contains(QLatin1String("auto"));
  w.debug2 = lower.contains(QLatin1String("debug2"));
  w.debug1 = lower.contains(QLatin1String("debug1"));
  return w;
}

bool DebugFileSaysOn(const QString& path) {
  QFile f;
  const FileStatus s = openForReading(f, path);
  if (!s.ok()) {
    if (s.trouble != FileTrouble::Missing) {
      const QString name = QFileInfo(path).fileName();
      tellFileTrouble(
          name, QStringLiteral("%1 could not be read (%2); it is ignored.").arg(name, s.reason()));
    }
    return false;
  }
  // Only the first line matters; a huge file without line breaks is not read whole.
  QByteArray line = f.readLine(4096);
  f.close();
  return QString::fromLocal8Bit(line).trimmed().startsWith(QLatin1String("on"),
                                                           Qt::CaseInsensitive);
}

void EnsureSettingsFile(const QString& path) {
  // Whatever has the name already (a dangling link, a FIFO...) is not replaced: reading and
  // writing the settings then say what is wrong with it.
  struct stat st;
  if (::lstat(QFile::encodeName(path).constData(), &st) == 0 || errno != ENOENT) return;
  WriteSettingsFile(path, "[URLInfo]\nURLFile=URLS.DAT\n");
}


WindowChoices LoadStartupState(const QString& commandLine) {
  AppState& s = appState();
  const CommandWords words = ParseCommandWords(commandLine);
  s.autoMode = words.autoMode;
  s.debug1 = words.debug1;
  s.debug2 = words.debug2;

  if (!s.debug1 && !s.debug2 && DebugFileSaysOn(s.filePath(QStringLiteral("debug.txt"))))
    s.debug2 = true;

  s.settingsPath = s.filePath(QStringLiteral("Quorvel.ini"));
  EnsureSettingsFile(s.settingsPath);

  LoadProxyState();

  s.iterations = 1;

  WindowChoices c;
  c.logResults = onWhenNotZero(QStringLiteral("LogResults")) || s.autoMode;
  c.getImages = onUnlessOtherThanOne(QStringLiteral("GetImages")) || s.autoMode;
  c.getSounds = onUnlessOtherThanOne(QStringLiteral("GetSounds")) || s.autoMode;
  c.useUrlFile = onWhenNotZero(QStringLiteral("UseURLFile")) || s.autoMode;
  s.logResults = c.logResults;
  s.getImages = c.getImages;
  s.getSounds = c.getSounds;

  for (int i = 1; i <= 10; ++i)
    s.urlHistory[i] = ReadSetting(s.settingsPath, kUrlInfo, QStringLiteral("URL%1").arg(i)).value;
  return c;
}

void SaveWindowChoices(const WindowChoices& c) {
  const QString& path = appState().settingsPath;
  auto bit = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
  WriteSetting(path, kUrlInfo, QStringLiteral("LogResults"), bit(c.logResults));
  WriteSetting(path, kUrlInfo, QStringLiteral("GetImages"), bit(c.getImages));
  WriteSetting(path, kUrlInfo, QStringLiteral("GetSounds"), bit(c.getSounds));
  WriteSetting(path, kUrlInfo, QStringLiteral("UseURLFile"), bit(c.useUrlFile));
}

}  // namespace quorvel
