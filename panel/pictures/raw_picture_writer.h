// SPDX-License-Identifier: MIT
#pragma once

// For the build-time painters only: they run on the build machine with Qt.
#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <cstdio>

namespace bexen::pictures {

// Writes `image`'s pixels (premultiplied ARGB, the host's 32-bit words, row by row), compressed,
// as a C++ array named `name`, and returns its length in bytes (0 when it could not be written).
// RawPicture::expand reads it back.
inline std::size_t writeRawPixels(std::FILE *out, const char *name, const QImage &image)
{
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QByteArray rows;
    for (int y = 0; y < pixels.height(); ++y)
        rows.append(reinterpret_cast<const char *>(pixels.constScanLine(y)), qsizetype{pixels.width()} * 4);
    const QByteArray packed = qCompress(rows, 9); // the length, big-endian, then the zlib stream
    std::fprintf(out, "constexpr unsigned char %s[] = {", name);
    for (qsizetype i = 0; i < packed.size(); ++i)
        std::fprintf(out, "%s0x%02x,", i % 16 == 0 ? "\n    " : " ", static_cast<unsigned char>(packed[i]));
    if (std::fprintf(out, "\n};\n") < 0)
        return 0;
    return static_cast<std::size_t>(packed.size());
}

} // namespace bexen::pictures
