// SPDX-License-Identifier: MIT
#include "picture_box_art.h"

namespace bexen::panel {

const pictures::RawPicture *prerenderedFigure(pictures::Figure figure, int scalePercent)
{
    for (std::size_t i = 0; i < kPrerenderedFigureCount; ++i) {
        const pictures::RawPicture &picture = kPrerenderedFigures[i];
        if (picture.key == static_cast<int>(figure) && picture.scalePercent == scalePercent)
            return &picture;
    }
    return nullptr;
}

} // namespace bexen::panel
