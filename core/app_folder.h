// Where the program keeps its files.
#pragma once

#include <QString>

namespace quorvel {

// $QUORVEL_HOME when set; else the executable's folder when it is writable (a build folder,
// a copy of the program in a folder of its own), but never a folder of installed programs
// (under /usr, /opt, /bin, /sbin, /snap); else the user's data folder (created when missing).
// `executableDir` may be empty when unknown.
QString locateAppFolder(const QString& executableDir);

}  // namespace quorvel
