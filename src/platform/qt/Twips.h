// Twips to pixels: the models keep the design-time geometry in twips; at 96 dpi
// 15 twips are one pixel.
#pragma once

#include <QRect>
#include <QSize>

#include "platform/controls/Control.h"

namespace qtui {

inline constexpr int kTwipsPerPixel = 15;

// Rounds to the nearest pixel (the designs use multiples of 15 anyway).
constexpr int toPixels(int twips) {
  return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                    : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

inline QRect toPixels(const platform::Rect& r) {
  return {toPixels(r.left), toPixels(r.top), toPixels(r.width), toPixels(r.height)};
}

inline QSize clientSizeInPixels(int widthTwips, int heightTwips) {
  return {toPixels(widthTwips), toPixels(heightTwips)};
}

}  // namespace qtui
