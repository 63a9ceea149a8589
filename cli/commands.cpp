#include "cli/commands.h"

#include <signal.h>
#include <QCoreApplication>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>

#include "cli/interrupt.h"
#include "core/app_files.h"
#include "core/app_folder.h"
#include "core/app_state.h"
#include "core/exit_codes.h"
#include "core/quiet_qt.h"
#include "core/text_util.h"
#include "quorvel_version.h"

namespace quorvel::cli {

namespace {

OptionSpec flag(const char* name, QChar shortName, const char* help) {
  return {QString::fromLatin1(name), shortName, QString(), QString::fromUtf8(help)};
}
OptionSpec valued(const char* name, QChar shortName, const char* value, const char* help) {
  return {QString::fromLatin1(name), shortName, QString::fromLatin1(value),
          QString::fromUtf8(help)};
}

const OptionSpec kHelp = flag("help", QLatin1Char('h'), "show this help and exit");
const OptionSpec kJson =
    flag("json", QChar(), "write one JSON document with every figure to standard output");
const OptionSpec kIpv4 = flag("ipv4", QLatin1Char('4'), "use IPv4 only");
const OptionSpec kIpv6 = flag("ipv6", QLatin1Char('6'), "use IPv6 only");
const OptionSpec kMetrics =
    valued("metrics", QChar(), "FILE",
           "write the results in the Prometheus text format to FILE, replacing it at once "
           "(for node_exporter's textfile collector)");

std::vector<Command> makeCommands() {
  std::vector<Command> c;
  c.push_back(
      {QStringLiteral("bench"),
       QStringLiteral("bench [OPTION]... [URL]..."),
       QStringLiteral("benchmark web pages with their frames, images and sounds"),
       {QStringLiteral(
            "Fetches each URL (with no URL, each line of URLS.DAT in the application folder) as "
            "many times as asked, with the pages of its frames and its images, embedded "
            "objects and background sounds, exactly as the main window's Run does, and writes "
            "the same logs (QuorvelLog.txt, QVSum.log). It then shows the figures of the "
            "window's totals boxes."),
        QStringLiteral(
            "Exit status 4 when any file of the run failed. Ctrl-C ends the request under way "
            "and the run, as Cancel does (no summary line is written).")},
       {valued("iterations", QLatin1Char('n'), "N", "fetch the list N times (default 1)"),
        flag("no-images", QChar(), "do not fetch images"),
        flag("no-sounds", QChar(), "do not fetch embedded objects and background sounds"),
        flag("browser", QChar(),
             "load each page as a browser loads it: every stylesheet, script, font, image and "
             "frame it names, in parallel; the page's time is its load time (default: the "
             "setting URLInfo/BrowserLoad)"),
        valued("viewport", QChar(), "WxH",
               "with --browser: choose images for a viewport of W by H CSS pixels, 100 to "
               "16384 each (default: the settings URLInfo/ViewportWidth and ViewportHeight, else "
               "1366x768)"),
        valued("dpr", QChar(), "RATIO",
               "with --browser: choose images for a device pixel ratio of RATIO, 0.5 to 8 "
               "(default: the setting URLInfo/DevicePixelRatio, else 1)"),
        flag("no-log", QChar(), "write no logs"), kJson,
        flag("csv", QChar(), "write one CSV row per request to standard output"),
        valued("har", QChar(), "FILE", "write the run to FILE as an HTTP archive (HAR 1.2)"),
        kMetrics},
       &RunBench});
  c.push_back(
      {QStringLiteral("ping"),
       QStringLiteral("ping [OPTION]... HOST"),
       QStringLiteral("send ICMP echo requests to a host and show the round-trip times"),
       {QStringLiteral(
            "Sends echo requests of 32 bytes to HOST (a host name, or an IPv4 or IPv6 "
            "address), one after the other, as the ping window does, and writes the window's "
            "results: one "
            "line per request, with the round-trip time in whole milliseconds and the TTL of "
            "the reply or the reason there was none, then the five statistics (the average "
            "divides by every request sent, the lost ones too) and the spread of the replies' "
            "round trips: \"rtt min/avg/max/mdev/median/p95 = ... ms\" (mdev the population "
            "standard deviation, p95 interpolated between the closest ranks)."),
        QStringLiteral("An address is pinged over its own family; a name over IPv4 when it has "
                       "an IPv4 address, else over IPv6 (-4 and -6 choose). The numbers are read "
                       "as the window reads its boxes: a time-out below 500 gives 500, a count "
                       "below 1 gives 10, fractions are rounded. The "
                       "values saved in the window's settings are not used."),
        QStringLiteral(
            "Exit status 4 when no request got a reply; 2 when HOST has no address or no ICMP "
            "socket can be opened. Ctrl-C ends the series at once, as Cancel does.")},
       {valued("count", QLatin1Char('c'), "N", "send N echo requests (default 10, at most 32767)"),
        valued("timeout", QLatin1Char('w'), "MS",
               "wait at most MS milliseconds for each reply (default 500, at least 500)"),
        valued("interval", QLatin1Char('i'), "SECONDS",
               "start each request SECONDS after the previous one (fractions allowed; default 0: "
               "as soon as the previous one is answered or timed out)"),
        kIpv4, kIpv6, kJson, kMetrics},
       &RunPing});
  c.push_back(
      {QStringLiteral("trace"),
       QStringLiteral("trace [OPTION]... HOST"),
       QStringLiteral("trace the route to a host with ICMP echo requests"),
       {QStringLiteral(
            "Sends echo requests to HOST (a host name, or an IPv4 or IPv6 address) with a TTL "
            "(hop limit) of 1, 2, 3 and so on, as the trace-route window does, and writes the "
            "window's report: per "
            "hop the TTL, the time of each request (\"<10 ms\" below 10 ms, \"*\" above "
            "1200 ms; a request without an answer shows the time-out) and the address that "
            "answered. The trace ends when HOST answers, after two hops in a row without any "
            "answer, or after hop 255."),
        QStringLiteral("An address is traced over its own family; a name over IPv4 when it has "
                       "an IPv4 address, else over IPv6 (-4 and -6 choose). The numbers are read "
                       "as the window reads its boxes: a time-out below 500 gives 500, a number "
                       "of requests other than 1 to 5 gives 3, "
                       "fractions are rounded. The values saved in the window's settings are "
                       "not used."),
        QStringLiteral(
            "With --report it runs cycles instead, one echo request per hop from TTL 1 to HOST "
            "(or to hop 30) in each, and writes per hop every address that answered (the most "
            "frequent first), Loss%, the requests sent (Snt) and the last, mean, best and worst "
            "round trip and their standard deviation in milliseconds. A hop whose loss the hops "
            "after it do not share is marked: it probably rate-limits its ICMP answers. --json "
            "adds the median and the jitter (mean difference of consecutive round trips), --csv "
            "writes a row per hop."),
        QStringLiteral(
            "Exit status 4 when the trace did not reach HOST; 2 when HOST has no address or no "
            "ICMP socket can be opened. Ctrl-C ends the hop under way and the trace, as Cancel "
            "does.")},
       {valued("queries", QLatin1Char('q'), "N",
               "send N echo requests at each hop, 1 to 5 (default 3)"),
        valued("timeout", QLatin1Char('w'), "MS",
               "wait at most MS milliseconds for each reply (default 2400, at least 500)"),
        flag("resolve", QLatin1Char('r'), "look up the host name of each hop's address"), kIpv4,
        kIpv6, flag("report", QChar(), "run cycles and report each hop's loss and round trips"),
        valued("cycles", QLatin1Char('c'), "N", "with --report: run N cycles (default 10)"),
        valued("interval", QLatin1Char('i'), "SECONDS",
               "with --report: start each cycle SECONDS after the previous one (default 1, "
               "at least 0.01)"),
        kJson, flag("csv", QChar(), "with --report: write one CSV row per hop"), kMetrics},
       &RunTrace});
  c.push_back(
      {QStringLiteral("ftp"),
       QStringLiteral("ftp [OPTION]... HOST[:PORT]/PATH"),
       QStringLiteral("time the download of one file by anonymous FTP"),
       {QStringLiteral(
            "Logs in to HOST (port 21 unless PORT is given) as an anonymous user and downloads "
            "the file PATH in passive mode into Quorvel.tmp in the application folder, exactly "
            "as the FTP window's Run does, then shows the window's results: the bytes, the "
            "seconds and the throughput in kilobits per second. The timing covers the "
            "transfer only, not the log-in. The file may also be written ftp://HOST/PATH; a "
            "backslash counts as a slash."),
        QStringLiteral(
            "Quorvel.tmp is deleted when the command ends, as when the window closes. The "
            "window's list of recent files is left as it is, so that tests run from scripts "
            "or cron do not push the files picked in the window out of it. The log-in and the "
            "transfer may each take at most FTP/TransferLimit seconds of the settings file "
            "(300 unless set there; 0 for no limit)."),
        QStringLiteral("Exit status 4 when the connection or the transfer failed. Ctrl-C "
                       "abandons the transfer.")},
       {kJson},
       &RunFtp});
  c.push_back(
      {QStringLiteral("stats"),
       QStringLiteral("stats [OPTION]... [LOG]"),
       QStringLiteral("statistics of the logged runs by part of the day"),
       {QStringLiteral(
            "Reads the summary log LOG (without it, QVSum.log in the application folder, in "
            "any letter case) as the statistics window's Compute does, and shows its table: "
            "for weekday mornings (7-12), afternoons (13-18), evenings (19-22), late nights "
            "(23-6), the weekend (Saturday, Sunday and Friday from 23:00) and all runs, the "
            "number of runs and the mean and median throughput (Kbps) and page load time "
            "(seconds). Runs below 1.0 Kbps or above 60.0 seconds a page are left out. It "
            "writes chart.dat in the application folder, which the graph window draws, as the "
            "window does."),
        QStringLiteral(
            "Dates are written as in the window's date boxes: MM/DD/YYYY, M/D/YYYY, the log's "
            "own MM-DD-YY or YYYY-MM-DD; both limits are included; a date in the future is "
            "refused. Without them every date counts (the window's \"All\")."),
        QStringLiteral(
            "Percentiles interpolate linearly between the closest ranks (type 7, numpy's "
            "default), so their p50 may differ from the median column, which is always one "
            "run. --by-hour sorts the same runs by the weekday (1 Monday to 7 Sunday) and hour "
            "of their local time; its medians are taken as the table's."),
        QStringLiteral("Exit status 2 when the log or a date is refused, 3 when chart.dat "
                       "could not be written (the table is shown all the same).")},
       {valued("first-date", QChar(), "DATE", "count no run before DATE"),
        valued("last-date", QChar(), "DATE", "count no run after DATE"), kJson,
        flag("csv", QChar(), "write the table as CSV (RFC 4180) to standard output"),
        flag("percentiles", QChar(),
             "add the throughput's p5 to p95 and the page load's p50 to p99 to the table "
             "(JSON has them always)"),
        flag("by-hour", QChar(),
             "show, for each weekday and hour that has runs, the count and the median "
             "throughput and page load instead of the table"),
        flag("runs", QChar(),
             "write every run the table counted (date, day part, weekday, hour, Kbps, page "
             "load) instead of the table; with --csv or --json")},
       &RunStats});
  return c;
}

QString wrap(const QString& text, int indent, int width) {
  QString out;
  QString line;
  const QString pad(indent, QLatin1Char(' '));
  for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    if (!line.isEmpty() && indent + line.size() + 1 + word.size() > width) {
      out += pad + line + QLatin1Char('\n');
      line.clear();
    }
    line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
  }
  if (!line.isEmpty()) out += pad + line + QLatin1Char('\n');
  return out;
}

QString optionTerm(const OptionSpec& o) {
  QString term =
      o.shortName.isNull() ? QStringLiteral("    ") : QStringLiteral("-%1, ").arg(o.shortName);
  term += QStringLiteral("--") + o.name;
  if (!o.valueName.isEmpty()) term += QLatin1Char(' ') + o.valueName;
  return term;
}

// "  term      explanation", the explanation wrapped under itself.
QString termLine(const QString& term, const QString& text, int column) {
  QString head = QStringLiteral("  ") + term;
  QString body = wrap(text, column, 79);
  if (head.size() + 2 <= column) return head.leftJustified(column) + body.mid(column);
  return head + QLatin1Char('\n') + body;
}

std::vector<OptionSpec> withHelp(const Command& c) {
  std::vector<OptionSpec> all = c.options;
  all.push_back(kHelp);
  return all;
}

}  // namespace

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = makeCommands();
  return commands;
}

