// The application's own icon (data/quorvel.svg, built into the program), drawn sharp at every
// size a window, a task bar or the about box asks for.
#pragma once

class QIcon;
class QPixmap;

namespace quorvel {

QIcon appIcon();
QPixmap appIconPixmap(int size);

}  // namespace quorvel
