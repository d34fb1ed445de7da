// Build-time helper: renders the panel's icon artwork into the PNG sizes that desktops install.
//   bexen_render_icon <icon.svg> <size> <out.png>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: bexen_render_icon ICON.svg SIZE OUT.png\n");
        return 2;
    }
    bool sizeOk = false;
    const int size = args.at(2).toInt(&sizeOk);
    if (!sizeOk || size < 1 || size > 4096) {
        std::fprintf(stderr, "bexen_render_icon: size '%s': not a number from 1 to 4096\n",
                     qPrintable(args.at(2)));
        return 2;
    }
    QSvgRenderer renderer(args.at(1));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "bexen_render_icon: %s: not a readable SVG picture\n", qPrintable(args.at(1)));
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    if (!image.save(args.at(3), "PNG")) {
        std::fprintf(stderr, "bexen_render_icon: %s: cannot write the PNG file\n", qPrintable(args.at(3)));
        return 1;
    }
    return 0;
}
