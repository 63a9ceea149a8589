// Whether a person can see a window: shown, not minimised, and on a real screen (the offscreen
// platform of an unattended run has no one looking at it).
#pragma once

class QWidget;

namespace quorvel {

bool seenOnScreen(const QWidget* window);

}  // namespace quorvel
