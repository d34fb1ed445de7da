#pragma once

#include <QIcon>
#include <QRectF>
#include <QString>

class QPainter;

namespace bexen::pictures {

// The decorative figures of the picture boxes, drawn from vector artwork compiled into the program.
enum class Figure {
    Vehicle1, // Picture1(0): light 1's car, heading west
    Vehicle2, // Picture1(1): light 2's car, heading south
    Vehicle3, // Picture1(2): light 3's tow truck, heading east
    Vehicle4, // Picture1(3): light 4's bus, heading north
    Man, // Picture2: man with a briefcase
    WomanWithChild, // Picture3
    WomanWithPram, // Picture4
};

// The Qt resource path of a figure's artwork.
QString figureResource(Figure figure);

// Paints the figure into `box`, as large as fits with its own proportions kept, centred. Paints
// nothing outside the figure, so the box's back colour shows around it.
void paintFigure(QPainter &painter, const QRectF &box, Figure figure);

// The panel's window and application icon.
QIcon panelIcon();

} // namespace bexen::pictures
