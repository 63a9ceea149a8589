// Start-up: the command line, the debug switch file, the settings file and the choices the
// main window starts with; and the closing handler's write-back of those choices.
#pragma once

#include <QString>

namespace quorvel {

// The command words, found anywhere in the command line in any case ("debug12" counts as
// "debug1", "autorun" as "auto").
struct CommandWords {
  bool autoMode = false;
  bool debug1 = false;
  bool debug2 = false;
};
CommandWords ParseCommandWords(const QString& commandLine);

// True when the first line of the file, trimmed of blanks, begins with "on" in any case.
bool DebugFileSaysOn(const QString& path);

// Creates the settings file with its two default lines when it does not exist.
void EnsureSettingsFile(const QString& path);

// The four check boxes of the main window.
struct WindowChoices {
  bool logResults = false;
  bool getImages = true;
  bool getSounds = true;
  bool useUrlFile = false;
};

// The start-up routine after the single-instance test, for an application state whose
// folder and settings path are set: reads the command line and "debug.txt", makes sure the
// settings file exists, loads the proxy state, the iterations, the check boxes and the URL
// history into appState(), and returns the check boxes to show.
WindowChoices LoadStartupState(const QString& commandLine);

// The closing handler: stores the four check boxes in section URLInfo as "0"/"1".
void SaveWindowChoices(const WindowChoices& choices);

}  // namespace quorvel
