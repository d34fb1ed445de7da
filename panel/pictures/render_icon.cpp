// SPDX-License-Identifier: MIT
// Build-time helper: renders the panel's icon artwork.
//   bexen_render_icon ICON.svg SIZE OUT.png         one PNG size, for the desktop's icon theme
//   bexen_render_icon ICON.svg --cpp OUT.cpp SIZE...  the window's own icon, as C++ source
//   bexen_render_icon ICON.svg --ico OUT.ico          the Windows program's icon resource
#include "raw_picture_writer.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

std::optional<int> parseSize(const QString &text)
{
    bool ok = false;
    const int size = text.toInt(&ok);
    if (!ok || size < 1 || size > 4096) {
        std::fprintf(stderr, "bexen_render_icon: size '%s': not a number from 1 to 4096\n",
                     qPrintable(text));
        return std::nullopt;
    }
    return size;
}

QImage render(QSvgRenderer &renderer, int size, bool smooth = true)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, smooth);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    return image;
}

int writeSource(QSvgRenderer &renderer, const QString &path, const QStringList &sizes)
{
    std::FILE *out = std::fopen(qPrintable(path), "w");
    if (!out) {
        std::fprintf(stderr, "bexen_render_icon: %s: cannot write\n", qPrintable(path));
        return 1;
    }
    std::fprintf(out, "// Made by bexen_render_icon from the icon's artwork; not to be edited.\n"
                      "#include \"raw_picture.h\"\n\n#include <cstddef>\n#include <cstdint>\n"
                      "#include <iterator>\n\nnamespace bexen::pictures {\nnamespace {\n\n");
    std::string table;
    for (const QString &text : sizes) {
        const std::optional<int> size = parseSize(text);
        if (!size) {
            std::fclose(out);
            return 2;
        }
        const std::string name = "kIcon" + std::to_string(*size);
        const std::size_t bytes = bexen::pictures::writeRawPixels(out, name.c_str(), render(renderer, *size));
        const std::string side = std::to_string(*size);
        table.append("    {").append(side).append(", 100, ").append(side).append(", ").append(side);
        table.append(", ").append(name).append(", ").append(std::to_string(bytes)).append("},\n");
    }
    std::fprintf(out, "\n} // namespace\n\nextern const RawPicture kWindowIcons[] = {\n%s};\n"
                      "extern const std::size_t kWindowIconCount = std::size(kWindowIcons);\n\n"
                      "} // namespace bexen::pictures\n",
                 table.c_str());
    if (std::fclose(out) != 0) {
        std::fprintf(stderr, "bexen_render_icon: %s: cannot write\n", qPrintable(path));
        return 1;
    }
    return 0;
}

// The Windows icon file: the sizes Explorer and the title bar ask for at 96 to 192 dots per inch.
// The 32-pixel image is a 256-colour palette with a one-bit transparency mask, the form every
// Windows version reads; 16 and 48 are 32-bit with alpha (and the mask for old readers); 256 is
// stored as PNG, as Windows expects of its largest icon.
enum class IcoForm { Palette8, Colour32, Png };

struct IcoImage {
    int size;
    IcoForm form;
};

constexpr IcoImage kIcoImages[] = {
    {16, IcoForm::Colour32},
    {32, IcoForm::Palette8},
    {48, IcoForm::Colour32},
    {256, IcoForm::Png},
};

void putLe(QByteArray &out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xff));
}

int rowBytes(int width, int bitsPerPixel)
{
    return ((width * bitsPerPixel + 31) / 32) * 4;
}

// A pixel at least half covered counts as part of the picture.
bool transparent(QRgb pixel)
{
    return qAlpha(pixel) < 128;
}

// The palette is made from the opaque picture; the mask carries the transparency.
QImage paletted(const QImage &argb)
{
    QImage opaque(argb.size(), QImage::Format_RGB32);
    opaque.fill(Qt::black);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, argb);
    painter.end();
    return opaque.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
}

// The AND mask, bottom-up, one bit a pixel: 1 where the picture is transparent.
void putMask(QByteArray &out, const QImage &straight)
{
    const int side = straight.width();
    for (int y = side - 1; y >= 0; --y) {
        QByteArray row(rowBytes(side, 1), '\0');
        for (int x = 0; x < side; ++x) {
            if (transparent(straight.pixel(x, y)))
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        }
        out.append(row);
    }
}

