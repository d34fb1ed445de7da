// SPDX-License-Identifier: MIT
#pragma once

// The toolkit-free description of Form1 in Qt's types.
#include "colours.h"
#include "pictures/figure.h"
#include "pictures/pixels.h"
#include "twips.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

#include <string_view>

class QPalette;

namespace bexen::panel {

inline QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline QRect toQRect(const PixelRect &r)
{
    return {r.left, r.top, r.width, r.height};
}

// A colour of the panel; the desktop roles from Qt's palette.
QColor colour(Colour which, const QPalette &desktop);

// A picture's pixels as an image of its own.
QImage toQImage(const pictures::Pixels &pixels);

// The light pictures as images, made once each and shared by every control that shows them.
const QImage &lightImage(int value);
const QImage &blankLightImage();

// A figure as painted at build time for its picture box at `scalePercent` (100 at 96 dots per
// inch), with the matching device pixel ratio; a null image when there is none.
QImage prerenderedFigureImage(pictures::Figure figure, int scalePercent);

} // namespace bexen::panel
