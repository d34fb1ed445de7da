// SPDX-License-Identifier: MIT
#pragma once

#include "colours.h"
#include "twips.h"

#include <vector>

namespace bexen::panel {

// One filled rectangle of the junction's plan, in pixels of the client area.
struct Fill {
    PixelRect rect;
    Colour colour;
};

// The plan of the crossroads behind every control of Form1, back to front: the four corner blocks
// and their kerbs, the frames of the legends and the sensor zones, then the centre lines, stop
// lines, zebra crossings and arrows, all as filled rectangles at `dpi` dots per inch, so that
// every front-end paints the same pixels with one loop. A line of width w is centred on its
// segment; a shape's border lies inside its rectangle; the slanting arrow heads are stair-steps.
std::vector<Fill> junctionFills(int dpi = kLayoutDpi);

} // namespace bexen::panel