const Command* FindCommand(const QString& name) {
  for (const Command& c : Commands())
    if (c.name == name) return &c;
  return nullptr;
}

QStringList ProgramDescription() {
  return {
      QStringLiteral("Quorvel measures an Internet connection: a page benchmark that downloads "
                     "web pages with their frames, images and sounds and logs the throughput, "
                     "ping and trace route over ICMP, an FTP download test, and statistics over "
                     "its own logs by part of the day."),
      QStringLiteral("Without a command it opens its main window. With the word \"auto\" "
                     "anywhere on its command line it benchmarks the pages of URLS.DAT "
                     "unattended, logs the results and exits (also without a display, from "
                     "cron); \"debug1\" and \"debug2\" switch on its diagnostic log. A command "
                     "runs one tool without a window; its results go to standard output."),
  };
}

std::vector<HelpSection> ProgramSections() {
  return {
      {QStringLiteral("Exit status"),
       {{QStringLiteral("0"), QStringLiteral("done, and every result was written")},
        {QStringLiteral("1"),
         QStringLiteral("another Quorvel is running in the same application folder")},
        {QStringLiteral("2"),
         QStringLiteral("bad usage (an unknown command or option, two outputs on one file), or "
                        "the work could not start")},
        {QStringLiteral("3"),
         QStringLiteral("done, but some log lines, files, settings or standard output could "
                        "not be written; or a --har or --metrics file that cannot be written "
                        "there (refused before the work starts)")},
        {QStringLiteral("4"),
         QStringLiteral("done, but the measurement failed (each command says when)")},
        {QStringLiteral("130"),
         QStringLiteral("interrupted with Ctrl-C (or SIGTERM, or SIGHUP when the terminal "
                        "closes)")}}},
      {QStringLiteral("Environment"),
       {{QStringLiteral("QUORVEL_HOME"),
         QStringLiteral("the application folder; without it the program's own folder when "
                        "that is writable, else the user's data folder")}}},
  };
}

