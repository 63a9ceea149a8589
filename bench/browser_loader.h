// How a run loads a page as a browser does: the real loader over LoadLikeABrowser
// (browser_load.h), or a test's own. The run's choice between that and the page with its
// frames, images and sounds is the setting URLInfo/BrowserLoad.
#pragma once

#include <QString>
#include <functional>

#include "bench/browser_load.h"
#include "bench/request_details.h"

namespace quorvel {

class BrowserLoader {
 public:
  virtual ~BrowserLoader() = default;
  // Loads `pageUrl` with its requisites. `pump` is called while transfers wait; when it returns
  // false every transfer ends (12017) and the load is marked cancelled.
  virtual BrowserLoad load(const QString& pageUrl, const std::function<bool()>& pump) = 0;
};

class CurlBrowserLoader final : public BrowserLoader {
 public:
  explicit CurlBrowserLoader(BrowserLoadOptions options) : options_(std::move(options)) {}
  BrowserLoad load(const QString& pageUrl, const std::function<bool()>& pump) override;

 private:
  BrowserLoadOptions options_;
};

// The options of a run's loads: the request limit of the settings (URLInfo/RequestLimit) for
// each transfer, the idle limit of the page benchmark, the run's proxy ("host:port" or empty),
// the viewport of the settings (viewport_choice.h).
BrowserLoadOptions RunBrowserLoadOptions(const QString& settingsPath, const QString& proxy);

// URLInfo/BrowserLoad: "1" loads pages as a browser does; missing or anything else, not.
bool BrowserLoadSetting(const QString& settingsPath);
bool StoreBrowserLoadSetting(const QString& settingsPath, bool on);

// The program's error number for a loaded file: its own error, else its HTTP error status (991
// for a page the server does not have), else 12152 when no answer came.
int LoadedFileError(const LoadedFile& file);

// What a loaded file's transfer measured, as the reports of a run read it.
RequestDetails LoadedFileDetails(const LoadedFile& file);

}  // namespace quorvel
