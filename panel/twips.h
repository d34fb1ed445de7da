// SPDX-License-Identifier: MIT
#pragma once

namespace bexen::panel {

// The panel was laid out in twips, 1440 to the inch: at 96 dots per inch a pixel is 15 twips.
// Every position and size on the panel goes through this one conversion, at the screen's density.
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kLayoutDpi = 96;

constexpr int toPixels(int twips, int dpi = kLayoutDpi)
{
    // Round half away from zero, so that a stray non-multiple of 15 lands on its nearest pixel.
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + kTwipsPerInch / 2) / kTwipsPerInch
                                        : -((-scaled + kTwipsPerInch / 2) / kTwipsPerInch));
}

// A width given in pixels at 96 dots per inch (the junction's lines), at another density; never
// thinner than one pixel.
constexpr int scaledLineWidth(int pixelsAt96, int dpi)
{
    const int scaled = (pixelsAt96 * dpi + kLayoutDpi / 2) / kLayoutDpi;
    return scaled < 1 ? 1 : scaled;
}

// A font's size in pixels: its points at the screen's density, 72 points to the inch.
constexpr int fontPixels(int hundredthsOfPoint, int dpi = kLayoutDpi)
{
    return (hundredthsOfPoint * dpi + 7200 / 2) / 7200;
}

struct PixelPoint {
    int x;
    int y;

    friend constexpr bool operator==(const PixelPoint &, const PixelPoint &) = default;
};

struct PixelRect {
    int left;
    int top;
    int width;
    int height;

    constexpr int right() const { return left + width; } // one past the last column
    constexpr int bottom() const { return top + height; } // one past the last row
    friend constexpr bool operator==(const PixelRect &, const PixelRect &) = default;
};

struct TwipsPoint {
    int x;
    int y;

    constexpr PixelPoint toPixels(int dpi = kLayoutDpi) const
    {
        return {panel::toPixels(x, dpi), panel::toPixels(y, dpi)};
    }
};

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;

    // The edges are converted, not the size, so that neighbouring controls that meet in twips
    // still meet in pixels at any density.
    constexpr PixelRect toPixels(int dpi = kLayoutDpi) const
    {
        const int l = panel::toPixels(left, dpi);
        const int t = panel::toPixels(top, dpi);
        return {l, t, panel::toPixels(left + width, dpi) - l, panel::toPixels(top + height, dpi) - t};
    }
};

} // namespace bexen::panel
