#include "cli/report_forms.h"

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
  if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
      !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
    return text;
  QString quoted = text;
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
