// quorvel bench: the benchmark run of the main window, without the window.
#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>

#include "core/app_state.h"
#include "core/instance_lock.h"
#include "core/limit_setting.h"
#include "core/proxy_state.h"
#include "bench/benchmark_run.h"
#include "bench/browser_loader.h"
#include "bench/curl_internet.h"
#include "bench/run_view.h"
#include "bench/totals_text.h"
#include "bench/viewport_choice.h"
#include "cli/bench_report.h"
#include "cli/commands.h"
#include "core/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/output_files.h"

namespace quorvel::cli {

namespace {

// The window's choices, from the command line; its status and totals go to the report and
// the progress line.
class CommandLineRunView final : public RunView {
 public:
  CommandLineRunView(BenchReport& report, Console& console, std::optional<Viewport> viewport)
      : report_(report), console_(console), viewport_(viewport) {}

  bool useUrlFile() const override { return report_.urls.isEmpty(); }
  QString urlBoxText() const override { return {}; }
  QStringList givenUrls() const override { return report_.urls; }
  QString iterationsText() const override { return QString::number(report_.iterations); }
  bool loggingOn() const override { return report_.logging; }
  bool imagesOn() const override { return report_.images; }
  bool soundsOn() const override { return report_.sounds; }
  bool browserLoadOn() const override { return report_.browser; }
  std::optional<Viewport> viewportChoice() const override { return viewport_; }
  void setUrlList(const QStringList&, const QString&) override {}
  void setStatus(const QString& text) override {
    report_.status = text;
    showProgress();
  }
  void setTotals(const RunTotals& totals) override {
    report_.totals = totals;
    showProgress();
  }
  void processEvents() override { InterruptCancels::poll(); }
  void setBusyCursor(bool) override {}
  void message(const QString&, const QString& text, MsgIcon) override {
    QString sentence = text;
    sentence.replace(QStringLiteral("\r\n"), QStringLiteral(" "))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    report_.messages << sentence;
    console_.error(sentence);
  }
  void closeMainWindow() override {}

 private:
  void showProgress() {
    if (!console_.progressShown()) return;
    const RunTotals& t = report_.totals;
    console_.progress(
        QStringLiteral("%1 files, %2 errors  %3").arg(t.files).arg(t.errors).arg(report_.status));
  }
  BenchReport& report_;
  Console& console_;
  std::optional<Viewport> viewport_;
};

// The screen of --viewport and --dpr, over the settings' where only one is given.
struct ViewportOptions {
  std::optional<ViewportSize> size;
  std::optional<double> ratio;

  // False with a sentence naming the option when a value is none of its kind.
  bool read(const ParsedArgs& args, QString& error) {
    const QString viewport = QStringLiteral("viewport"), dpr = QStringLiteral("dpr");
    if (args.has(viewport) && !(size = ParseViewportSize(args.value(viewport)))) {
      error = QStringLiteral(
                  "Option --viewport takes WIDTHxHEIGHT in CSS pixels, each from %1 "
                  "to %2 (as 1366x768), not \"%3\".")
                  .arg(kMinViewportSide)
                  .arg(kMaxViewportSide)
                  .arg(args.value(viewport));
      return false;
    }
    if (args.has(dpr) && !(ratio = ParseDevicePixelRatio(args.value(dpr)))) {
      error = QStringLiteral(
                  "Option --dpr takes a device pixel ratio from %1 to %2 (as 1 or "
                  "1.5), not \"%3\".")
                  .arg(kMinDevicePixelRatio)
                  .arg(kMaxDevicePixelRatio)
                  .arg(args.value(dpr));
      return false;
    }
    return true;
  }

  std::optional<Viewport> over(const QString& settingsPath) const {
    if (!size && !ratio) return std::nullopt;
    Viewport v = ViewportSetting(settingsPath);
    if (size) {
      v.width = size->width;
      v.height = size->height;
    }
    if (ratio) v.devicePixelRatio = *ratio;
    return v;
  }
};

void printReport(const BenchReport& report, bool json, bool csv, Console& console) {
  if (json)
    console.printRaw(QJsonDocument(BenchJson(report)).toJson(QJsonDocument::Indented));
  else if (csv)
    console.printRaw(BenchCsv(report));
  else
    console.print(BenchText(report));
}

}  // namespace

int RunBench(const ParsedArgs& args, Console& console) {
  BenchReport report;
  long long iterations = 1;
  QString error;
  if (!ParseCount(args, QStringLiteral("iterations"), 1, kMaxRunCount, iterations, error)) {
    console.error(error);
    return kExitCannotStart;
  }
  ViewportOptions viewport;
  if (!viewport.read(args, error)) {
    console.error(error);
    return kExitCannotStart;
  }
  const bool json = args.has(QStringLiteral("json")), csv = args.has(QStringLiteral("csv"));
  if (json && csv) {
    console.error(QStringLiteral("Choose one of --json and --csv."));
    return kExitCannotStart;
  }
  report.iterations = int(iterations);
  report.urls = args.positional;
  report.images = !args.has(QStringLiteral("no-images"));
  report.sounds = !args.has(QStringLiteral("no-sounds"));
  report.logging = !args.has(QStringLiteral("no-log"));
  const int outputs =
      CheckOutputFiles(args, {QStringLiteral("har"), QStringLiteral("metrics")}, console);
  if (outputs != kExitOk) return outputs;

  AppState& state = appState();
  InstanceLock lock;
  if (!lock.acquire(state.appFolder)) {
    console.error(QStringLiteral("Quorvel is already running!"));
    return kExitAlreadyRunning;
  }
  LoadProxyState();
  report.browser = args.has(QStringLiteral("browser")) || BrowserLoadSetting(state.settingsPath);

  CurlInternetOptions options;
  options.transferLimit = RequestLimitSetting(state.settingsPath);
  options.recordHeaders = args.has(QStringLiteral("har"));
  CurlInternet internet(options);
  RunEnvironment env = DefaultRunEnvironment();
  env.printSummary = nullptr;
  env.onRequest = [&](const RequestRecord& r) { report.requests.push_back(r); };

  CommandLineRunView view(report, console, viewport.over(state.settingsPath));
  report.startedMs = QDateTime::currentMSecsSinceEpoch();
  const RunOutcome outcome = RunBenchmark(view, internet, env);
  report.finishedMs = QDateTime::currentMSecsSinceEpoch();
  console.endProgress();

  // A run that could not start has said why; it has no figures to show.
  if (outcome.started) printReport(report, json, csv, console);

  int code = kExitOk;
  if (args.has(QStringLiteral("har")) &&
      !WriteOutputFile(args, QStringLiteral("har"),
                       QJsonDocument(BenchHar(report)).toJson(QJsonDocument::Indented), console))
    code = kExitNotWritten;
  if (args.has(QStringLiteral("metrics")) &&
      !WriteOutputFile(args, QStringLiteral("metrics"), BenchMetrics(report), console))
    code = kExitNotWritten;
  if (!outcome.started) return kExitCannotStart;
  if (!outcome.completed) return kExitCancelled;
  if (code != kExitOk || outcome.linesLost || state.settingsLost) return kExitNotWritten;
  return report.totals.errors > 0 ? kExitMeasureFailed : kExitOk;
}

}  // namespace quorvel::cli
