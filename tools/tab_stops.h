// Tab stops of a results box given in dialog units, as the reports of the trace and ping
// windows line up their columns.
#pragma once

#include <vector>

class QPlainTextEdit;
class QString;

namespace quorvel {

// Replaces the box's tab stops with the given ones (dialog units, a quarter of the average
// character width of the box's font each). An empty list gives back the default stops.
void setTabStopsDialogUnits(QPlainTextEdit* box, const std::vector<int>& stops);

// The width of a text in the box's font, in its dialog units (rounded up).
int textWidthDialogUnits(const QPlainTextEdit* box, const QString& text);

// The box's tab stops in pixels, for tests.
std::vector<double> tabStopPixels(const QPlainTextEdit* box);

}  // namespace quorvel
