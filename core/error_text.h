// Error numbers as sentences for the user and the logs: the one table of texts.
#pragma once

#include <QString>

namespace quorvel {

// The sentence for an error number; "Error details not available." for numbers not in the table.
QString InternetErrorText(int code);

// The same for the FTP test, whose local file adds three numbers of its own: 5 (the file
// cannot be created), 29 (it cannot be written) and 112 (the disk is full).
QString FtpErrorText(int code);

}  // namespace quorvel
