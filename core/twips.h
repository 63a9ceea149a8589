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

}  // namespace quorvel
