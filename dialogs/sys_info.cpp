#include "dialogs/sys_info.h"

#include <QProcess>
#include <QStandardPaths>

#include "core/settings.h"
#include "core/text_util.h"

namespace quorvel {

QString SystemSysInfoPlatform::findExecutable(const QString& name) {
  return QStandardPaths::findExecutable(name);
}

bool SystemSysInfoPlatform::startDetached(const QString& program, const QStringList& arguments) {
  return QProcess::startDetached(program, arguments);
}

const std::vector<SysInfoCandidate>& knownSysInfoPrograms() {
  static const std::vector<SysInfoCandidate> programs = {
      {QStringLiteral("hardinfo2"), {}},
      {QStringLiteral("hardinfo"), {}},
      {QStringLiteral("kinfocenter"), {}},
      {QStringLiteral("gnome-control-center"), {QStringLiteral("info-overview")}},
      {QStringLiteral("xfce4-about"), {}},
  };
  return programs;
}

SysInfoCandidate FindSysInfoProgram(SysInfoPlatform& platform, const QString& settingsPath) {
  const SettingValue configured =
      ReadSetting(settingsPath, QStringLiteral("SysInfo"), QStringLiteral("Path"));
  if (!IsBlank(configured.value)) return {configured.value.trimmed(), {}};
  for (const SysInfoCandidate& candidate : knownSysInfoPrograms()) {
    const QString found = platform.findExecutable(candidate.program);
    if (!found.isEmpty()) return {found, candidate.arguments};
  }
  return {};
}

bool LaunchSysInfo(SysInfoPlatform& platform, const QString& settingsPath) {
  const SysInfoCandidate program = FindSysInfoProgram(platform, settingsPath);
  if (program.program.isEmpty()) return false;
  return platform.startDetached(program.program, program.arguments);
}

}  // namespace quorvel
