// Windows are laid out in twips (1440 to the inch), scaled by the screen's logical DPI.
#pragma once

class QWidget;

namespace quorvel {

// Pixels for a length in twips on the screen the widget is on (or the primary screen).
int twipsToPixels(const QWidget* w, int twips);

// Places a child widget at a position given in twips, relative to its parent.
void placeTwips(QWidget* w, int left, int top, int width, int height);

// Sets a window's client area to a size given in twips.
void resizeTwips(QWidget* w, int width, int height);

// The factor (1 when the font fits the layout) by which the controls placed in `container`
// (and in the frames among them) must grow so that every caption, placeholder and button text
// shows whole in the current font, across and down.
double neededScale(const QWidget* container);

// Multiplies the place of every control placed in `container` (and in the frames among them,
// not inside a layout) by `scale`; neighbours stay neighbours. The container keeps its size.
void scalePlaced(QWidget* container, double scale);

// Widens every caption that does not show whole into the free space beside it (a right-aligned
// one to its left).
void fitCaptions(const QWidget* container);

// The three above for a window laid out in twips with a fixed size: where the font needs more
// room, the whole layout and the window grow by the same factor. Returns the factor.
double growToFit(QWidget* window);

}  // namespace quorvel