QString ProgramHelp() {
  QString h = QStringLiteral(
      "Usage: quorvel [auto] [debug1] [debug2]\n"
      "       quorvel COMMAND [OPTION]... [ARGUMENT]...\n"
      "       quorvel --help | --version\n\n");
  for (const QString& p : ProgramDescription()) h += wrap(p, 0, 79) + QLatin1Char('\n');
  h += QStringLiteral("Commands:\n");
  for (const Command& c : Commands()) h += termLine(c.name, c.summary, 10);
  h += QStringLiteral("\nRun \"quorvel COMMAND --help\" for the options of a command.\n");
  for (const HelpSection& s : ProgramSections()) {
    h += QLatin1Char('\n') + s.title + QStringLiteral(":\n");
    for (const auto& [term, text] : s.items) h += termLine(term, text, 16);
  }
  return h;
}

QString CommandHelp(const Command& c) {
  QString h = QStringLiteral("Usage: quorvel ") + c.synopsis + QStringLiteral("\n");
  h += wrap(c.summary.left(1).toUpper() + c.summary.mid(1) + QLatin1Char('.'), 0, 79);
  for (const QString& p : c.details) h += QLatin1Char('\n') + wrap(p, 0, 79);
  h += QStringLiteral("\nOptions:\n");
  for (const OptionSpec& o : withHelp(c)) h += termLine(optionTerm(o), o.help, 26);
  return h;
}

