// What the benchmark run needs of the main window. The window implements it; tests use a fake.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "core/message_icon.h"
#include "bench/media_query.h"
#include "bench/run_totals.h"

namespace quorvel {

// The six totals boxes, as texts.
struct TotalsText {
  QString validUrls, totalErrors, totalBytes, totalSecs, throughput, avgPageLoad;
};

// Where the run is: the page of the list and the iteration, and, for a request that has gone
// on for more than a second, what it has received so far. A page loaded as a browser loads it
// tells from its start its files done of those found so far and what they have received.
struct RunProgress {
  int page = 0, pages = 0;
  int iteration = 0, iterations = 0;
  std::int64_t bytes = -1;  // -1: no long request under way
  std::int64_t elapsedMicros = 0;
  int filesDone = -1, filesFound = 0;  // -1: no page loading as a browser loads it
};

class RunView {
 public:
  virtual ~RunView() = default;

  // Choices of the run, read from the window's controls.
  virtual bool useUrlFile() const = 0;
  virtual QString urlBoxText() const = 0;
  virtual QString iterationsText() const = 0;
  virtual bool loggingOn() const = 0;
  virtual bool imagesOn() const = 0;
  virtual bool soundsOn() const = 0;
  // Whether each listed page is loaded as a browser loads it (browser_loader.h); by default
  // what the settings say (URLInfo/BrowserLoad).
  virtual bool browserLoadOn() const;
  // The screen such a load is for, when this run chooses one (the command line); none: the
  // settings' (URLInfo/ViewportWidth, ViewportHeight, DevicePixelRatio).
  virtual std::optional<Viewport> viewportChoice() const { return std::nullopt; }
  // URLs given for this run (the command line): when there are any, the run fetches them, in
  // order, instead of the URL list file or the URL box, and the URL history stays as it is.
  virtual QStringList givenUrls() const { return {}; }

  // Refills the URL box's list with `entries` (in order) and puts `editText` in its edit field.
  virtual void setUrlList(const QStringList& entries, const QString& editText) = 0;

  // Status line and totals (shown through MakeTotalsText). The window decides when it shows
  // them: a run gives new ones after every file.
  virtual void setStatus(const QString& text) = 0;
  virtual void setTotals(const RunTotals& totals) = 0;

  // Where the run is; given before each page and, during a long request, while it waits. A
  // view shows it as it shows the status.
  virtual void setProgress(const RunProgress&) {}

  // Lets the window system handle pending events (a Cancel click is seen here).
  virtual void processEvents() = 0;

  // Wait cursor for the whole screen while the run goes on.
  virtual void setBusyCursor(bool busy) = 0;

  virtual void message(const QString& title, const QString& text, MsgIcon icon) = 0;

  // In unattended mode the run ends the program by closing the main window.
  virtual void closeMainWindow() = 0;
};

}  // namespace quorvel
