// The options of a subcommand: what each one is, and the reading of a command line against
// them (GNU style: "--name", "--name=value", "--name value", "-x", "-x value", "--" ends the
// options).
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <vector>

namespace quorvel::cli {

struct OptionSpec {
  QString name;       // long name, without "--"
  QChar shortName;    // null when there is none
  QString valueName;  // empty for a switch; else the value's name in the help ("N", "FILE")
  QString help;       // one sentence
};

struct ParsedArgs {
  QMap<QString, QString> values;  // long name -> value ("" for a switch given)
  QStringList positional;

  bool has(const QString& name) const { return values.contains(name); }
  QString value(const QString& name, const QString& fallback = {}) const {
    return values.value(name, fallback);
  }
};

// Reads `args` (without the program and subcommand names). On a mistake returns false with
// one plain sentence in `error`.
bool ParseArgs(const QStringList& args, const std::vector<OptionSpec>& specs, ParsedArgs& out,
               QString& error);

// A whole number from an option's text, within [min, max]; false with a sentence naming the
// option otherwise.
bool ParseCount(const ParsedArgs& args, const QString& name, long long min, long long max,
                long long& out, QString& error);

}  // namespace quorvel::cli
