// SPDX-License-Identifier: MIT
#pragma once

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

} // namespace bexen::panel
