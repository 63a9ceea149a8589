// The files a command writes besides standard output (--har FILE, --metrics FILE). Such a file
// goes only to a regular file or to a new name, replaced at once: a device, a FIFO, a folder or
// a symbolic link named there is refused and left as it is, as the application folder's own
// files are. Every file is checked before the work starts, so that a run of an hour is not
// lost to a file that could never be written, and no two of them (nor standard output, nor a
// log or another of the program's own files) may be one file.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "cli/console.h"
#include "cli/options.h"

namespace quorvel::cli {

// Before the work, for the options of `names` that were given ("har", "metrics"): kExitOk, or,
// after one sentence on the console, kExitCannotStart (two outputs on one file) or
// kExitNotWritten (a file that cannot be written there).
int CheckOutputFiles(const ParsedArgs& args, const QStringList& names, Console& console);

// Writes `data` as the whole file of option `name`; false after a sentence on the console (the
// old file then stays as it was).
bool WriteOutputFile(const ParsedArgs& args, const QString& name, const QByteArray& data,
                     Console& console);

}  // namespace quorvel::cli
