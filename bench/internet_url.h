// URL texts on their way to the Internet client library.
#pragma once

#include <QByteArray>
#include <QString>

namespace quorvel {

// Completes an address typed or listed without a scheme. An address that contains "//"
// anywhere is taken as it is; otherwise one that begins with "ftp." (any case) gets "ftp://" in
// front, and any other gets "http://".
QString CompleteURL(const QString& url);

// The bytes of a URL as they go on the wire. Page references reach us one byte per character
// (Latin-1), so characters up to U+00FF stand for those bytes and others are taken as UTF-8.
// Blanks, control characters and bytes above 127 are percent-encoded, as a browser does,
// except in the server name, which stays UTF-8 for the library's international-name support.
QByteArray RequestURL(const QString& url);

}  // namespace quorvel
