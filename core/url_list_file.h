// The URL list file (URLS.DAT): one URL a line; ';' starts a comment line; blank lines skipped.
//
// Lines end with CR LF, LF or CR. A line is one URL however long, up to kMaxUrlLine bytes;
// the list's URLs together may take up to kMaxUrlListText bytes. A file beyond either bound
// (or with more URLs than a run takes) is refused as a whole, with a sentence that says why,
// so memory stays bounded whatever the file holds.
#pragma once

#include <QString>
#include <QStringList>

namespace quorvel {

inline constexpr qsizetype kMaxUrlLine = 1024 * 1024;
inline constexpr qsizetype kMaxUrlListText = 64 * 1024 * 1024;

struct UrlListFile {
  QStringList urls;  // trimmed of blanks, in file order; empty when refused
  QString problem;   // why the file was refused ("Could not locate URLS.DAT file!", ...)
};

// Reads the file for a run that takes at most maxUrls URLs.
UrlListFile ReadUrlListFile(const QString& path, qsizetype maxUrls);

}  // namespace quorvel
