// SPDX-License-Identifier: MIT
// Build-time helper: renders the panel's icon artwork.
//   bexen_render_icon ICON.svg SIZE OUT.png         one PNG size, for the desktop's icon theme
//   bexen_render_icon ICON.svg --cpp OUT.cpp SIZE...  the window's own icon, as C++ source
#include "raw_picture_writer.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <optional>
#include <string>

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

QImage render(QSvgRenderer &renderer, int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
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
        table += "    {" + side + ", 100, " + side + ", " + side + ", " + name + ", "
                + std::to_string(bytes) + "},\n";
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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool source = args.size() >= 5 && args.at(2) == QLatin1String("--cpp");
    if (!source && args.size() != 4) {
        std::fprintf(stderr, "usage: bexen_render_icon ICON.svg SIZE OUT.png\n"
                             "       bexen_render_icon ICON.svg --cpp OUT.cpp SIZE...\n");
        return 2;
    }
    QSvgRenderer renderer(args.at(1));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "bexen_render_icon: %s: not a readable SVG picture\n", qPrintable(args.at(1)));
        return 1;
    }
    if (source)
        return writeSource(renderer, args.at(3), args.mid(4));

    const std::optional<int> size = parseSize(args.at(2));
    if (!size)
        return 2;
    if (!render(renderer, *size).save(args.at(3), "PNG")) {
        std::fprintf(stderr, "bexen_render_icon: %s: cannot write the PNG file\n", qPrintable(args.at(3)));
        return 1;
    }
    return 0;
}
