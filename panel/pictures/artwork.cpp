// SPDX-License-Identifier: MIT
#include "artwork.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <array>
#include <memory>

namespace bexen::pictures {

namespace {

struct FigureArt {
    Figure figure;
    const char *resource;
};

constexpr std::array<FigureArt, 7> kFigures{{
    {Figure::Vehicle1, ":/bexen/pictures/coupe.svg"},
    {Figure::Vehicle2, ":/bexen/pictures/estate.svg"},
    {Figure::Vehicle3, ":/bexen/pictures/tow_truck.svg"},
    {Figure::Vehicle4, ":/bexen/pictures/bus.svg"},
    {Figure::Man, ":/bexen/pictures/man.svg"},
    {Figure::WomanWithChild, ":/bexen/pictures/woman_with_child.svg"},
    {Figure::WomanWithPram, ":/bexen/pictures/woman_with_pram.svg"},
}};

// `natural` is the artwork's viewBox, the figure's own size; the figures are all larger than their
// boxes, and a vehicle squashed to the box's shape would no longer look like one.
QRectF fittedRect(const QRectF &box, const QSizeF &natural)
{
    if (natural.isEmpty() || box.isEmpty())
        return {};
    const qreal scale = std::min(box.width() / natural.width(), box.height() / natural.height());
    QRectF fitted(QPointF(), natural * scale);
    fitted.moveCenter(box.center());
    return fitted;
}

constexpr bool figuresInEnumOrder()
{
    for (std::size_t i = 0; i < kFigures.size(); ++i) {
        if (kFigures[i].figure != static_cast<Figure>(i))
            return false;
    }
    return true;
}
static_assert(figuresInEnumOrder(), "kFigures is indexed by Figure");

// Each artwork is parsed once: a picture box repaints whenever it is uncovered.
QSvgRenderer &rendererOf(Figure figure)
{
    static std::array<std::unique_ptr<QSvgRenderer>, kFigures.size()> renderers;
    const auto index = static_cast<std::size_t>(figure);
    if (index >= renderers.size()) {
        static QSvgRenderer none;
        return none;
    }
    if (!renderers[index])
        renderers[index] = std::make_unique<QSvgRenderer>(figureResource(figure));
    return *renderers[index];
}

} // namespace

QString figureResource(Figure figure)
{
    const auto index = static_cast<std::size_t>(figure);
    return index < kFigures.size() ? QString::fromLatin1(kFigures[index].resource) : QString();
}

void paintFigure(QPainter &painter, const QRectF &box, Figure figure)
{
    QSvgRenderer &renderer = rendererOf(figure);
    if (!renderer.isValid())
        return;
    const QRectF target = fittedRect(box, renderer.viewBoxF().size());
    if (target.isEmpty())
        return;
    painter.save();
    // The junction itself is drawn pixel exact, but a figure shrunk to a fifth of its size needs
    // smoothing to stay recognisable.
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    renderer.render(&painter, target);
    painter.restore();
}

} // namespace bexen::pictures
