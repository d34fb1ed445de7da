// SPDX-License-Identifier: MIT
#pragma once

#include "pixels.h"

#include <cstddef>

namespace bexen::pictures {

// A picture painted at build time and compiled in as its pixels (premultiplied ARGB, 32 bits a
// pixel, row by row), compressed with zlib: a few kilobytes of the program each, and no picture
// decoder to load. Only the pictures a screen asks for are ever expanded.
struct RawPicture {
    int key; // what the picture is of; the table that holds it says what the number means
    int scalePercent; // the screen density it was painted for, 100 at 96 dots per inch
    int width;
    int height;
    const unsigned char *data; // the expanded length (4 bytes, big-endian), then the zlib stream
    std::size_t size;

    // Its pixels, or a null picture when the data does not hold exactly width by height of them.
    Pixels expand() const;
};

} // namespace bexen::pictures
