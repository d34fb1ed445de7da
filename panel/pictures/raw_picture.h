// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace bexen::pictures {

// A picture painted at build time and compiled in as its pixels (premultiplied ARGB, 32 bits a
// pixel, row by row), compressed with zlib: a few kilobytes of the program each, and no picture
// decoder to load. Only the pictures a screen asks for are ever expanded.
struct RawPicture {
    int key; // what the picture is of; the table that holds it says what the number means
    int scale; // device pixel ratio it was painted for
    int width;
    int height;
    const unsigned char *data; // qCompress's form: the expanded length, then the zlib stream
    std::size_t size;

    QImage image() const
    {
        const QByteArray pixels = qUncompress(data, static_cast<qsizetype>(size));
        if (pixels.size() != qsizetype(width) * height * 4)
            return {};
        QImage picture = QImage(reinterpret_cast<const uchar *>(pixels.constData()), width, height,
                                width * 4, QImage::Format_ARGB32_Premultiplied)
                                 .copy(); // its own pixels, not the expanded buffer's
        picture.setDevicePixelRatio(scale);
        return picture;
    }
};

// For the build-time painters: writes `image`'s pixels, compressed, as a C++ array named `name`,
// and returns its length in bytes (0 when it could not be written).
inline std::size_t writeRawPixels(std::FILE *out, const char *name, const QImage &image)
{
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QByteArray rows;
    for (int y = 0; y < pixels.height(); ++y)
        rows.append(reinterpret_cast<const char *>(pixels.constScanLine(y)), pixels.width() * 4);
    const QByteArray packed = qCompress(rows, 9);
    std::fprintf(out, "constexpr unsigned char %s[] = {", name);
    for (qsizetype i = 0; i < packed.size(); ++i)
        std::fprintf(out, "%s0x%02x,", i % 16 == 0 ? "\n    " : " ", static_cast<unsigned char>(packed[i]));
    if (std::fprintf(out, "\n};\n") < 0)
        return 0;
    return static_cast<std::size_t>(packed.size());
}

} // namespace bexen::pictures
