// SPDX-License-Identifier: MIT
#include "light_pictures.h"

#include "junction_facts.h"

#include <array>
#include <cstdint>
#include <string>

namespace bexen::pictures {
namespace {

enum class Lamp { Dark, Red, Yellow, Green, Blank };

constexpr std::uint32_t kFrameColour = opaque(0, 0, 0);
constexpr std::uint32_t kHousingColour = opaque(0, 255, 255);
constexpr std::uint32_t kOutlineColour = opaque(0, 0, 0);

constexpr std::uint32_t lampColour(Lamp lamp)
{
    switch (lamp) {
    case Lamp::Red:
        return opaque(255, 0, 0);
    case Lamp::Yellow:
        return opaque(255, 255, 0);
    case Lamp::Green:
        return opaque(0, 128, 0);
    case Lamp::Blank:
        return opaque(255, 255, 255);
    case Lamp::Dark:
        break;
    }
    return opaque(192, 192, 192);
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

constexpr std::array<LightLamps, junction::kLightValues> kLegend{{
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

void setPixel(Pixels &picture, int column, int row, std::uint32_t colour)
{
    picture.argb[static_cast<std::size_t>(row) * static_cast<std::size_t>(picture.width)
                 + static_cast<std::size_t>(column)] = colour;
}

void paintSpan(Pixels &picture, int row, int from, int to, std::uint32_t colour)
{
    for (int column = from; column <= to; ++column) {
        setPixel(picture, column, row, colour);
        setPixel(picture, mirrored(column), row, colour);
    }
}

Pixels makeLightPicture(const LightLamps &lamps)
{
    Pixels picture{kLightPictureWidth, kLightPictureHeight,
                   std::vector<std::uint32_t>(std::size_t{kLightPictureWidth} * kLightPictureHeight, kHousingColour)};
    for (int column = 0; column < kLightPictureWidth; ++column) {
        setPixel(picture, column, 0, kFrameColour);
        setPixel(picture, column, kLightPictureHeight - 1, kFrameColour);
    }
    for (int row = 0; row < kLightPictureHeight; ++row) {
        setPixel(picture, 0, row, kFrameColour);
        setPixel(picture, kLightPictureWidth - 1, row, kFrameColour);
    }

    const std::array<Lamp, 3> stack{lamps.top, lamps.middle, lamps.bottom};
    for (std::size_t lamp = 0; lamp < stack.size(); ++lamp) {
        const std::uint32_t face = lampColour(stack[lamp]);
        for (std::size_t i = 0; i < kLampRows.size(); ++i) {
            const LampRow &r = kLampRows[i];
            const int row = kLampTops[lamp] + static_cast<int>(i);
            paintSpan(picture, row, r.outlineFrom, r.outlineTo, kOutlineColour);
            paintSpan(picture, row, r.faceFrom, r.faceTo, face);
        }
    }
    return picture;
}

const std::array<Pixels, 5> &legendPictures()
{
    static const std::array<Pixels, 5> pictures{
        makeLightPicture(kLegend[0]), makeLightPicture(kLegend[1]), makeLightPicture(kLegend[2]),
        makeLightPicture(kLegend[3]), makeLightPicture(kLegend[4]),
    };
    return pictures;
}

} // namespace

const Pixels &lightPicture(int value)
{
    // A byte the emulated program never meant as a light shows all lamps dark, like value 0.
    return legendPictures()[static_cast<std::size_t>(junction::shownLightValue(value))];
}

const Pixels &blankLightPicture()
{
    static const Pixels picture = makeLightPicture(kBlank);
    return picture;
}

std::string lightStateWords(int value)
{
    std::string shown(junction::lightValueName(junction::shownLightValue(value)));
    if (!junction::isLightValue(value))
        return shown + " (" + std::to_string(value) + " is not a light value)";
    return shown;
}

} // namespace bexen::pictures
