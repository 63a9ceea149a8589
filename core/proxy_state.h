// The proxy of the benchmark, shared by the main window, the options dialog, the run and the
// command line: ProxyUse, ProxyAddress and ProxyPort of appState().
#pragma once

namespace quorvel {

// From section Proxy of the settings file (appState().settingsPath).
void LoadProxyState();

}  // namespace quorvel
