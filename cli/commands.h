// The command line of the program: its subcommands, their options and their help, in one
// table that --help prints and the manual page is made from.
//
//   quorvel [auto] [debug1] [debug2]      the windows, or the unattended run ("auto")
//   quorvel COMMAND [OPTION]... [ARG]...  one tool without a window
//   quorvel --help | --version
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "cli/console.h"
#include "cli/options.h"

namespace quorvel::cli {

using CommandRun = int (*)(const ParsedArgs& args, Console& console);

struct Command {
  QString name;
  QString synopsis;                 // after "quorvel ": "bench [OPTION]... [URL]..."
  QString summary;                  // one line for the list of commands
  QStringList details;              // paragraphs of the command's help
  std::vector<OptionSpec> options;  // --help is added to every command
  CommandRun run = nullptr;
};

const std::vector<Command>& Commands();
const Command* FindCommand(const QString& name);

// A labelled paragraph of the program's own help: exit codes, files, environment.
struct HelpSection {
  QString title;
  QList<QPair<QString, QString>> items;  // term, explanation
};
QStringList ProgramDescription();
std::vector<HelpSection> ProgramSections();

QString ProgramHelp();
QString CommandHelp(const Command& command);
QString VersionText();

// Whether these arguments (the program's name left out) ask for the command line rather than
// the windows: the first one names a command or is --help or --version; or no argument holds
// one of the words "auto", "debug1" and "debug2" (found anywhere, in any case, inside other
// text, as they always were) and the first is an option or a word such as a command is (a
// mistyped command is then said to be one, rather than opening the windows).
bool IsCommandLine(const QStringList& args);

// Runs the command line in a QCoreApplication (no window, no display needed).
int RunCommandLine(int argc, char** argv);

// The same, on arguments already read and a console given (for tests).
int RunCommandLine(const QStringList& args, Console& console);

// The commands, each in its own file.
int RunBench(const ParsedArgs& args, Console& console);
int RunFtp(const ParsedArgs& args, Console& console);
int RunStats(const ParsedArgs& args, Console& console);
int RunPing(const ParsedArgs& args, Console& console);
int RunTrace(const ParsedArgs& args, Console& console);

}  // namespace quorvel::cli
