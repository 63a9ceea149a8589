#include "cli/options.h"

namespace quorvel::cli {

namespace {

const OptionSpec* findLong(const std::vector<OptionSpec>& specs, const QString& name) {
  for (const OptionSpec& s : specs)
    if (s.name == name) return &s;
  return nullptr;
}

const OptionSpec* findShort(const std::vector<OptionSpec>& specs, QChar c) {
  for (const OptionSpec& s : specs)
    if (!s.shortName.isNull() && s.shortName == c) return &s;
  return nullptr;
}

}  // namespace

bool ParseArgs(const QStringList& args, const std::vector<OptionSpec>& specs, ParsedArgs& out,
               QString& error) {
  out = ParsedArgs{};
  bool optionsEnded = false;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (optionsEnded || a == QLatin1String("-") || !a.startsWith(QLatin1Char('-'))) {
      out.positional << a;
      continue;
    }
    if (a == QLatin1String("--")) {
      optionsEnded = true;
      continue;
    }
    const OptionSpec* spec = nullptr;
    QString value;
    bool inlineValue = false;
    QString shown = a;
    if (a.startsWith(QLatin1String("--"))) {
      QString name = a.mid(2);
      const qsizetype eq = name.indexOf(QLatin1Char('='));
      if (eq >= 0) {
        value = name.mid(eq + 1);
        name.truncate(eq);
        inlineValue = true;
      }
      shown = QStringLiteral("--") + name;
      spec = findLong(specs, name);
    } else {
      spec = findShort(specs, a.at(1));
      shown = a.left(2);
      if (a.size() > 2) {
        if (spec && spec->valueName.isEmpty()) {
          error = QStringLiteral("Unknown option %1.").arg(a);
          return false;
        }
        value = a.mid(2);
        inlineValue = true;
      }
    }
    if (!spec) {
      error = QStringLiteral("Unknown option %1.").arg(shown);
      return false;
    }
    if (spec->valueName.isEmpty()) {
      if (inlineValue) {
        error = QStringLiteral("Option --%1 takes no value.").arg(spec->name);
        return false;
      }
      out.values.insert(spec->name, QString());
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) {
        error = QStringLiteral("Option %1 needs a value (%2).").arg(shown, spec->valueName);
        return false;
      }
      value = args[++i];
    }
    out.values.insert(spec->name, value);
  }
  return true;
}

bool ParseCount(const ParsedArgs& args, const QString& name, long long min, long long max,
                long long& out, QString& error) {
  if (!args.has(name)) return true;
  bool ok = false;
  const long long n = args.value(name).trimmed().toLongLong(&ok);
  if (!ok || n < min || n > max) {
    error = QStringLiteral("Option --%1 takes a whole number from %2 to %3, not \"%4\".")
                .arg(name)
                .arg(min)
                .arg(max)
                .arg(args.value(name));
    return false;
  }
  out = n;
  return true;
}

}  // namespace quorvel::cli
