// Loopback ports for the tests' own servers.
#pragma once

#include <QtGlobal>

namespace quorvel::testing {

// A non-blocking TCP socket bound to a free port on 127.0.0.1 (-1 when there is none), and a
// free port (bound once, then released): nothing listens there.
int boundLoopbackSocket(quint16* port);
quint16 freeLoopbackPort();

}  // namespace quorvel::testing
