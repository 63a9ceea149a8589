// Looking inside a downloaded page for the files a browser would load with it: frame pages,
// images, embedded objects and background sounds.
//
// These are plain text scans over the page's bytes, not an HTML parser; their rules (and what
// they overlook) are part of what the benchmark measures, so they are kept exactly:
//  - a tag is "<frame " (frames), or "<img", "<embed", "<bgsound" followed by a blank or a
//    carriage return (images and sounds), compared without regard to case;
//  - a tag counts only when "src" appears somewhere after its name, even beyond its own ">";
//  - the tag runs to the first ">" after its "<".
// Positions are 1-based; 0 means "not found". Every operation is linear in the page's length
// (a page of millions of tags or comments costs no more than reading it once).
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace quorvel {

// A tag found in a page: its 1-based position and its text up to and including its ">".
// position 0 and an empty tag when nothing was found.
struct TagHit {
  qsizetype position = 0;
  QByteArray tag;
};

// The page without its "<!-- ... -->" comments. A comment that is never closed runs to the end
// of the page. Comment marks that only meet once a comment between them is gone (e.g. "<!<!--
// x -->--") open a new comment, as if the page had been rescanned after each removal.
QByteArray StripComments(QByteArray text);

// The next frame tag at or after `start`.
TagHit FindFrame(qsizetype start, const QByteArray& text);

// The next image (when getImages) or embed / background-sound tag (when getSounds) at or after
// `start`.
TagHit FindEmbeddedResource(qsizetype start, const QByteArray& text, bool getImages,
                            bool getSounds);

// Scans one page for tag after tag. Finding every tag of a page with it costs one pass over the
// page, however far apart the tags and their "src" lie (the free functions above restart their
// search for "src" at each call). Calls with rising start positions are the fast path; any
// other order is still answered correctly. The scanner keeps its own (shared) copy of the text.
class TagScanner {
 public:
  explicit TagScanner(QByteArray text);

  TagHit findFrame(qsizetype start) const;
  TagHit findEmbeddedResource(qsizetype start, bool getImages, bool getSounds) const;

  const QByteArray& text() const { return text_; }

 private:
  enum class Kinds { Frames, Embedded };
  TagHit find(qsizetype start, Kinds kinds, bool getImages, bool getSounds) const;
  // Length of the tag name matched at 0-based index i (with its blank / CR), 0 when none.
  qsizetype tagAt(qsizetype i, Kinds kinds, bool getImages, bool getSounds) const;
  qsizetype nextSrc(qsizetype from) const;  // first "src" (any case) at or after `from`, or -1
  qsizetype nextGt(qsizetype from) const;   // first '>' at or after `from`, or -1

  QByteArray text_;
  // The last answers of nextSrc / nextGt: nothing matches in [from, at), so any query inside
  // that range has the same answer (at == -1: nothing from `from` to the end).
  mutable qsizetype srcFrom_ = -1, srcAt_ = -1;
  mutable qsizetype gtFrom_ = -1, gtAt_ = -1;
};

// The source reference of a tag, normalised: "scheme://host/path" becomes "host/path", any
// other reference begins with "/"; the query is dropped, runs of "/" become one "/", and a value
// holding an apostrophe (script text) gives the empty reference. Empty when the tag has no
// "src ... =".
QByteArray ExtractSource(const QByteArray& tag);

// The base of a page: its URL after the first "//" (when there is one), cut before its last "/"
// (the whole of it when there is none). "http://h/d/p.htm" gives "h/d"; "h" gives "h".
QString PageBase(const QString& url);

// The URL of a reference found on a page with base `base`: base + reference when the reference
// begins with "/", else the reference itself (an absolute reference, already "host/path").
// A reference's bytes become URL text one byte per character (QString::fromLatin1).
QString ResolveReference(const QString& base, const QString& reference);

}  // namespace quorvel
