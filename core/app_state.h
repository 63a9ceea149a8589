// Process-wide state: set at start-up, shared by every window and the run.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace quorvel {

struct AppState {
  QString appFolder;     // all files of the program live here (no trailing '/')
  QString settingsPath;  // appFolder + "/Quorvel.ini"

  bool autoMode = false;
  bool debug1 = false;
  bool debug2 = false;

  std::int16_t ProxyUse = 0;
  QString ProxyAddress;
  QString ProxyPort;

  int iterations = 1;
  bool logResults = false;
  bool getImages = true;
  bool getSounds = true;

  // Entries 1..10 are used; entry 1 is the most recent. Entry 0 is unused.
  std::array<QString, 11> urlHistory;

  // Set by the Run/Cancel buttons, cleared and polled by the run, the trace and the ping.
  bool CancelRequested = false;

  // Some setting could not be stored (the settings file was read-only, a link, missing...).
  bool settingsLost = false;
  // The files whose trouble has been told already (tellFileTrouble), each told once.
  QStringList troubleTold;

  // Full path of a file in the application folder.
  QString filePath(const QString& name) const { return appFolder + QLatin1Char('/') + name; }
};

AppState& appState();

// Back to a fresh state with the given application folder (used by start-up and tests).
void resetAppState(const QString& appFolder);

}  // namespace quorvel
