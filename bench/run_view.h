// What the benchmark run needs of the main window. The window implements it; tests use a fake.
#pragma once

#include <QString>
#include <QStringList>

#include "core/message_icon.h"
#include "bench/run_totals.h"

namespace quorvel {

// The six totals boxes, as texts.
struct TotalsText {
  QString validUrls, totalErrors, totalBytes, totalSecs, throughput, avgPageLoad;
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
  // URLs given for this run (the command line): when there are any, the run fetches them, in
  // order, instead of the URL list file or the URL box, and the URL history stays as it is.
  virtual QStringList givenUrls() const { return {}; }

  // Refills the URL box's list with `entries` (in order) and puts `editText` in its edit field.
  virtual void setUrlList(const QStringList& entries, const QString& editText) = 0;

  // Status line and totals (shown through MakeTotalsText). The window decides when it shows
  // them: a run gives new ones after every file.
  virtual void setStatus(const QString& text) = 0;
  virtual void setTotals(const RunTotals& totals) = 0;

  // Lets the window system handle pending events (a Cancel click is seen here).
  virtual void processEvents() = 0;

  // Wait cursor for the whole screen while the run goes on.
  virtual void setBusyCursor(bool busy) = 0;

  virtual void message(const QString& title, const QString& text, MsgIcon icon) = 0;

  // In unattended mode the run ends the program by closing the main window.
  virtual void closeMainWindow() = 0;
};

}  // namespace quorvel
