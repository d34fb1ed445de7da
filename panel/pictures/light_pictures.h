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

// A light value in words (junction::lightValueName); any other value is shown dark, and says so.
std::string lightStateWords(int value);

} // namespace bexen::pictures
