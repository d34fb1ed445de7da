// SPDX-License-Identifier: MIT
#include "form1.h"

#include "junction.h"
#include "pictures/light_pictures.h"
#include "qt_description.h"
#include "spoken_names.h"
#include "tick_path.h"
#include "window_icon.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>

namespace bexen::panel {
namespace {

// The controls' names as the designer gave them: an array's name and the element's index
// ("Check1[2]"), or a lone control's name ("Check2").
QString nameOf(const CheckBoxRow &row)
{
    return row.role == CheckRole::Sensor ? QStringLiteral("Check1[%1]").arg(row.index) : QStringLiteral("Check2");
}

QString nameOf(const ImageRow &row)
{
    return QStringLiteral("%1[%2]").arg(row.role == ImageRole::Legend ? "Image11" : "Image18").arg(row.index);
}

// Picture1(0) to Picture1(3) hold the vehicles of lights 1 to 4; Picture2 to Picture4 the pedestrians.
QString nameOf(Figure figure)
{
    static_assert(static_cast<int>(Figure::Vehicle4) == 3 && static_cast<int>(Figure::Man) == 4);
    const int n = static_cast<int>(figure);
    return n <= 3 ? QStringLiteral("Picture1[%1]").arg(n) : QStringLiteral("Picture%1").arg(n - 2);
}

QColor shade(Colour which)
{
    return colour(which, QApplication::palette());
}

// Where `row` of `rows`, the table `table`, stands in the tab order.
template <typename Row, std::size_t N>
std::size_t tabPositionOf(Table table, const Row (&rows)[N], const Row &row)
{
    return tabPosition({table, static_cast<std::size_t>(&row - rows)});
}

void paintWith(QWidget &widget, QPalette::ColorRole role, const QColor &value)
{
    QPalette palette = widget.palette();
    palette.setColor(role, value);
    widget.setPalette(palette);
}

// A kind of label's font at a size of `pixels`, made from the form's as Windows makes it.
QFont labelFont(QFont font, LabelFont kind, int pixels)
{
    font.setPixelSize(pixels);
    font.setBold(kind == LabelFont::BoldNumber);
    font.setUnderline(kind == LabelFont::Underlined);
    return font;
}

// What an image says, to a screen reader and in its tooltip.
void describe(LightImage &image, const std::string &name)
{
    const QString words = toQString(name);
    image.setAccessibleName(words);
    image.setToolTip(words);
}

CheckValue checkValueOf(Qt::CheckState state)
{
    switch (state) {
    case Qt::Unchecked:
        break;
    case Qt::Checked:
        return CheckValue::Ticked;
    case Qt::PartiallyChecked:
        return CheckValue::Greyed;
    }
    return CheckValue::Cleared;
}

} // namespace

QFont formFont()
{
    // The nearest metric-compatible sans serifs stand in for "MS Sans Serif", which Linux lacks.
    static const bool registered = [] {
        QFont::insertSubstitutions(toQString(kFormFontFamily),
                                   {QStringLiteral("Microsoft Sans Serif"),
                                    QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                    QStringLiteral("Arial")});
        return true;
    }();
    Q_UNUSED(registered);
    QFont font(toQString(kFormFontFamily));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kFormFontPixels);
    return font;
}

Form1::Form1(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(toQString(kFormCaption));
    setWindowIcon(pictures::panelIcon());
    setFixedSize(toPixels(kFormWidthTwips), toPixels(kFormHeightTwips));
    setAutoFillBackground(true);
    paintWith(*this, QPalette::Window, shade(Colour::LightYellow));

    setFont(formFont());

    // Later children lie above earlier ones: the labels and images first, then the picture, check
    // and text boxes, which lie above them where they meet (Picture2 covers a corner of Image18(1)).
    buildLabels();
    buildImages();
    buildPictureBoxes();
    buildCheckBoxes();
    buildTextBoxes();
    chainTabOrder();

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(kTimer1IntervalMs);
    connect(m_timer1, &QTimer::timeout, this, &Form1::timer1Tick);
    m_timer1->start();
}

void Form1::buildTextBoxes()
{
    for (const TextBoxRow &row : kTextBoxes) {
        auto *box = new QLineEdit(toQString(row.initialText), this);
        box->setObjectName(QStringLiteral("Text%1").arg(static_cast<int>(row.box) + 1));
        box->setGeometry(toQRect(row.at.toPixels()));
        box->setAlignment(Qt::AlignCenter);
        box->setAccessibleName(toQString(row.spoken));
        paintWith(*box, QPalette::Base, shade(row.back));
        paintWith(*box, QPalette::Text, shade(row.fore));
        m_texts.at(static_cast<std::size_t>(row.box)) = box;
        // Typed by the user, or set by anything but the tick (an accessibility tool, say).
        connect(box, &QLineEdit::textChanged, this, [this, which = row.box](const QString &now) {
            m_tick.textChanged(which, now.toStdString());
        });
        m_tabStops.at(tabPositionOf(Table::TextBoxes, kTextBoxes, row)) = box;
    }
}

void Form1::buildCheckBoxes()
{
    for (const CheckBoxRow &row : kCheckBoxes) {
        auto *box = new SensorCheckBox(toQString(row.caption), this);
        box->setObjectName(nameOf(row));
        box->setGeometry(toQRect(row.rect().toPixels()));
        box->setBackgroundRole(QPalette::Window);
        paintWith(*box, QPalette::Window, shade(row.back));
        paintWith(*box, QPalette::WindowText, shade(row.fore));
        paintWith(*box, QPalette::ButtonText, shade(row.fore));
        box->setAccessibleName(toQString(checkBoxName(row)));
        if (row.role == CheckRole::LegendSample) {
            m_check2 = box;
        } else {
            m_check1.at(static_cast<std::size_t>(row.index)) = box;
            // The tick reads the sensors from here, beside its own members, rather than from
            // four check boxes scattered over the heap. Every way a box changes (a click, the
            // keyboard, an accessibility tool, setCheckState) passes through stateChanged.
            connect(box, &QCheckBox::stateChanged, this, [this, index = row.index](int state) {
                m_check1Values.at(static_cast<std::size_t>(index)) = checkValueOf(Qt::CheckState(state));
            });
        }
        m_tabStops.at(tabPositionOf(Table::CheckBoxes, kCheckBoxes, row)) = box;
    }
}

