// SPDX-License-Identifier: MIT
#pragma once

#include <QLine>
#include <QPoint>
#include <QRect>

namespace bexen::panel {

// The panel was laid out in twips at 96 dots per inch, where a pixel is 15 twips. Every position
// and size on the panel goes through this one conversion; Qt's own high-DPI scaling does the rest.
inline constexpr int kTwipsPerPixel = 15;

constexpr int toPixels(int twips)
{
    // Round half away from zero, so that a stray non-multiple of 15 lands on its nearest pixel.
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;

    QRect toPixels() const
    {
        return {panel::toPixels(left), panel::toPixels(top), panel::toPixels(width),
                panel::toPixels(height)};
    }
};

struct TwipsPoint {
    int x;
    int y;

    QPoint toPixels() const { return {panel::toPixels(x), panel::toPixels(y)}; }
};

} // namespace bexen::panel
