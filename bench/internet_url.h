// URL texts on their way to the Internet client library.
#pragma once

#include <QByteArray>
#include <QString>

namespace quorvel {

// Completes an address typed or listed without a scheme. An address that contains "//"
// anywhere is taken as it is; otherwise one that begins with "ftp." (any case) gets "ftp://" in
// front, and any other gets "http://".
QString CompleteURL(const QString& url);

// The bytes of a URL as they go on the wire, in one encoding: blanks, control characters and
// everything outside ASCII percent-encoded as UTF-8, except the bytes that came in as no UTF-8
// at all (FromUtf8KeepingBytes, core/text_util.h), which are sent as they came. The server
// name stays UTF-8: the library turns an international name into its ASCII form (IDNA).
QByteArray RequestURL(const QString& url);

}  // namespace quorvel
