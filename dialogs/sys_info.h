// Finding and starting the desktop's system-information program.
//
// The settings file may name the program (section "SysInfo", key "Path"); it is then started
// as it stands, with no test that it exists. Otherwise the first of a short list of well-known
// system-information programs found on PATH is started. The program is started detached: it
// lives on when Quorvel ends.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace quorvel {

// What the look-up needs from the system; tests put a fake in its place.
class SysInfoPlatform {
 public:
  virtual ~SysInfoPlatform() = default;
  // Full path of an executable of that name on PATH, or the empty text when there is none.
  virtual QString findExecutable(const QString& name) = 0;
  // Starts the program detached; false when it could not be started.
  virtual bool startDetached(const QString& program, const QStringList& arguments) = 0;
};

// The real thing: QStandardPaths and QProcess.
class SystemSysInfoPlatform : public SysInfoPlatform {
 public:
  QString findExecutable(const QString& name) override;
  bool startDetached(const QString& program, const QStringList& arguments) override;
};

struct SysInfoCandidate {
  QString program;
  QStringList arguments;
};

// The programs looked for on PATH, in this order.
const std::vector<SysInfoCandidate>& knownSysInfoPrograms();

// The program to start: the configured path, else the first known program found on PATH.
// An empty program when there is none.
SysInfoCandidate FindSysInfoProgram(SysInfoPlatform& platform, const QString& settingsPath);

// Looks the program up and starts it. False when none was found or the start failed.
bool LaunchSysInfo(SysInfoPlatform& platform, const QString& settingsPath);

}  // namespace quorvel
