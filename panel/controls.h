// SPDX-License-Identifier: MIT
#pragma once

#include "form1_tables.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QStringList>
#include <QWidget>

class QFontMetrics;

namespace bexen::panel {

// Breaks a caption into the lines it stands on in a box `width` pixels wide. Lines break at
// blanks; a blank run that reaches the right edge carries its remaining blanks (less the one the
// break takes) to the start of the next line, which is how the port 150 diagram of Label5 keeps
// its columns. A word wider than the box stands alone on its line. Blanks before a break are
// dropped; the last line keeps its blanks.
QStringList wrapCaption(const QString &caption, const QFontMetrics &metrics, int width);

// A label: its caption exactly as stored, wrapped into its box, never taking the focus.
class PanelLabel final : public QLabel {
    Q_OBJECT
public:
    PanelLabel(const QString &caption, Align align, bool wraps, QWidget *parent);

    QStringList shownLines() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Align m_align;
    bool m_wraps;
};

// A car-sensor check box only 9 pixels wide: the tick square fills its width and the caption is
// kept but never seen. The box is drawn here rather than by the style, so that the square stays
// whole and clickable on the red sensor background whatever the desktop's style.
class SensorCheckBox final : public QCheckBox {
    Q_OBJECT
public:
    SensorCheckBox(const QString &caption, QWidget *parent);

    QRect tickSquare() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
};

// A picture box holding one of the fixed figures, fitted into the box over its back colour.
// A figure as painted at build time for its picture box at `scale` times 96 dots per inch, or a
// null image when there is none.
QImage prerenderedFigure(Figure figure, int scale);

class PictureBox final : public QWidget {
    Q_OBJECT
public:
    PictureBox(Figure figure, QWidget *parent);

    Figure figure() const { return m_figure; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Figure m_figure;
};

// An image element showing one light picture at its natural 12 by 29 pixels.
class LightImage final : public QWidget {
    Q_OBJECT
public:
    LightImage(const QImage *picture, QWidget *parent);

    const QImage *picture() const { return m_picture; }
    // False, and nothing repainted, when the picture is already the one shown.
    bool setPicture(const QImage *picture);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const QImage *m_picture;
};

} // namespace bexen::panel
