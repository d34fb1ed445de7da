// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <vector>

namespace bexen::pictures {

// A picture as its pixels: 0xAARRGGBB with the colour premultiplied by its alpha, row by row from
// the top. Each front-end hands these to its toolkit as they are.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;

    bool isNull() const { return width <= 0 || height <= 0; }
    std::uint32_t at(int x, int y) const
    {
        return argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width)
                    + static_cast<std::size_t>(x)];
    }
    friend bool operator==(const Pixels &, const Pixels &) = default;
};

constexpr std::uint32_t opaque(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return 0xff000000u | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b;
}

} // namespace bexen::pictures
