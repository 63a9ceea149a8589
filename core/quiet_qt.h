// Qt's own warnings ("This plugin does not support propagateSizeHints()", "XDG_RUNTIME_DIR not
// set", ...) are not the user's business: they are dropped unless QT_LOGGING_RULES or
// QUORVEL_QT_MESSAGES asks for them. Critical and fatal messages always pass.
#pragma once

namespace quorvel {

void InstallQuietQtMessages();

}  // namespace quorvel
