// Web addresses as a browser parses them (the URL standard's parser, for http and https): a
// page's own URL, and the references found on it resolved against it.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace quorvel {

struct WebUrl {
  QByteArray scheme;    // "http" or "https"
  QByteArray userinfo;  // "user:password", percent-encoded; usually empty
  QByteArray host;      // lower case; a non-ASCII name as IDNA writes it ("xn--...")
  QByteArray port;      // empty for the scheme's own port
  QByteArray path;      // begins with "/", percent-encoded
  QByteArray query;     // with its "?", percent-encoded; empty for none

  // "scheme://[userinfo@]host[:port]path[?query]": every byte printable ASCII.
  QByteArray text() const;
};

// Resolves `reference` (bytes of the page: UTF-8, or a legacy encoding whose bytes outside
// ASCII are sent as they are) against `base` as a browser resolves an image's or frame's
// address: leading and trailing blanks and controls dropped, tabs and line breaks removed,
// "\" read as "/", protocol-relative ("//host/x") with the base's scheme, root-relative
// ("/x") against the base's server, any other relative one against the base's folder, dot
// segments removed, the query kept, the fragment dropped, everything outside printable ASCII
// percent-encoded as UTF-8. An "http:" address on an https page becomes https, as current
// browsers upgrade such mixed content; a reference of only a fragment ("#top") is the base
// itself, as a browser fetches it. None when a browser would not fetch it at all: an empty
// (or blank) reference, a scheme other than http and https (data:, javascript:, about:, blob:,
// mailto:, ...), a host it cannot parse, a reference beyond 2 MiB.
std::optional<WebUrl> ResolveWebUrl(QByteArrayView reference, const WebUrl& base);

// A page's own address (as listed or typed, or as it answered after redirects): "http://" is
// assumed when it names no scheme. None when it is no http or https address.
std::optional<WebUrl> ParsePageUrl(const QString& url);

// The text the run uses for a resolved address, as the run has always named the files of a
// page: an http address without its "http://" (opening it puts it back), unless the short
// form would be read otherwise (a server name beginning "ftp.", or "//" inside the path).
QString LinkText(const WebUrl& url);

}  // namespace quorvel
