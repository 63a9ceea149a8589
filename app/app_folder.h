// Where the program keeps its files.
#pragma once

#include <QString>

namespace quorvel {

// $QUORVEL_HOME when set; else the executable's folder when it is writable; else the
// user's data folder (created when missing). `executableDir` may be empty when unknown.
QString locateAppFolder(const QString& executableDir);

}  // namespace quorvel
