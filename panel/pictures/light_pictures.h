// SPDX-License-Identifier: MIT
#pragma once

#include "pixels.h"

#include <string>

namespace bexen::pictures {

inline constexpr int kLightPictureWidth = 12;
inline constexpr int kLightPictureHeight = 29;

// The picture of light value `value` (0 dark, 1 red, 2 red and yellow, 3 yellow, 4 green), made
// once and shared by the legend row and the state images. Any other value gives value 0's picture.
const Pixels &lightPicture(int value);

// The start-up picture of a state image: three white lamps, shown until the first tick.
const Pixels &blankLightPicture();

// Whether `value` is one of the five light values; any other byte is shown dark.
constexpr bool isLightValue(int value)
{
    return value >= 0 && value <= 4;
}

// A light value in words: "dark", "red", "red and yellow", "yellow", "green"; any other value is
// shown dark, and says so.
std::string lightStateWords(int value);

} // namespace bexen::pictures
