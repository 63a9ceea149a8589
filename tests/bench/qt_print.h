// Readable Qt texts in failure messages (tools/test_ftp_server.h has the same for its tests).
#pragma once

#include <QString>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) {
  *os << '"' << s.toStdString() << '"';
}
