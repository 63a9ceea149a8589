// The further files a browser would load with a page: its embedded resources and its frames,
// as URLs ready to fetch.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quorvel {

// The text of a page as the scans read it: its comments removed.
QByteArray ScanText(QByteArray body);

// Where the links of the page at `pageUrl` lead: the page's base (PageBase). A page fetched
// over https keeps that scheme for all of its resources and frames ("https://" + its base);
// those of any other page have no scheme, and opening them completes them with "http://".
QString LinkBase(const QString& pageUrl);

// The server of a resource or frame URL found on a page: before its first "/" (after its
// scheme, when it has one).
QString LinkHost(const QString& link);

// The images (getImages) and embedded objects and background sounds (getSounds) of a page (from
// ScanText) whose links lead from `base` (LinkBase): each once (compared case-sensitively),
// sorted by character codes.
QStringList EmbeddedResourceUrls(const QByteArray& html, const QString& base, bool getImages,
                                 bool getSounds);

// The frame pages of a page (from ScanText) whose links lead from `base`, in page order.
QStringList FrameUrls(const QByteArray& html, const QString& base);

}  // namespace quorvel
