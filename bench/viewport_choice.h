// The screen a page is loaded for when it is loaded as a browser loads it (media_query.h's
// Viewport): the settings URLInfo/ViewportWidth, URLInfo/ViewportHeight and
// URLInfo/DevicePixelRatio, and the command line's texts for them ("1366x768", "2").
//
// A side of the viewport is a whole number of CSS pixels from 100 to 16384, the pixel ratio a
// number from 0.5 to 8. A setting that is missing, is no such number or is out of bounds gives
// its default (1366, 768, 1); each setting stands on its own.
#pragma once

#include <QString>
#include <optional>

#include "bench/media_query.h"

namespace quorvel {

inline constexpr int kMinViewportSide = 100;
inline constexpr int kMaxViewportSide = 16384;
inline constexpr double kMinDevicePixelRatio = 0.5;
inline constexpr double kMaxDevicePixelRatio = 8;

struct ViewportSize {
  int width = 0, height = 0;
};

// "WIDTHxHEIGHT" (blanks around it allowed, "x" or "X"); none when it is no such text or a
// side is out of bounds.
std::optional<ViewportSize> ParseViewportSize(const QString& text);

// A device pixel ratio such as "1", "1.5" or "2"; none when it is no number or out of bounds.
std::optional<double> ParseDevicePixelRatio(const QString& text);

Viewport ViewportSetting(const QString& settingsPath);

}  // namespace quorvel
