// SPDX-License-Identifier: MIT
// Build-time helper: paints every picture box's figure at the sizes the panel shows it, at each
// screen density the panel's figures are made for, and writes the pixels as C++ source, so the
// running panel neither parses nor renders its vector artwork.
//   bexen_render_boxes OUT.cpp
#include "form1_tables.h"
#include "picture_box_art.h"
#include "pictures/artwork.h"
#include "pictures/raw_picture_writer.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <string>

using namespace bexen::panel;
namespace pictures = bexen::pictures;

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: bexen_render_boxes OUT.cpp\n");
        return 2;
    }
    std::FILE *out = std::fopen(qPrintable(args.at(1)), "w");
    if (!out) {
        std::fprintf(stderr, "bexen_render_boxes: %s: cannot write\n", qPrintable(args.at(1)));
        return 1;
    }
    std::fprintf(out, "// Made by bexen_render_boxes from the figures' artwork; not to be edited.\n"
                      "#include \"picture_box_art.h\"\n\n#include <cstdint>\n\n"
                      "namespace bexen::panel {\nnamespace {\n\n");
    std::string table;
    for (const int scale : kPrerenderedScales) {
        for (const PictureBoxRow &row : kPictureBoxes) {
            // The box as the layout makes it at this density, and the figure fitted to it.
            const PixelRect at = row.at.toPixels(kLayoutDpi * scale / 100);
            QImage image(at.width, at.height, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            pictures::paintFigure(painter, QRectF(0, 0, at.width, at.height), row.figure);
            painter.end();

            const int figure = static_cast<int>(row.figure);
            const std::string name = "kFigure" + std::to_string(figure) + "At" + std::to_string(scale);
            const std::size_t bytes = pictures::writeRawPixels(out, name.c_str(), image);
            table += "    {" + std::to_string(figure) + ", " + std::to_string(scale) + ", "
                    + std::to_string(image.width()) + ", " + std::to_string(image.height()) + ", "
                    + name + ", " + std::to_string(bytes) + "},\n";
        }
    }
    std::fprintf(out, "\n} // namespace\n\nconst pictures::RawPicture kPrerenderedFigures[] = {\n%s};\n"
                      "const std::size_t kPrerenderedFigureCount = std::size(kPrerenderedFigures);\n\n"
                      "} // namespace bexen::panel\n",
                 table.c_str());
    if (std::fclose(out) != 0) {
        std::fprintf(stderr, "bexen_render_boxes: %s: cannot write\n", qPrintable(args.at(1)));
        return 1;
    }
    return 0;
}
