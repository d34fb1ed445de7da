// SPDX-License-Identifier: MIT
#pragma once

#include "pictures/raw_picture.h"

#include <cstddef>
#include <iterator>

namespace bexen::panel {

// Each picture box's figure is painted at build time for these device pixel ratios; at any other
// the box scales the nearest down.
inline constexpr int kPrerenderedScales[] = {1, 2};

// Made at build time by bexen_render_boxes; `key` is the figure.
extern const pictures::RawPicture kPrerenderedFigures[];
extern const std::size_t kPrerenderedFigureCount;

} // namespace bexen::panel
