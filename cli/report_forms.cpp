#include "cli/report_forms.h"

#include <QRegularExpression>

#include "quorvel_version.h"

namespace quorvel::cli {

QString VersionNumber() {
  return QStringLiteral("%1.%2.%3")
      .arg(version::kMajor)
      .arg(version::kMinor)
      .arg(version::kRevision);
}

QJsonObject JsonHead(const QString& command) {
  return {{"program", QString::fromLatin1(version::kProductName)},
          {"version", VersionNumber()},
          {"command", command}};
}

QString CsvField(const QString& text) {
  // A cell that a spreadsheet would take for a formula (a URL or a text a server chose) is
  // neutralised as OWASP's CSV-injection guidance says: a single quote in front, and quoted. A
  // plain number ("-1", "+0.5") stays a number.
  static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+(\\.[0-9]+)?$"));
  static const QString formulaStarts = QStringLiteral("=+-@\t\r");
  const bool formula =
      !text.isEmpty() && formulaStarts.contains(text.front()) && !number.match(text).hasMatch();
  if (!formula && !text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
      !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
    return text;
  QString quoted = formula ? QLatin1Char('\'') + text : text;
  quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString CsvRecord(const QStringList& fields) {
  QStringList quoted;
  quoted.reserve(fields.size());
  for (const QString& f : fields) quoted << CsvField(f);
  return quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

}  // namespace quorvel::cli
