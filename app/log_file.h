// Viewing and clearing the main result log.
#pragma once

#include <QString>
#include <functional>

namespace quorvel {

class Shell;

inline const QString kMainLogName = QStringLiteral("QuorvelLog.txt");

// The file usability test (path, mode), replaceable so tests can stand in for a file that
// another program holds open.
using UsabilityTest = std::function<bool(const QString&, int)>;

// Opens the file (a name in the application folder) in its associated program. Returns the
// message to show (title "Oops", exclamation), or an empty text when the file was opened. When
// no program opens the file, the message names the file's path, which goes to `pathToOffer`
// too, for the user to copy.
QString ViewLogFile(const QString& name, Shell& shell, const UsabilityTest& usable = {},
                    QString* pathToOffer = nullptr);

// Deletes QuorvelLog.txt from the application folder. Returns the message to show, or an
// empty text (also when there was no log at all).
QString ClearLogFile(const UsabilityTest& usable = {});

}  // namespace quorvel
