// SPDX-License-Identifier: MIT
#pragma once

#include "check_box.h"
#include "form1_tables.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QStringList>
#include <QWidget>

namespace bexen::panel {

// A label: its caption exactly as stored, wrapped into its box, never taking the focus.
class PanelLabel final : public QLabel {
    Q_OBJECT
public:
    PanelLabel(const QString &caption, Align align, bool wraps, QWidget *parent);

    QStringList shownLines() const;
    // The size, in the screen's own pixels, of the font the caption is drawn in.
    void setFittedPixels(int pixels) { m_fittedPixels = pixels; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Align m_align;
    bool m_wraps;
    int m_fittedPixels = 0;
};

// A car-sensor check box only 9 pixels wide: the tick square fills its width and the caption is
// kept but never seen. The box is drawn here rather than by the style, so that the square stays
// whole and clickable on the red sensor background whatever the desktop's style.
class SensorCheckBox final : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
};

// A picture box holding one of the fixed figures, fitted into the box over its back colour.
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
