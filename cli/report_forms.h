// Pieces that the reports of every command share: the head of a JSON document and CSV text
// as RFC 4180 has it (fields quoted when they hold a comma, a quote or a line end; CR LF ends
// each record), with no cell that a spreadsheet would run as a formula.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace quorvel::cli {

// "1.8.0".
QString VersionNumber();

// {"program": "Quorvel", "version": "1.8.0", "command": command}, to which a report adds.
QJsonObject JsonHead(const QString& command);

QString CsvField(const QString& text);

// The fields, quoted where needed, joined by commas, ended by CR LF.
QString CsvRecord(const QStringList& fields);

}  // namespace quorvel::cli
