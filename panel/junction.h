// SPDX-License-Identifier: MIT
#pragma once

class QPainter;
class QPalette;

namespace bexen::panel {

// The plan of the crossroads behind every control of Form1: the four corner blocks, the frames of
// the legends and the sensor zones, then the centre lines, stop lines, zebra crossings and arrows.
// `desktop` supplies the desktop's window text colour, in which the lines and frames are drawn.
void drawJunction(QPainter &painter, const QPalette &desktop);

void drawShapes(QPainter &painter, const QPalette &desktop);
void drawLines(QPainter &painter, const QPalette &desktop);

} // namespace bexen::panel
