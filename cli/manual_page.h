// The manual page quorvel(1), in roff, made from the same table of commands and options that
// --help prints, so that the two cannot tell different stories.
#pragma once

#include <QString>

namespace quorvel::cli {

QString ManualPage();

}  // namespace quorvel::cli
