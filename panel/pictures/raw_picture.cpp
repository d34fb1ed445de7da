// SPDX-License-Identifier: MIT
#include "raw_picture.h"

#include <zlib.h>

#include <cstring>

namespace bexen::pictures {

Pixels RawPicture::expand() const
{
    constexpr std::size_t kLengthBytes = 4;
    if (width <= 0 || height <= 0 || size < kLengthBytes)
        return {};
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const unsigned long stated = (unsigned long)data[0] << 24 | (unsigned long)data[1] << 16
            | (unsigned long)data[2] << 8 | (unsigned long)data[3];
    if (stated != count * 4)
        return {};

    std::vector<unsigned char> bytes(count * 4);
    uLongf expanded = static_cast<uLongf>(bytes.size());
    if (uncompress(bytes.data(), &expanded, data + kLengthBytes,
                   static_cast<uLong>(size - kLengthBytes))
                != Z_OK
        || expanded != bytes.size())
        return {};

    // The painters wrote each pixel as the host's 32-bit word; both sides are little-endian.
    Pixels picture{width, height, std::vector<std::uint32_t>(count)};
    std::memcpy(picture.argb.data(), bytes.data(), bytes.size());
    return picture;
}

} // namespace bexen::pictures
