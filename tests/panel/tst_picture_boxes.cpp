// SPDX-License-Identifier: MIT
// The picture boxes show their figures as painted at build time: those pictures must be what the
// artwork paints into each box, at every density they are made for, and the boxes must show them.
#include "controls.h"
#include "form1.h"
#include "form1_tables.h"
#include "picture_box_art.h"
#include "pictures/artwork.h"
#include "qt_description.h"

#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QTest>

using namespace bexen::panel;
namespace pictures = bexen::pictures;

namespace {

// The largest difference in any channel between two pictures of the same size.
int largestDifference(const QImage &a, const QImage &b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

// A box's size in pixels on a screen of `scale` percent of 96 dots per inch, where a pixel is
// 1500 / scale twips: its edges are rounded, so that boxes that meet still meet.
QSize boxSize(const PictureBoxRow &row, int scale)
{
    const auto edge = [scale](int twips) { return qRound(twips * scale / 1500.0); };
    return {edge(row.at.left + row.at.width) - edge(row.at.left),
            edge(row.at.top + row.at.height) - edge(row.at.top)};
}

// The figure painted straight from its artwork onto the box's colour, at `scale` percent.
QImage paintedFromArtwork(const PictureBoxRow &row, int scale)
{
    const QSize box = boxSize(row, scale);
    QImage image(box, QImage::Format_RGB32);
    image.fill(colour(row.back, QApplication::palette()));
    QPainter painter(&image);
    pictures::paintFigure(painter, QRectF(QPointF(), QSizeF(box)), row.figure);
    return image;
}

// The build-time picture laid on the box's colour.
QImage prerenderedOnBack(const PictureBoxRow &row, int scale)
{
    QImage picture = prerenderedFigureImage(row.figure, scale);
    picture.setDevicePixelRatio(1);
    QImage image(picture.size(), QImage::Format_RGB32);
    image.fill(colour(row.back, QApplication::palette()));
    QPainter painter(&image);
    painter.drawImage(QPoint(0, 0), picture);
    return image;
}

// Antialiased edges blended once (onto the colour) or twice (onto transparency, then onto the
// colour) differ by rounding alone.
constexpr int kRounding = 3;

} // namespace

class TestPictureBoxes : public QObject {
    Q_OBJECT

private slots:
    void picturesMatchTheArtwork_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("scale");
        for (int row = 0; row < int(std::size(kPictureBoxes)); ++row) {
            for (int scale : {100, 125, 150, 200}) {
                const QByteArray name = QByteArray(kPictureBoxes[row].spoken.data(),
                                                   qsizetype(kPictureBoxes[row].spoken.size()))
                        + " at " + QByteArray::number(scale) + "%";
                QTest::newRow(name.constData()) << row << scale;
            }
        }
    }

    void picturesMatchTheArtwork()
    {
        QFETCH(int, row);
        QFETCH(int, scale);
        const PictureBoxRow &box = kPictureBoxes[row];
        const QImage picture = prerenderedFigureImage(box.figure, scale);
        QVERIFY(!picture.isNull());
        QCOMPARE(picture.size(), boxSize(box, scale));
        QCOMPARE(picture.devicePixelRatio(), scale / 100.0);

        const QImage expected = paintedFromArtwork(box, scale);
        const QImage actual = prerenderedOnBack(box, scale);
        QVERIFY2(largestDifference(expected, actual) <= kRounding,
                 qPrintable(QStringLiteral("differs by %1").arg(largestDifference(expected, actual))));
        // Not a blank picture that happens to match a blank painting.
        QVERIFY(expected != QImage(expected.size(), expected.format()));
    }

    void noPictureForAnUnknownScale()
    {
        QVERIFY(prerenderedFigureImage(pictures::Figure::Man, 300).isNull());
        QVERIFY(prerenderedFigureImage(static_cast<pictures::Figure>(99), 100).isNull());
    }

    void nearestScale_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<int>("painted");
        QTest::newRow("96 dpi") << 100 << 100;
        QTest::newRow("120 dpi") << 125 << 125;
        QTest::newRow("144 dpi") << 150 << 150;
        QTest::newRow("192 dpi") << 200 << 200;
        QTest::newRow("below the smallest") << 50 << 100;
        QTest::newRow("between 100 and 125, nearer 100") << 110 << 100;
        QTest::newRow("between 150 and 200, nearer 200") << 180 << 200;
        QTest::newRow("half way takes the smaller") << 175 << 150;
        QTest::newRow("above the largest") << 300 << 200;
    }

    void nearestScale()
    {
        QFETCH(int, screen);
        QFETCH(int, painted);
        QCOMPARE(nearestPrerenderedScale(screen), painted);
    }

    void boxesShowThePictures()
    {
        Form1 form;
        form.timer1()->stop();
        const auto boxes = form.findChildren<PictureBox *>();
        QCOMPARE(boxes.size(), qsizetype(std::size(kPictureBoxes)));
        for (const PictureBoxRow &row : kPictureBoxes) {
            PictureBox *box = nullptr;
            for (PictureBox *candidate : boxes) {
                if (candidate->figure() == row.figure)
                    box = candidate;
            }
            QVERIFY(box);
            const QImage shown = box->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QImage expected = paintedFromArtwork(row, 100);
            QCOMPARE(shown.size(), expected.size());
            QVERIFY2(largestDifference(shown, expected) <= kRounding,
                     qPrintable(box->objectName() + " does not show its figure"));
        }
    }
};

QTEST_MAIN(TestPictureBoxes)
#include "tst_picture_boxes.moc"
