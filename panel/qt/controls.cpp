// SPDX-License-Identifier: MIT
#include "controls.h"

#include "caption_wrap.h"
#include "picture_box_art.h"
#include "qt_description.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace bexen::panel {
namespace {

// The control's back colour, painted by the control itself rather than filled in for it: a
// control that fills its own background counts as opaque, and forty of them would cut the form's
// paint region into a hundred and fifty pieces, which the raster engine keeps a span list for.
void fillBackground(QPainter &painter, const QWidget &widget)
{
    painter.fillRect(widget.rect(), widget.palette().brush(widget.backgroundRole()));
}

void drawFocusFrame(QPainter &painter, const QWidget &widget)
{
    painter.setPen(QPen(widget.palette().color(QPalette::Text), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(widget.rect().adjusted(0, 0, -1, -1));
}

} // namespace

PanelLabel::PanelLabel(const QString &caption, Align align, bool wraps, QWidget *parent)
    : QLabel(caption, parent)
    , m_align(align)
    , m_wraps(wraps)
{
    setFocusPolicy(Qt::NoFocus);
    setWordWrap(wraps);
}

QStringList PanelLabel::shownLines() const
{
    if (!m_wraps)
        return {text()};
    const QFontMetrics metrics = fontMetrics();
    QStringList lines;
    const std::string caption = text().toStdString();
    for (const std::string &line : wrapCaption(
                 caption,
                 [&](std::string_view piece) { return metrics.horizontalAdvance(toQString(piece)); },
                 width()))
        lines << toQString(line);
    return lines;
}

void PanelLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    fillBackground(painter, *this);
    // The lines break where they break at 96 dots per inch; each is drawn in the screen's own
    // pixels, in the font fitted to them, so a caption stays in its box at any scale, as on Windows.
    const qreal ratio = devicePixelRatioF();
    painter.scale(1 / ratio, 1 / ratio);
    QFont drawn = font();
    drawn.setPixelSize(m_fittedPixels > 0 ? m_fittedPixels : qRound(drawn.pixelSize() * ratio));
    painter.setFont(drawn);
    painter.setPen(palette().color(foregroundRole()));
    const QFontMetrics metrics = painter.fontMetrics();
    const int boxWidth = qRound(width() * ratio);
    int top = 0;
    for (const QString &line : shownLines()) {
        const int x = alignedLeft(m_align, 0, boxWidth, metrics.horizontalAdvance(line));
        painter.drawText(QPoint(x, top + metrics.ascent()), line);
        top += metrics.lineSpacing();
    }
}

void SensorCheckBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    fillBackground(painter, *this);
    const QPalette &pal = palette();
    const bool greyed = checkState() == Qt::PartiallyChecked;

    // The square and its tick in the screen's own pixels, as on Windows, so that on a dense
    // screen the tick's columns stay even rather than being scaled up from 96 dots per inch.
    painter.save();
    const qreal ratio = devicePixelRatioF();
    painter.scale(1 / ratio, 1 / ratio);
    const PixelRect square = panel::tickSquare({0, 0, qRound(width() * ratio), qRound(height() * ratio)});
    const int frame = scaledLineWidth(1, qRound(kLayoutDpi * ratio));
    painter.fillRect(toQRect(square), pal.color(QPalette::Text));
    painter.fillRect(toQRect(square).adjusted(frame, frame, -frame, -frame),
                     greyed || isDown() ? pal.color(QPalette::Button) : pal.color(QPalette::Base));
    if (checkState() != Qt::Unchecked) {
        const QColor mark = greyed ? pal.color(QPalette::Dark) : pal.color(QPalette::Text);
        for (const TickCell &cell : kTickCells)
            painter.fillRect(toQRect(tickColumn(cell, square)), mark);
    }
    painter.restore();
    if (hasFocus())
        drawFocusFrame(painter, *this);
}

bool SensorCheckBox::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

PictureBox::PictureBox(Figure figure, QWidget *parent)
    : QWidget(parent)
    , m_figure(figure)
{
    setFocusPolicy(Qt::TabFocus);
}

void PictureBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    fillBackground(painter, *this);
    // The figure as painted at build time: pixel for pixel on a screen of one of the painted
    // densities; on any other the nearest is scaled smoothly to the box.
    const qreal ratio = devicePixelRatioF();
    QImage picture = prerenderedFigureImage(m_figure, nearestPrerenderedScale(qRound(ratio * 100)));
    if (picture.isNull())
        return;
    const QSize wanted = (QSizeF(size()) * ratio).toSize();
    if (picture.size() != wanted) {
        picture = picture.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        picture.setDevicePixelRatio(ratio);
    }
    painter.drawImage(QPoint(0, 0), picture);
    if (hasFocus())
        drawFocusFrame(painter, *this);
}

LightImage::LightImage(const QImage *picture, QWidget *parent)
    : QWidget(parent)
    , m_picture(picture)
{
    setFocusPolicy(Qt::NoFocus);
}

bool LightImage::setPicture(const QImage *picture)
{
    if (picture == m_picture)
        return false;
    m_picture = picture;
    update();
    return true;
}

void LightImage::paintEvent(QPaintEvent *)
{
    if (!m_picture)
        return;
    QPainter painter(this);
    // Pixel for pixel at 96 dots per inch; on a denser screen each pixel grows without blurring.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect(), *m_picture);
}

} // namespace bexen::panel
