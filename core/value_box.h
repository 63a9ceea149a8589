// Read-only text boxes that show a value: wide enough for the widest value they hold, and
// showing each value from its first character.
#pragma once

class QLineEdit;
class QString;

namespace quorvel {

// The width the box needs to show `text` whole in its own font and style.
int boxWidthFor(const QLineEdit* box, const QString& text);

// From now on the box shows every text it is given from its first character: a text wider than
// the box loses its end from view, never its beginning. Not while the box has the focus.
void showFromStart(QLineEdit* box);

}  // namespace quorvel