QString VersionText() {
  return QStringLiteral("%1 %2.%3.%4")
      .arg(QString::fromLatin1(version::kProductName))
      .arg(version::kMajor)
      .arg(version::kMinor)
      .arg(version::kRevision);
}

namespace {

bool isProgramOption(const QString& a) {
  return a == QLatin1String("--help") || a == QLatin1String("-h") || a == QLatin1String("help") ||
         a == QLatin1String("--version") || a == QLatin1String("-V");
}

// The words of the old command line, found anywhere in any case ("-auto", "xDEBUG1").
bool holdsOldWord(const QString& a) {
  return a.contains(QLatin1String("auto"), Qt::CaseInsensitive) ||
         a.contains(QLatin1String("debug1"), Qt::CaseInsensitive) ||
         a.contains(QLatin1String("debug2"), Qt::CaseInsensitive);
}

// A word such as a command is ("pign", "Bench"), not an address or a path.
bool looksLikeCommandWord(const QString& a) {
  static const QRegularExpression word(QStringLiteral("^[A-Za-z][A-Za-z0-9_-]*$"));
  return word.match(a).hasMatch();
}

qsizetype editDistance(const QString& a, const QString& b) {
  std::vector<qsizetype> row(size_t(b.size()) + 1);
  for (qsizetype j = 0; j <= b.size(); ++j) row[size_t(j)] = j;
  for (qsizetype i = 1; i <= a.size(); ++i) {
    qsizetype diagonal = row[0];
    row[0] = i;
    for (qsizetype j = 1; j <= b.size(); ++j) {
      const qsizetype above = row[size_t(j)];
      const bool same = a[i - 1].toLower() == b[j - 1].toLower();
      row[size_t(j)] = std::min({above + 1, row[size_t(j - 1)] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[size_t(b.size())];
}

// The command (or the old word "auto", or "help") nearest to a mistyped word.
QString nearestCommand(const QString& word) {
  QStringList names{QStringLiteral("auto"), QStringLiteral("help")};
  for (const Command& c : Commands()) names << c.name;
  QString best;
  qsizetype bestDistance = 0;
  for (const QString& name : names) {
    const qsizetype d = editDistance(word, name);
    if (best.isEmpty() || d < bestDistance) {
      best = name;
      bestDistance = d;
    }
  }
  return best;
}

}  // namespace

bool IsCommandLine(const QStringList& args) {
  if (args.isEmpty()) return false;
  const QString& first = args.front();
  if (FindCommand(first) != nullptr || isProgramOption(first)) return true;
  // Anything else that holds an old word keeps the old meaning ("quorvel -auto" from cron).
  for (const QString& a : args)
    if (holdsOldWord(a)) return false;
  return first.startsWith(QLatin1Char('-')) || looksLikeCommandWord(first);
}

namespace {

int runCommand(const QStringList& args, Console& console) {
  const QString first = args.value(0);
  if (first == QLatin1String("--version") || first == QLatin1String("-V")) {
    console.print(VersionText());
    return kExitOk;
  }
  if (first == QLatin1String("--help") || first == QLatin1String("-h") ||
      first == QLatin1String("help")) {
    const Command* c = FindCommand(args.value(1));
    console.printRaw((c ? CommandHelp(*c) : ProgramHelp()).toUtf8());
    return kExitOk;
  }
  const Command* command = FindCommand(first);
  if (!command) {
    console.error(first.startsWith(QLatin1Char('-'))
                      ? QStringLiteral("Unknown option %1 (try \"quorvel --help\").").arg(first)
                      : QStringLiteral("Unknown command \"%1\"; the nearest command is \"%2\" "
                                       "(try \"quorvel --help\").")
                            .arg(first, nearestCommand(first)));
    return kExitCannotStart;
  }
  ParsedArgs parsed;
  QString error;
  if (!ParseArgs(args.mid(1), withHelp(*command), parsed, error)) {
    console.error(error + QStringLiteral(" Try \"quorvel ") + command->name +
                  QStringLiteral(" --help\"."));
    return kExitCannotStart;
  }
  if (parsed.has(QStringLiteral("help"))) {
    console.printRaw(CommandHelp(*command).toUtf8());
    return kExitOk;
  }
  // Trouble with one of the program's files is said once, in a sentence of its own.
  setFileTroubleReporter([&console](const QString& text) { console.error(text); });
  const int code = command->run(parsed, console);
  setFileTroubleReporter({});
  return code;
}

}  // namespace

int RunCommandLine(const QStringList& args, Console& console) {
  const int code = runCommand(args, console);
  // Results that did not reach standard output are not a success; a closed pipe is the
  // reader's choice and ends quietly (the caller ends as a closed pipe ends other tools).
  const int lost = console.outputError();
  if (lost == 0 || lost == EPIPE) return code;
  return code == kExitOk || code == kExitMeasureFailed ? kExitNotWritten : code;
}

int RunCommandLine(int argc, char** argv) {
  InstallQuietQtMessages();
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Quorvel"));
  resetAppState(locateAppFolder(QCoreApplication::applicationDirPath()));
  appState().settingsPath = appState().filePath(QStringLiteral("Quorvel.ini"));
  InterruptCancels interrupt;
  // A reader that goes away is seen as a failed write (EPIPE), not as the end of the program,
  // so that the files of the run are still written.
  ::signal(SIGPIPE, SIG_IGN);
  Console console;
  // Arguments are UTF-8; bytes that are not keep their value (a URL sends them as they came).
  QStringList args;
  for (int i = 1; i < argc; ++i) args << FromUtf8KeepingBytes(argv[i]);
  const int code = RunCommandLine(args, console);
  if (console.outputError() == EPIPE) {
    ::signal(SIGPIPE, SIG_DFL);
    ::raise(SIGPIPE);
  }
  return code;
}

}  // namespace quorvel::cli
