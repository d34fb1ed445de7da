// SPDX-License-Identifier: MIT
#pragma once

#include "twips.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace bexen::panel {

enum class Align { Left, Right, Centre };

// Where a line `textWidth` pixels wide starts in a box from `boxLeft`, `boxWidth` pixels wide.
constexpr int alignedLeft(Align align, int boxLeft, int boxWidth, int textWidth)
{
    switch (align) {
    case Align::Right:
        return boxLeft + boxWidth - textWidth;
    case Align::Centre:
        return boxLeft + (boxWidth - textWidth) / 2;
    case Align::Left:
        break;
    }
    return boxLeft;
}

// How wide a piece of text stands in the label's font, in pixels; the front-end measures it.
using TextWidth = std::function<int(std::string_view text)>;

// Breaks a caption into the lines it stands on in a box `boxWidth` pixels wide. Lines break at
// blanks; a blank run that reaches the right edge carries its remaining blanks (less the one the
// break takes) to the start of the next line, which is how the port 150 diagram of Label5 keeps
// its columns. A word wider than the box stands alone on its line. Blanks before a break are
// dropped; the last line keeps its blanks.
std::vector<std::string> wrapCaption(std::string_view caption, const TextWidth &textWidth,
                                     int boxWidth);

// How wide a piece of text stands in the panel's font at a size of `pixels`, in the screen's
// own pixels; the front-end measures it.
using SizedTextWidth = std::function<int(int pixels, std::string_view text)>;

// The size in whole pixels at which a font of `hundredthsOfPoint` draws `captions` at `dpi`: the
// size its points give there, shrunk a pixel at a time (never below its size at 96 dots per
// inch) until no caption stands wider than at 96 dots per inch grown with the layout. A font's
// glyphs do not grow exactly with its size, so what fits at 96 then fits at every density.
int fittedFontPixels(int hundredthsOfPoint, int dpi, const std::vector<std::string_view> &captions,
                     const SizedTextWidth &textWidth);

// The largest size from `pixels` down to `smallest` at which `fits` holds, a pixel at a time;
// `smallest` when none does.
int largestFittingPixels(int pixels, int smallest, const std::function<bool(int pixels)> &fits);

} // namespace bexen::panel
