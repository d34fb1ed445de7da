// SPDX-License-Identifier: MIT
#include "qt_description.h"

#include "junction_facts.h"
#include "picture_box_art.h"
#include "pictures/light_pictures.h"

#include <QPalette>

#include <array>
#include <map>
#include <utility>

namespace bexen::panel {

QColor colour(Colour which, const QPalette &desktop)
{
    if (const std::optional<Rgb> rgb = fixedRgb(which))
        return {rgb->r, rgb->g, rgb->b};
    switch (which) {
    case Colour::ButtonFace:
        return desktop.color(QPalette::Active, QPalette::Button);
    case Colour::ButtonText:
        return desktop.color(QPalette::Active, QPalette::ButtonText);
    case Colour::WindowBackground:
        return desktop.color(QPalette::Active, QPalette::Base);
    case Colour::WindowText:
        return desktop.color(QPalette::Active, QPalette::Text);
    default:
        return {};
    }
}

QImage toQImage(const pictures::Pixels &pixels)
{
    if (pixels.isNull())
        return {};
    // A copy of its own: the image outlives the pixels it is made from.
    return QImage(reinterpret_cast<const uchar *>(pixels.argb.data()), pixels.width, pixels.height,
                  QImage::Format_ARGB32_Premultiplied)
            .copy();
}

namespace {

// The light pictures are opaque: held as such, they draw without blending.
QImage opaqueImage(const pictures::Pixels &pixels)
{
    return toQImage(pixels).convertToFormat(QImage::Format_RGB32);
}

} // namespace

const QImage &lightImage(int value)
{
    static const std::array<QImage, 5> images{
        opaqueImage(pictures::lightPicture(0)), opaqueImage(pictures::lightPicture(1)),
        opaqueImage(pictures::lightPicture(2)), opaqueImage(pictures::lightPicture(3)),
        opaqueImage(pictures::lightPicture(4)),
    };
    return images[static_cast<std::size_t>(junction::shownLightValue(value))];
}

const QImage &blankLightImage()
{
    static const QImage image = opaqueImage(pictures::blankLightPicture());
    return image;
}

QImage prerenderedFigureImage(pictures::Figure figure, int scalePercent)
{
    // Expanded once each, when a box is first shown: a box repaints whenever it is uncovered.
    static std::map<std::pair<pictures::Figure, int>, QImage> expanded;
    const auto key = std::make_pair(figure, scalePercent);
    if (const auto found = expanded.find(key); found != expanded.end())
        return found->second;
    const pictures::RawPicture *raw = prerenderedFigure(figure, scalePercent);
    if (!raw)
        return {};
    QImage image = toQImage(raw->expand());
    image.setDevicePixelRatio(scalePercent / 100.0);
    return expanded.emplace(key, image).first->second;
}

} // namespace bexen::panel
