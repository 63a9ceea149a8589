// A table as the clipboard carries it to a spreadsheet or an editor: one line per row, cells
// separated by tabs.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace quorvel {

// The rows (the header first, when there is one), each cell on one line: a tab or line end in
// a cell becomes a blank, and a cell that a spreadsheet would take for a formula (beginning
// with "=", "+", "-" or "@" without being a number) gets a leading "'". Lines end with "\n".
QString TabSeparated(const QList<QStringList>& rows);

}  // namespace quorvel
