// The further files a browser would load with a page: its embedded resources and its frames,
// as URLs ready to fetch.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quorvel {

// The text of a page as the scans read it: its comments removed.
QByteArray ScanText(const QByteArray& body);

// The images (getImages) and embedded objects and background sounds (getSounds) of a page (from
// ScanText) whose base is `base`: each once (compared case-sensitively), sorted by character
// codes.
QStringList EmbeddedResourceUrls(const QByteArray& html, const QString& base, bool getImages,
                                 bool getSounds);

// The frame pages of a page (from ScanText), in page order.
QStringList FrameUrls(const QByteArray& html, const QString& base);

}  // namespace quorvel
