// SPDX-License-Identifier: MIT
#pragma once

#include "pictures/figure.h"
#include "pictures/raw_picture.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace bexen::panel {

// Each picture box's figure is painted at build time for these screen densities, in percent of
// 96 dots per inch, each at the box's own size there; a screen of another density takes the
// nearest.
inline constexpr int kPrerenderedScales[] = {100, 125, 150, 200};

// The painted scale nearest to `scalePercent`, the smaller of two equally near (the first, as
// the scales rise).
constexpr int nearestPrerenderedScale(int scalePercent)
{
    return std::ranges::min(kPrerenderedScales, {}, [scalePercent](int scale) {
        return scale > scalePercent ? scale - scalePercent : scalePercent - scale;
    });
}

// The figure as painted for its box at exactly `scalePercent`, or null when there is none.
const pictures::RawPicture *prerenderedFigure(pictures::Figure figure, int scalePercent);

// Made at build time by bexen_render_boxes; `key` is the figure.
extern const pictures::RawPicture kPrerenderedFigures[];
extern const std::size_t kPrerenderedFigureCount;

} // namespace bexen::panel