// A DIB as an icon holds it: the header with twice the height (colour rows, then the mask's),
// the palette if any, the colour rows bottom-up, then the AND mask bottom-up.
QByteArray iconDib(const QImage &argb, IcoForm form)
{
    const int side = argb.width();
    const int bits = form == IcoForm::Palette8 ? 8 : 32;
    const QImage indexed = form == IcoForm::Palette8 ? paletted(argb) : QImage();
    QByteArray out;
    putLe(out, 40, 4);
    putLe(out, static_cast<std::uint32_t>(side), 4);
    putLe(out, static_cast<std::uint32_t>(2 * side), 4);
    putLe(out, 1, 2);
    putLe(out, static_cast<std::uint32_t>(bits), 2);
    putLe(out, 0, 4); // BI_RGB
    putLe(out, static_cast<std::uint32_t>((rowBytes(side, bits) + rowBytes(side, 1)) * side), 4);
    putLe(out, 0, 4);
    putLe(out, 0, 4);
    putLe(out, form == IcoForm::Palette8 ? 256 : 0, 4);
    putLe(out, 0, 4);
    if (form == IcoForm::Palette8) {
        const QList<QRgb> table = indexed.colorTable();
        for (int i = 0; i < 256; ++i) {
            const QRgb c = i < table.size() ? table[i] : qRgb(0, 0, 0);
            out.append(static_cast<char>(qBlue(c)));
            out.append(static_cast<char>(qGreen(c)));
            out.append(static_cast<char>(qRed(c)));
            out.append('\0');
        }
    }
    const QImage straight = argb.convertToFormat(QImage::Format_ARGB32);
    for (int y = side - 1; y >= 0; --y) {
        QByteArray row;
        for (int x = 0; x < side; ++x) {
            const QRgb p = straight.pixel(x, y);
            if (form == IcoForm::Palette8) {
                row.append(static_cast<char>(indexed.pixelIndex(x, y)));
            } else {
                row.append(static_cast<char>(qBlue(p)));
                row.append(static_cast<char>(qGreen(p)));
                row.append(static_cast<char>(qRed(p)));
                row.append(static_cast<char>(qAlpha(p)));
            }
        }
        row.append(QByteArray(rowBytes(side, bits) - row.size(), '\0'));
        out.append(row);
    }
    putMask(out, straight);
    return out;
}

QByteArray iconPng(const QImage &argb)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    argb.save(&buffer, "PNG");
    return png;
}

int writeIco(QSvgRenderer &renderer, const QString &path)
{
    std::vector<QByteArray> images;
    for (const IcoImage &entry : kIcoImages) {
        // Unsmoothed, the palette image keeps few enough colours to hold each one exactly.
        const QImage argb = render(renderer, entry.size, entry.form != IcoForm::Palette8);
        images.push_back(entry.form == IcoForm::Png ? iconPng(argb) : iconDib(argb, entry.form));
    }
    QByteArray out;
    putLe(out, 0, 2);
    putLe(out, 1, 2); // an icon, not a cursor
    putLe(out, static_cast<std::uint32_t>(images.size()), 2);
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const IcoImage &entry = kIcoImages[i];
        out.append(static_cast<char>(entry.size & 0xff)); // 256 is written as 0
        out.append(static_cast<char>(entry.size & 0xff));
        out.append('\0'); // colour count: 0 for 256 colours and more
        out.append('\0');
        putLe(out, 1, 2);
        putLe(out, entry.form == IcoForm::Palette8 ? 8 : 32, 2);
        putLe(out, static_cast<std::uint32_t>(images[i].size()), 4);
        putLe(out, offset, 4);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const QByteArray &image : images)
        out.append(image);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.flush()) {
        std::fprintf(stderr, "bexen_render_icon: %s: cannot write\n", qPrintable(path));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool source = args.size() >= 5 && args.at(2) == QLatin1String("--cpp");
    const bool ico = args.size() == 4 && args.at(2) == QLatin1String("--ico");
    if (!source && args.size() != 4) {
        std::fprintf(stderr, "usage: bexen_render_icon ICON.svg SIZE OUT.png\n"
                             "       bexen_render_icon ICON.svg --cpp OUT.cpp SIZE...\n"
                             "       bexen_render_icon ICON.svg --ico OUT.ico\n");
        return 2;
    }
    QSvgRenderer renderer(args.at(1));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "bexen_render_icon: %s: not a readable SVG picture\n", qPrintable(args.at(1)));
        return 1;
    }
    if (source)
        return writeSource(renderer, args.at(3), args.mid(4));
    if (ico)
        return writeIco(renderer, args.at(3));

    const std::optional<int> size = parseSize(args.at(2));
    if (!size)
        return 2;
    if (!render(renderer, *size).save(args.at(3), "PNG")) {
        std::fprintf(stderr, "bexen_render_icon: %s: cannot write the PNG file\n", qPrintable(args.at(3)));
        return 1;
    }
    return 0;
}
