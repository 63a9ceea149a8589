// The URL list file (URLS.DAT): one URL a line; ';' starts a comment line; blank lines skipped.
#pragma once

#include <QString>
#include <QStringList>

namespace quorvel {

// The URLs of the file, trimmed of blanks, in file order. `ok` is false when it cannot be read.
QStringList ReadUrlListFile(const QString& path, bool* ok = nullptr);

}  // namespace quorvel
