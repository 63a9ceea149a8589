#include "tools/tool_layout.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

#include "core/twips.h"

namespace quorvel {

namespace {
int scaled(int twips, double scale) {
  return static_cast<int>(std::lround(twips * scale));
}
}  // namespace

double fitScale(const std::vector<std::pair<QWidget*, int>>& controlsWithTwipsWidth) {
  double scale = 1.0;
  for (const auto& [w, twips] : controlsWithTwipsWidth) {
    const int given = twipsToPixels(w, twips);
    if (given <= 0) continue;
    scale = std::max(scale, static_cast<double>(w->sizeHint().width()) / given);
  }
  return scale;
}

void placeScaledTwips(QWidget* w, double scale, int left, int top, int width, int height) {
  placeTwips(w, scaled(left, scale), scaled(top, scale), scaled(width, scale),
             scaled(height, scale));
}

void resizeScaledTwips(QWidget* w, double scale, int width, int height) {
  resizeTwips(w, scaled(width, scale), scaled(height, scale));
}

}  // namespace quorvel
