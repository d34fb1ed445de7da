// SPDX-License-Identifier: MIT
// The picture boxes show their figures as painted at build time: those pictures must be what the
// artwork paints into each box, at both scales, and the boxes must show them.
#include "colours.h"
#include "controls.h"
#include "form1.h"
#include "form1_tables.h"
#include "pictures/artwork.h"
#include "twips.h"

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

// The figure painted straight from its artwork onto the box's colour, at `scale`.
QImage paintedFromArtwork(const PictureBoxRow &row, int scale)
{
    const QSize box = row.at.toPixels().size();
    QImage image(box * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(colour(row.back, QApplication::palette()));
    QPainter painter(&image);
    pictures::paintFigure(painter, QRectF(QPointF(), QSizeF(box)), row.figure);
    return image;
}

// The build-time picture laid on the box's colour.
QImage prerenderedOnBack(const PictureBoxRow &row, int scale)
{
    const QImage picture = prerenderedFigure(row.figure, scale);
    QImage image(picture.size(), QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
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
            for (int scale : {1, 2}) {
                const QByteArray name = QByteArray(kPictureBoxes[row].spoken.data(),
                                                   qsizetype(kPictureBoxes[row].spoken.size()))
                        + " at " + QByteArray::number(scale) + "x";
                QTest::newRow(name.constData()) << row << scale;
            }
        }
    }

    void picturesMatchTheArtwork()
    {
        QFETCH(int, row);
        QFETCH(int, scale);
        const PictureBoxRow &box = kPictureBoxes[row];
        const QImage picture = prerenderedFigure(box.figure, scale);
        QVERIFY(!picture.isNull());
        QCOMPARE(picture.size(), box.at.toPixels().size() * scale);
        QCOMPARE(picture.devicePixelRatio(), qreal(scale));

        const QImage expected = paintedFromArtwork(box, scale);
        const QImage actual = prerenderedOnBack(box, scale);
        QVERIFY2(largestDifference(expected, actual) <= kRounding,
                 qPrintable(QStringLiteral("differs by %1").arg(largestDifference(expected, actual))));
        // Not a blank picture that happens to match a blank painting.
        QVERIFY(expected != QImage(expected.size(), expected.format()));
    }

    void noPictureForAnUnknownScale()
    {
        QVERIFY(prerenderedFigure(pictures::Figure::Man, 3).isNull());
        QVERIFY(prerenderedFigure(static_cast<pictures::Figure>(99), 1).isNull());
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
            const QImage expected = paintedFromArtwork(row, 1);
            QCOMPARE(shown.size(), expected.size());
            QVERIFY2(largestDifference(shown, expected) <= kRounding,
                     qPrintable(box->objectName() + " does not show its figure"));
        }
    }
};

QTEST_MAIN(TestPictureBoxes)
#include "tst_picture_boxes.moc"
