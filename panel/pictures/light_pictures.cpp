// SPDX-License-Identifier: MIT
#include "light_pictures.h"

#include <array>

namespace bexen::pictures {
namespace {

enum class Lamp { Dark, Red, Yellow, Green, Blank };

constexpr QRgb kFrameColour = qRgb(0, 0, 0);
constexpr QRgb kHousingColour = qRgb(0, 255, 255);
constexpr QRgb kOutlineColour = qRgb(0, 0, 0);

constexpr QRgb lampColour(Lamp lamp)
{
    switch (lamp) {
    case Lamp::Red:
        return qRgb(255, 0, 0);
    case Lamp::Yellow:
        return qRgb(255, 255, 0);
    case Lamp::Green:
        return qRgb(0, 128, 0);
    case Lamp::Blank:
        return qRgb(255, 255, 255);
    case Lamp::Dark:
        break;
    }
    return qRgb(192, 192, 192);
}

// One row of a lamp disc, left half only: the right half mirrors it about the housing's centre line.
// An empty face span (faceFrom > faceTo) is the flat top or bottom of the disc.
struct LampRow {
    int outlineFrom;
    int outlineTo;
    int faceFrom;
    int faceTo;
};

constexpr std::array<LampRow, 8> kLampRows{{
    {5, 5, 6, 5},
    {3, 4, 5, 5},
    {3, 3, 4, 5},
    {2, 2, 3, 5},
    {2, 2, 3, 5},
    {3, 3, 4, 5},
    {3, 4, 5, 5},
    {5, 5, 6, 5},
}};

// The first picture row of each lamp, top to bottom; one housing row separates neighbouring lamps.
constexpr std::array<int, 3> kLampTops{1, 10, 19};

struct LightLamps {
    Lamp top;
    Lamp middle;
    Lamp bottom;
};

constexpr std::array<LightLamps, 5> kLegend{{
    {Lamp::Dark, Lamp::Dark, Lamp::Dark},
    {Lamp::Red, Lamp::Dark, Lamp::Dark},
    {Lamp::Red, Lamp::Yellow, Lamp::Dark},
    {Lamp::Dark, Lamp::Yellow, Lamp::Dark},
    {Lamp::Dark, Lamp::Dark, Lamp::Green},
}};

constexpr LightLamps kBlank{Lamp::Blank, Lamp::Blank, Lamp::Blank};

constexpr int mirrored(int column)
{
    return kLightPictureWidth - 1 - column;
}

void paintSpan(QImage &image, int row, int from, int to, QRgb colour)
{
    for (int column = from; column <= to; ++column) {
        image.setPixel(column, row, colour);
        image.setPixel(mirrored(column), row, colour);
    }
}

QImage makeLightPicture(const LightLamps &lamps)
{
    QImage image(kLightPictureWidth, kLightPictureHeight, QImage::Format_RGB32);
    image.fill(kHousingColour);
    for (int column = 0; column < kLightPictureWidth; ++column) {
        image.setPixel(column, 0, kFrameColour);
        image.setPixel(column, kLightPictureHeight - 1, kFrameColour);
    }
    for (int row = 0; row < kLightPictureHeight; ++row) {
        image.setPixel(0, row, kFrameColour);
        image.setPixel(kLightPictureWidth - 1, row, kFrameColour);
    }

    const std::array<Lamp, 3> stack{lamps.top, lamps.middle, lamps.bottom};
    for (std::size_t lamp = 0; lamp < stack.size(); ++lamp) {
        const QRgb face = lampColour(stack[lamp]);
        for (std::size_t i = 0; i < kLampRows.size(); ++i) {
            const LampRow &r = kLampRows[i];
            const int row = kLampTops[lamp] + static_cast<int>(i);
            paintSpan(image, row, r.outlineFrom, r.outlineTo, kOutlineColour);
            paintSpan(image, row, r.faceFrom, r.faceTo, face);
        }
    }
    return image;
}

const std::array<QImage, 5> &legendPictures()
{
    static const std::array<QImage, 5> pictures{
        makeLightPicture(kLegend[0]), makeLightPicture(kLegend[1]), makeLightPicture(kLegend[2]),
        makeLightPicture(kLegend[3]), makeLightPicture(kLegend[4]),
    };
    return pictures;
}

bool isLightValue(int value)
{
    return value >= 0 && value < static_cast<int>(kLegend.size());
}

} // namespace

const QImage &lightPicture(int value)
{
    // A byte the emulated program never meant as a light shows all lamps dark, like value 0.
    return legendPictures()[static_cast<std::size_t>(isLightValue(value) ? value : 0)];
}

const QImage &blankLightPicture()
{
    static const QImage picture = makeLightPicture(kBlank);
    return picture;
}

QString lightStateWords(int value)
{
    static constexpr std::array<const char *, 5> kWords{"dark", "red", "red and yellow", "yellow", "green"};
    if (!isLightValue(value))
        return QStringLiteral("dark (%1 is not a light value)").arg(value);
    return QString::fromLatin1(kWords[static_cast<std::size_t>(value)]);
}

} // namespace bexen::pictures
