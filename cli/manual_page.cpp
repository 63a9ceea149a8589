#include "cli/manual_page.h"

#include "cli/commands.h"
#include "quorvel_version.h"

namespace quorvel::cli {

namespace {

// Text as roff reads it: backslashes escaped, hyphens as minus signs where they are typed
// (options, commands), and no line that starts as a request.
QString roff(QString text) {
  text.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
  text.replace(QLatin1Char('-'), QStringLiteral("\\-"));
  if (text.startsWith(QLatin1Char('.')) || text.startsWith(QLatin1Char('\'')))
    text.prepend(QStringLiteral("\\&"));
  return text;
}

QString paragraph(const QString& text) {
  return QStringLiteral(".PP\n") + roff(text) + QLatin1Char('\n');
}

QString tagged(const QString& term, const QString& text) {
  return QStringLiteral(".TP\n") + term + QLatin1Char('\n') + roff(text) + QLatin1Char('\n');
}

QString optionTerm(const OptionSpec& o) {
  QString term;
  if (!o.shortName.isNull()) term += QStringLiteral("\\fB\\-%1\\fR, ").arg(o.shortName);
  term += QStringLiteral("\\fB\\-\\-%1\\fR").arg(roff(o.name));
  if (!o.valueName.isEmpty()) term += QStringLiteral(" \\fI%1\\fR").arg(roff(o.valueName));
  return term;
}

struct Item {
  const char* term;
  const char* text;
};

// The files of the application folder.
constexpr Item kFiles[] = {
    {"Quorvel.ini", "the settings, one section per window (see SETTINGS)"},
    {"URLS.DAT",
     "the pages of a run from the list file and of the unattended run: one URL a line; lines "
     "starting with \";\" and empty lines are skipped"},
    {"QuorvelLog.txt", "the main result log: a line for every file fetched, a block per page"},
    {"QVSum.log",
     "the summary log: one fixed-column line per completed run, which the statistics read"},
    {"QVURL.log", "a line per page of an unattended run"},
    {"QuorvelLog.bak, QVSum.bak, QVURL.bak",
     "the previous content of a log that grew past 500,000 bytes"},
    {"Debug.log", "the diagnostic log of a run with debug1 or debug2"},
    {"debug.txt", "a first line beginning with \"on\" switches on debug2"},
    {"chart.dat", "the runs of the last statistics computation, which the graph draws"},
    {"Quorvel.tmp", "the file the FTP test downloads"},
};

// Every key of the settings file.
constexpr Item kSettings[] = {
    {"[URLInfo] LogResults, GetImages, GetSounds, UseURLFile",
     "the main window's check boxes, \"0\" or \"1\""},
    {"[URLInfo] URL1 ... URL10", "the main window's ten most recent URLs, 1 the most recent"},
    {"[URLInfo] URLFile", "\"URLS.DAT\", written when the file is made; not read"},
    {"[URLInfo] RequestLimit",
     "seconds a whole benchmark request may take (default 300, 0 for no limit); a request that "
     "reaches it ends with 12002 and the run goes on"},
    {"[URLInfo] BrowserLoad",
     "\"1\" loads each page as a browser loads it (the main window's \"Load like a browser\"); "
     "default \"0\""},
    {"[URLInfo] ViewportWidth, ViewportHeight, DevicePixelRatio",
     "the screen a page loaded as a browser loads it is for, which decides its images' "
     "candidates: CSS pixels from 100 to 16384 (default 1366 by 768) and a ratio from 0.5 to 8 "
     "(default 1); a value out of bounds or no number gives the default"},
    {"[Proxy] Use, Address, Port",
     "the proxy of the benchmark (Use \"1\" switches it on), as the options dialog stores them"},
    {"[Ping] WaitTimeout, NumRequests", "the ping window's time-out (ms) and count"},
    {"[TraceRoute] WaitTimeout, NumRequests, ResolveIPAddresses",
     "the trace window's time-out (ms), requests per hop and name resolution"},
    {"[FTP] File1 ... File10", "the FTP window's ten most recent files"},
    {"[FTP] TransferLimit",
     "seconds the FTP log-in and the transfer may each take (default 300, 0 for no limit)"},
    {"[SysInfo] Path", "the system-information program of the about box"},
};

}  // namespace

QString ManualPage() {
  const QString version = VersionText();
  QString m;
  m += QStringLiteral(".TH QUORVEL 1 \"%1\" \"%2\" \"User Commands\"\n")
           .arg(QString::fromLatin1(version::kReleaseDate), version);
  m += QStringLiteral(
      ".SH NAME\nquorvel \\- measure an Internet connection: page benchmark, ping, trace "
      "route, FTP test and statistics\n");
  m += QStringLiteral(
      ".SH SYNOPSIS\n.B quorvel\n.RB [ auto ]\n.RB [ debug1 ]\n.RB [ debug2 ]\n.br\n");
  for (const Command& c : Commands())
    m += QStringLiteral(".B quorvel\n") + roff(c.synopsis) + QStringLiteral("\n.br\n");
  m += QStringLiteral(".B quorvel\n.BR \\-\\-help \" | \" \\-\\-version\n");
  m += QStringLiteral(".SH DESCRIPTION\n");
  for (const QString& p : ProgramDescription()) m += paragraph(p);
  m += paragraph(QStringLiteral(
      "The main window holds the benchmark's choices (images, sounds, iterations, logging, the "
      "URL or the URL list file), its status line and six totals (valid URLs, errors, bytes, "
      "seconds, throughput in kilobits per second, average page load), Run/Cancel, and menus "
      "for the log file, the proxy options, the ping, trace-route, FTP and statistics windows "
      "and the about box. Only one Quorvel runs per application folder."));
  m += paragraph(QStringLiteral(
      "Every measured interval covers the opening and the reading of one URL, timed with a "
      "monotonic microsecond clock. A request that receives nothing for 60 seconds, or reaches "
      "its overall limit, ends with 12002; failures are logged with their number and text and "
      "the run goes on."));
  m += QStringLiteral(".SH COMMANDS\n");
  for (const Command& c : Commands()) {
    m += QStringLiteral(".SS \"") + roff(c.synopsis) + QStringLiteral("\"\n");
    m += roff(c.summary.left(1).toUpper() + c.summary.mid(1) + QLatin1Char('.')) +
         QLatin1Char('\n');
    for (const QString& p : c.details) m += paragraph(p);
    for (const OptionSpec& o : c.options) m += tagged(optionTerm(o), o.help);
    m += tagged(QStringLiteral("\\fB\\-h\\fR, \\fB\\-\\-help\\fR"),
                QStringLiteral("show the command's help and exit"));
  }
  m += QStringLiteral(".SH FILES\n");
  m += paragraph(QStringLiteral(
      "Every file lives in the application folder: $QUORVEL_HOME when it is set, else the "
      "program's own folder when it is writable and not a folder of installed programs, else "
      "the user's data folder (~/.local/share/Quorvel). Files are opened only when they are "
      "regular files, and never written through a symbolic link."));
  for (const Item& f : kFiles)
    m += tagged(QStringLiteral("\\fI%1\\fR").arg(roff(QString::fromUtf8(f.term))),
                QString::fromUtf8(f.text));
  m += QStringLiteral(".SH SETTINGS\n");
  m += paragraph(QStringLiteral(
      "Quorvel.ini is a sectioned key=value file; sections and keys are matched in any case."));
  for (const Item& s : kSettings)
    m += tagged(QStringLiteral("\\fB%1\\fR").arg(roff(QString::fromUtf8(s.term))),
                QString::fromUtf8(s.text));
  for (const HelpSection& s : ProgramSections()) {
    m += QStringLiteral(".SH ") + s.title.toUpper() + QLatin1Char('\n');
    for (const auto& [term, text] : s.items) m += tagged(QStringLiteral("\\fB") + roff(term) + QStringLiteral("\\fR"), text);
  }
  m += QStringLiteral(".SH NOTES\n");
  m += paragraph(QStringLiteral(
      "Ping and trace route send ICMP echo requests through an ICMP datagram socket where the "
      "kernel allows it to the user's group (net.ipv4.ping_group_range, which also governs "
      "IPv6), else through a raw socket, which needs root or the CAP_NET_RAW capability. When "
      "neither can be opened they say so; the remedies are \"sudo setcap cap_net_raw+ep "
      "/usr/bin/quorvel\" or \"sudo sysctl -w net.ipv4.ping_group_range='0 2147483647'\"."));
  m += QStringLiteral(
      ".SH SEE ALSO\n.BR ping (8),\n.BR traceroute (1),\n.BR curl (1),\n"
      ".BR prometheus (1)\n");
  return m;
}

}  // namespace quorvel::cli
