#include "core/app_state.h"

namespace quorvel {

AppState& appState() {
  static AppState state;
  return state;
}

void resetAppState(const QString& appFolder) {
  AppState& s = appState();
  s = AppState{};
  s.appFolder = appFolder;
  s.settingsPath = s.filePath(QStringLiteral("Quorvel.ini"));
}

}  // namespace quorvel
