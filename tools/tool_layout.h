// Layout of the diagnostic windows: positions given in twips, scaled up as a whole when the
// screen's font needs more room than the twips allow, so no caption is ever cut off.
#pragma once

#include <utility>
#include <vector>

class QWidget;

namespace quorvel {

// The factor (at least 1) by which twips widths must grow so that each control's text fits:
// the largest ratio of a control's preferred width to the width it is given in twips.
double fitScale(const std::vector<std::pair<QWidget*, int>>& controlsWithTwipsWidth);

// placeTwips with every figure multiplied by `scale`.
void placeScaledTwips(QWidget* w, double scale, int left, int top, int width, int height);
void resizeScaledTwips(QWidget* w, double scale, int width, int height);

}  // namespace quorvel
