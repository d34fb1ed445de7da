// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>

namespace bexen::pictures {

inline constexpr int kLightPictureWidth = 12;
inline constexpr int kLightPictureHeight = 29;

// The picture of light value `value` (0 dark, 1 red, 2 red and yellow, 3 yellow, 4 green), made
// once and shared by the legend row and the state images. Any other value gives value 0's picture.
const QImage &lightPicture(int value);

// The start-up picture of a state image: three white lamps, shown until the first tick.
const QImage &blankLightPicture();

// A light value in words: "dark", "red", "red and yellow", "yellow", "green"; any other value is
// shown dark, and says so.
QString lightStateWords(int value);

} // namespace bexen::pictures
