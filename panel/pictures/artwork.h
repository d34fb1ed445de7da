// SPDX-License-Identifier: MIT
#pragma once

#include "figure.h"

#include <QRectF>
#include <QString>

class QPainter;

// The figures' vector artwork, compiled in as resources. The panel itself shows the figures as
// painted from it at build time; this is for the painters that run then, and for tests.
namespace bexen::pictures {

// The Qt resource path of a figure's artwork.
QString figureResource(Figure figure);

// Paints the figure into `box`, as large as fits with its own proportions kept, centred. Paints
// nothing outside the figure, so the box's back colour shows around it.
void paintFigure(QPainter &painter, const QRectF &box, Figure figure);

} // namespace bexen::pictures