void Form1::buildPictureBoxes()
{
    for (const PictureBoxRow &row : kPictureBoxes) {
        auto *box = new PictureBox(row.figure, this);
        box->setObjectName(nameOf(row.figure));
        box->setAccessibleName(toQString(row.spoken));
        box->setGeometry(toQRect(row.at.toPixels()));
        paintWith(*box, QPalette::Window, shade(row.back));
        m_tabStops.at(tabPositionOf(Table::PictureBoxes, kPictureBoxes, row)) = box;
    }
}

void Form1::buildImages()
{
    for (const ImageRow &row : kImages) {
        const bool legend = row.role == ImageRole::Legend;
        const auto index = static_cast<std::size_t>(row.index);
        auto *image = new LightImage(legend ? &lightImage(row.index) : &blankLightImage(), this);
        image->setObjectName(nameOf(row));
        image->setGeometry(toQRect(row.rect().toPixels()));
        if (legend)
            m_image11.at(index) = image;
        else
            m_image18.at(index) = image;
        describe(*image, imageName(row));
    }
}

void Form1::buildLabels()
{
    // Each kind of label's font fitted to this screen's pixels by the rule Windows follows.
    const int dpi = qRound(kLayoutDpi * devicePixelRatioF());
    std::array<int, 3> fittedPixels{};
    for (const LabelFont kind : {LabelFont::Default, LabelFont::BoldNumber, LabelFont::Underlined}) {
        const QImage onePixelPerPixel(1, 1, QImage::Format_RGB32);
        const auto widthIn = [&](int pixels, std::string_view text) {
            return QFontMetrics(labelFont(font(), kind, pixels), &onePixelPerPixel)
                    .horizontalAdvance(toQString(text));
        };
        fittedPixels.at(static_cast<std::size_t>(kind)) =
                fittedFontPixels(hundredthsOf(kind), dpi, captionsIn(kind), widthIn);
    }
    for (const LabelRow &row : kLabels) {
        auto *label = new PanelLabel(toQString(row.caption), row.align, row.wraps, this);
        label->setObjectName(QStringLiteral("Label%1").arg(row.number));
        label->setGeometry(toQRect(row.at.toPixels()));
        label->setBackgroundRole(QPalette::Window);
        label->setForegroundRole(QPalette::WindowText);
        paintWith(*label, QPalette::Window, shade(row.back));
        paintWith(*label, QPalette::WindowText, shade(row.fore));
        label->setFont(labelFont(label->font(), row.font, fontPixels(hundredthsOf(row.font))));
        label->setFittedPixels(fittedPixels.at(static_cast<std::size_t>(row.font)));
        m_labels.at(static_cast<std::size_t>(row.number - 1)) = label;
    }
}

void Form1::chainTabOrder()
{
    for (std::size_t i = 1; i < m_tabStops.size(); ++i)
        QWidget::setTabOrder(m_tabStops[i - 1], m_tabStops[i]);
}

void Form1::showText(poll::TextBox box, std::string_view text)
{
    QLineEdit *edit = m_texts.at(static_cast<std::size_t>(box));
    const QString wanted = toQString(text);
    if (edit->text() != wanted)
        edit->setText(wanted);
}

BEXEN_TICK_PATH CheckValue Form1::checkValue(int check1Index) const
{
    return m_check1Values.at(static_cast<std::size_t>(check1Index));
}

void Form1::showLightPicture(int image18Index, int value)
{
    // The legend image's own picture: one picture per value, shared by the legend and the lights.
    const QImage *legend = image11(value)->picture();
    if (image18(image18Index)->setPicture(legend))
        describe(*image18(image18Index), lightName(image18Index, value));
}

QLineEdit *Form1::text(poll::TextBox box) const
{
    return m_texts.at(static_cast<std::size_t>(box));
}

SensorCheckBox *Form1::check1(int index) const
{
    return m_check1.at(static_cast<std::size_t>(index));
}

LightImage *Form1::image18(int index) const
{
    return m_image18.at(static_cast<std::size_t>(index));
}

LightImage *Form1::image11(int index) const
{
    return m_image11.at(static_cast<std::size_t>(index));
}

PanelLabel *Form1::label(int number) const
{
    return m_labels.at(static_cast<std::size_t>(number - 1));
}

BEXEN_TICK_PATH void Form1::timer1Tick()
{
    m_tick.run();
}

void Form1::paintEvent(QPaintEvent *)
{
    // The plan of the crossroads, pixel exact: every part of it is a filled rectangle, laid out
    // for the screen's own pixels rather than scaled up from 96 dots per inch, so a slanting
    // arrow head stays one even stroke on a dense screen, as on Windows.
    QPainter painter(this);
    const QPalette &desktop = QApplication::palette();
    const qreal ratio = devicePixelRatioF();
    const int dpi = qRound(kLayoutDpi * ratio);
    if (dpi != m_junctionDpi) {
        m_junction = junctionFills(dpi);
        m_junctionDpi = dpi;
    }
    painter.scale(1 / ratio, 1 / ratio);
    for (const Fill &fill : m_junction)
        painter.fillRect(toQRect(fill.rect), colour(fill.colour, desktop));
}

} // namespace bexen::panel
