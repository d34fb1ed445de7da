// SPDX-License-Identifier: MIT
#include "controls.h"

#include "picture_box_art.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <utility>

namespace bexen::panel {
namespace {

constexpr QChar kBlank = QLatin1Char(' ');

QString withoutTrailingBlanks(QString line)
{
    while (line.endsWith(kBlank))
        line.chop(1);
    return line;
}

bool onlyBlanks(const QString &line)
{
    return std::all_of(line.cbegin(), line.cend(), [](QChar c) { return c == kBlank; });
}

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

QStringList wrapCaption(const QString &caption, const QFontMetrics &metrics, int width)
{
    QStringList lines;
    QString line;
    const auto fits = [&](const QString &candidate) {
        return metrics.horizontalAdvance(candidate) <= width;
    };
    const auto breakLine = [&] {
        lines << withoutTrailingBlanks(line);
        line.clear();
    };

    qsizetype i = 0;
    const qsizetype n = caption.size();
    while (i < n) {
        if (caption[i] == kBlank) {
            if (fits(line + kBlank))
                line += kBlank;
            else if (!line.isEmpty())
                breakLine(); // the break takes the place of this blank
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < n && caption[end] != kBlank)
            ++end;
        const QString word = caption.mid(i, end - i);
        if (!fits(line + word)) {
            if (onlyBlanks(line))
                line.clear(); // an indent too deep for the word: the word starts the line
            else
                breakLine();
        }
        line += word;
        i = end;
    }
    lines << line;
    return lines;
}

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
    return m_wraps ? wrapCaption(text(), fontMetrics(), width()) : QStringList{text()};
}

void PanelLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    fillBackground(painter, *this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    const QFontMetrics metrics = fontMetrics();
    int top = 0;
    for (const QString &line : shownLines()) {
        const int advance = metrics.horizontalAdvance(line);
        int x = 0;
        if (m_align == Align::Right)
            x = width() - advance;
        else if (m_align == Align::Centre)
            x = (width() - advance) / 2;
        painter.drawText(QPoint(x, top + metrics.ascent()), line);
        top += metrics.lineSpacing();
    }
}

SensorCheckBox::SensorCheckBox(const QString &caption, QWidget *parent)
    : QCheckBox(caption, parent)
{
}

QRect SensorCheckBox::tickSquare() const
{
    const int side = std::min(width(), height());
    return {(width() - side) / 2, (height() - side) / 2, side, side};
}

void SensorCheckBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    fillBackground(painter, *this);
    const QRect square = tickSquare();
    const QPalette &pal = palette();
    const bool greyed = checkState() == Qt::PartiallyChecked;

    painter.fillRect(square, pal.color(QPalette::Text));
    painter.fillRect(square.adjusted(1, 1, -1, -1),
                     greyed || isDown() ? pal.color(QPalette::Button) : pal.color(QPalette::Base));

    if (checkState() != Qt::Unchecked) {
        // A two-pixel tick, drawn pixel for pixel so that it reads even in a 7-pixel square.
        painter.setPen(greyed ? pal.color(QPalette::Dark) : pal.color(QPalette::Text));
        const int x = square.left();
        const int y = square.top();
        for (int dy : {0, 1}) {
            painter.drawLine(x + 2, y + 3 + dy, x + 3, y + 4 + dy);
            painter.drawLine(x + 4, y + 3 + dy, x + 6, y + 1 + dy);
        }
    }
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

QImage prerenderedFigure(Figure figure, int scale)
{
    // Expanded once each, when a box is first shown: a box repaints whenever it is uncovered.
    static std::map<std::pair<Figure, int>, QImage> expanded;
    const auto key = std::make_pair(figure, scale);
    if (const auto found = expanded.find(key); found != expanded.end())
        return found->second;
    for (std::size_t i = 0; i < kPrerenderedFigureCount; ++i) {
        const pictures::RawPicture &picture = kPrerenderedFigures[i];
        if (picture.key == static_cast<int>(figure) && picture.scale == scale)
            return expanded.emplace(key, picture.image()).first->second;
    }
    return {};
}

void PictureBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    fillBackground(painter, *this);
    // The figure as painted at build time: pixel for pixel on a screen of one of the painted scales; on any other the nearest larger
    // picture is scaled down smoothly.
    const qreal ratio = devicePixelRatioF();
    const int scale = std::clamp(int(std::ceil(ratio - 0.01)), kPrerenderedScales[0],
                                 std::end(kPrerenderedScales)[-1]);
    QImage picture = prerenderedFigure(m_figure, scale);
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
