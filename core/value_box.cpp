#include "core/value_box.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

namespace quorvel {

namespace {
// The blank a line edit keeps on each side of its text inside its contents (Qt's own figure).
constexpr int kLineEditMargin = 2;
// The text cursor, drawn after the last character, needs one pixel.
constexpr int kCursorWidth = 1;
}  // namespace

int boxWidthFor(const QLineEdit* box, const QString& text) {
  const QFontMetrics fm(box->font());
  const QMargins margins = box->textMargins();
  // Glyphs that reach beyond their advance at either end of the text need that room too.
  const int overhang = text.isEmpty() ? 0
                                      : std::max(0, -fm.leftBearing(text.front())) +
                                            std::max(0, -fm.rightBearing(text.back()));
  const int inner = fm.horizontalAdvance(text) + overhang + kCursorWidth + 2 * kLineEditMargin +
                    margins.left() + margins.right();
  QStyleOptionFrame opt;
  opt.initFrom(box);
  opt.lineWidth =
      box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, box) : 0;
  opt.midLineWidth = 0;
  opt.state |= QStyle::State_Sunken;
  if (box->isReadOnly()) opt.state |= QStyle::State_ReadOnly;
  const QSize contents(inner, fm.height());
  return box->style()->sizeFromContents(QStyle::CT_LineEdit, &opt, contents, box).width();
}

void showFromStart(QLineEdit* box) {
  // Setting a text puts the cursor after it, which scrolls a long text to its end. While the
  // user works in the box (it has the focus) the cursor is theirs.
  QObject::connect(box, &QLineEdit::cursorPositionChanged, box, [box](int, int now) {
    if (now != 0 && !box->hasFocus()) box->setCursorPosition(0);
  });
}

}  // namespace quorvel
