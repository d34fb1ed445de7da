// SPDX-License-Identifier: MIT
#pragma once

#include "twips.h"

#include <algorithm>

namespace bexen::panel {

// What a check box holds, as the program reads it: 0 cleared, 1 ticked, 2 greyed. The tick
// counts a greyed sensor as a car waiting.
enum class CheckValue { Cleared = 0, Ticked = 1, Greyed = 2 };

// The tick square of a check box: as wide as the narrow control, centred on its height.
constexpr PixelRect tickSquare(const PixelRect &control)
{
    const int side = std::min(control.width, control.height);
    return {control.left + (control.width - side) / 2, control.top + (control.height - side) / 2,
            side, side};
}

// The tick mark, laid out on a grid of 9 by 9 cells over the square (the square of a 135-twip
// box at 96 dots per inch is 9 pixels, one cell each): five columns, each two cells tall, their
// top cells here. Drawn by the panel rather than by the platform, whose tick shrinks to a dot
// in 9 pixels.
struct TickCell {
    int column;
    int row;
};

inline constexpr int kTickGrid = 9;
inline constexpr TickCell kTickCells[] = {{2, 3}, {3, 4}, {4, 3}, {5, 2}, {6, 1}};

// One column of the tick mark, in a square's own pixels at any size.
constexpr PixelRect tickColumn(const TickCell &cell, const PixelRect &square)
{
    const int side = square.width;
    const int left = square.left + cell.column * side / kTickGrid;
    const int top = square.top + cell.row * side / kTickGrid;
    return {left, top, square.left + (cell.column + 1) * side / kTickGrid - left,
            square.top + (cell.row + 2) * side / kTickGrid - top};
}

} // namespace bexen::panel
