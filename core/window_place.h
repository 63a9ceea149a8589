// Where the user left a window: its size and position, kept in the settings file (section
// "WindowPlace", one key per window, named as the window: "frmQuorvel=120,80,640,360") and
// given back inside the screen that is there now.
#pragma once

#include <QRect>
#include <optional>

class QString;
class QWidget;

namespace quorvel {

// The window's place as the settings file has it; none when the key is missing or is not four
// whole numbers with a width and a height above 0.
std::optional<QRect> storedWindowPlace(const QString& window);

// `place` moved (and, when larger, cut) so that it lies inside `screen`.
QRect insideScreen(const QRect& place, const QRect& screen);

// Puts the window where it was left, inside the available area of the screen that holds its
// centre (the primary screen when none does). A window of fixed size keeps its size; another
// keeps at least its minimum size.
void restoreWindowPlace(QWidget* window);

// Stores the window's place (also once it is hidden again); only for a window that was shown,
// and never in an unattended run.
void saveWindowPlace(const QWidget* window);

}  // namespace quorvel
