// SPDX-License-Identifier: MIT
#include "artwork.h"
#include "window_icon.h"

#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTest>

using namespace bexen::pictures;

Q_DECLARE_METATYPE(Figure)

namespace {

const QColor kRoad(255, 255, 192);
const QColor kBlock(128, 255, 128);
// Painted round each box so that anything drawn outside it shows.
const QColor kOutside(255, 0, 255);
constexpr int kMargin = 10;

struct Bounds {
    QRect rect;
    int count = 0;
};

Bounds paintedBounds(const QImage &image, const QRect &area, const QColor &back)
{
    Bounds bounds;
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixel(x, y) == back.rgb())
                continue;
            ++bounds.count;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (bounds.count > 0)
        bounds.rect = QRect(QPoint(left, top), QPoint(right, bottom));
    return bounds;
}

// The figure at twice its natural size on its box colour, for finding its colours and where they are.
QImage largeRendering(Figure figure, const QColor &back)
{
    QSvgRenderer renderer(figureResource(figure));
    const QSize size = renderer.viewBoxF().size().toSize() * 2;
    QImage image(size, QImage::Format_RGB32);
    image.fill(back);
    QPainter painter(&image);
    paintFigure(painter, QRectF(QPointF(), QSizeF(size)), figure);
    return image;
}

int countColour(const QImage &image, const QRectF &fraction, const QColor &colour)
{
    const QRect area(qRound(fraction.x() * image.width()), qRound(fraction.y() * image.height()),
                     qRound(fraction.width() * image.width()), qRound(fraction.height() * image.height()));
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixel(x, y) == colour.rgb();
    }
    return count;
}

} // namespace

class TestArtwork : public QObject {
    Q_OBJECT

private slots:
    void resourceLoadsWithNaturalSize_data() { figureTable(); }
    void resourceLoadsWithNaturalSize();
    void fittedIntoBox_data() { figureTable(); }
    void fittedIntoBox();
    void features_data();
    void features();
    void emptyBoxOrUnknownFigurePaintsNothing();
    void painterSettingsAreKept();
    void iconPortraitOnCyan();

private:
    static void figureTable();
};

// Natural sizes are the figures' twips / 15 (4150 / 15 = 276.7, so 277); box sizes are the picture
// boxes' twips / 15 (1455 x 375 is 97 x 25). Kept in proportion, a figure takes the box's height
// or width, whichever runs out first: the coupe, 277 x 99 into 97 x 25, is 25 high and
// 277 * 25 / 99 = 69.95 wide.
void TestArtwork::figureTable()
{
    QTest::addColumn<Figure>("figure");
    QTest::addColumn<QSize>("natural");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QColor>("back");
    QTest::addColumn<QSizeF>("fitted");

    QTest::newRow("coupe") << Figure::Vehicle1 << QSize(277, 99) << QSize(97, 25) << kRoad
                           << QSizeF(69.95, 25);
    QTest::newRow("estate") << Figure::Vehicle2 << QSize(129, 333) << QSize(33, 65) << kRoad
                            << QSizeF(25.18, 65);
    QTest::newRow("tow truck") << Figure::Vehicle3 << QSize(272, 109) << QSize(81, 25) << kRoad
                               << QSizeF(62.39, 25);
    QTest::newRow("bus") << Figure::Vehicle4 << QSize(110, 281) << QSize(33, 73) << kRoad
                         << QSizeF(28.58, 73);
    QTest::newRow("man") << Figure::Man << QSize(55, 138) << QSize(25, 41) << kBlock << QSizeF(16.34, 41);
    QTest::newRow("woman with child") << Figure::WomanWithChild << QSize(79, 125) << QSize(25, 41)
                                      << kBlock << QSizeF(25, 39.56);
    QTest::newRow("woman with pram") << Figure::WomanWithPram << QSize(100, 118) << QSize(25, 41)
                                     << kBlock << QSizeF(25, 29.5);
}

void TestArtwork::resourceLoadsWithNaturalSize()
{
    QFETCH(Figure, figure);
    QFETCH(QSize, natural);

    const QString path = figureResource(figure);
    QVERIFY2(path.startsWith(QLatin1String(":/")), qPrintable(path + " is not a compiled-in resource"));
    QVERIFY2(QFile::exists(path), qPrintable(path + " is missing"));
    QSvgRenderer renderer(path);
    QVERIFY2(renderer.isValid(), qPrintable(path + " does not parse"));
    QCOMPARE(renderer.viewBoxF().size(), QSizeF(natural));
}

void TestArtwork::fittedIntoBox()
{
    QFETCH(Figure, figure);
    QFETCH(QSize, box);
    QFETCH(QColor, back);
    QFETCH(QSizeF, fitted);

    QImage image(box + QSize(2 * kMargin, 2 * kMargin), QImage::Format_RGB32);
    image.fill(kOutside);
    const QRect boxRect(QPoint(kMargin, kMargin), box);
    {
        QPainter painter(&image);
        painter.fillRect(boxRect, back);
        paintFigure(painter, boxRect, figure);
    }

    // Nothing outside the box.
    const Bounds outside = paintedBounds(image, image.rect(), kOutside);
    QVERIFY2(boxRect.contains(outside.rect),
             qPrintable(QStringLiteral("painted outside the box, up to (%1, %2)-(%3, %4)")
                            .arg(outside.rect.left()).arg(outside.rect.top())
                            .arg(outside.rect.right()).arg(outside.rect.bottom())));

    // The box colour shows where the figure does not paint, at least in the four corners.
    for (const QPoint &corner : {boxRect.topLeft(), boxRect.topRight(), boxRect.bottomLeft(), boxRect.bottomRight()}) {
        QVERIFY2(image.pixelColor(corner) == back,
                 qPrintable(QStringLiteral("corner (%1, %2) is %3")
                                .arg(corner.x()).arg(corner.y()).arg(image.pixelColor(corner).name())));
    }

    // The figure fills its fitted size, centred, allowing a pixel or two where the drawing stops
    // short of its own frame.
    const Bounds figureBounds = paintedBounds(image, boxRect, back);
    QVERIFY2(figureBounds.count > fitted.width() * fitted.height() / 5,
             qPrintable(QStringLiteral("only %1 pixels painted").arg(figureBounds.count)));
    const QRectF seen = QRectF(figureBounds.rect).translated(-kMargin, -kMargin).adjusted(0, 0, 1, 1);
    const QString where = QStringLiteral("figure covers (%1, %2) %3 x %4 of the %5 x %6 box")
                              .arg(seen.x()).arg(seen.y()).arg(seen.width()).arg(seen.height())
                              .arg(box.width()).arg(box.height());
    QVERIFY2(qAbs(seen.width() - fitted.width()) <= 3, qPrintable(where));
    QVERIFY2(qAbs(seen.height() - fitted.height()) <= 3, qPrintable(where));
    const qreal leftGap = seen.left();
    const qreal rightGap = box.width() - seen.right();
    const qreal topGap = seen.top();
    const qreal bottomGap = box.height() - seen.bottom();
    QVERIFY2(qAbs(leftGap - rightGap) <= 3, qPrintable(where));
    QVERIFY2(qAbs(topGap - bottomGap) <= 3, qPrintable(where));
}

// Each figure's own colours, and where they must or must not appear: that fixes which way it faces.
// Regions are fractions of the figure's width and height.
void TestArtwork::features_data()
{
    QTest::addColumn<Figure>("figure");
    QTest::addColumn<QColor>("back");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QRectF>("region");
    QTest::addColumn<bool>("present");

    const QRectF all(0, 0, 1, 1);
    QTest::newRow("coupe: blue body") << Figure::Vehicle1 << kRoad << QColor(0, 0, 255) << all << true;
    QTest::newRow("coupe: rear lights at the right")
        << Figure::Vehicle1 << kRoad << QColor(139, 0, 0) << QRectF(0.8, 0, 0.2, 1) << true;
    QTest::newRow("coupe: no rear lights at the front")
        << Figure::Vehicle1 << kRoad << QColor(139, 0, 0) << QRectF(0, 0, 0.8, 1) << false;

    QTest::newRow("estate: blue sides") << Figure::Vehicle2 << kRoad << QColor(0, 132, 239) << all << true;
    QTest::newRow("estate: rear lamp at the top")
        << Figure::Vehicle2 << kRoad << QColor(224, 0, 0) << QRectF(0, 0, 1, 0.1) << true;
    QTest::newRow("estate: wheels along the left edge")
        << Figure::Vehicle2 << kRoad << QColor(17, 17, 17) << QRectF(0.5, 0, 0.5, 1) << false;

    QTest::newRow("tow truck: green") << Figure::Vehicle3 << kRoad << QColor(0, 192, 0) << all << true;
    QTest::newRow("tow truck: roof lamp over the cab at the right")
        << Figure::Vehicle3 << kRoad << QColor(255, 0, 0) << QRectF(0.5, 0, 0.5, 1) << true;
    QTest::newRow("tow truck: boom reaches over the left end")
        << Figure::Vehicle3 << kRoad << QColor(74, 74, 74) << QRectF(0, 0, 0.1, 0.3) << true;

    QTest::newRow("bus: orange") << Figure::Vehicle4 << kRoad << QColor(255, 165, 66) << all << true;
    QTest::newRow("bus: narrow bonnet at the top")
        << Figure::Vehicle4 << kRoad << QColor(255, 165, 66) << QRectF(0.7, 0, 0.3, 0.12) << false;
    QTest::newRow("bus: full width at the bottom")
        << Figure::Vehicle4 << kRoad << QColor(255, 165, 66) << QRectF(0.7, 0.88, 0.3, 0.12) << true;

    QTest::newRow("man: green suit") << Figure::Man << kBlock << QColor(25, 122, 61) << all << true;
    QTest::newRow("man: dark red tie") << Figure::Man << kBlock << QColor(139, 0, 0) << all << true;
    QTest::newRow("man: briefcase on the right")
        << Figure::Man << kBlock << QColor(140, 140, 140) << QRectF(0.5, 0, 0.5, 1) << true;
    QTest::newRow("man: no briefcase on the left")
        << Figure::Man << kBlock << QColor(140, 140, 140) << QRectF(0, 0, 0.5, 1) << false;

    QTest::newRow("woman: orange dress") << Figure::WomanWithChild << kBlock << QColor(255, 102, 0) << all << true;
    QTest::newRow("woman: child in blue on the right")
        << Figure::WomanWithChild << kBlock << QColor(30, 80, 200) << QRectF(0.6, 0, 0.4, 1) << true;
    QTest::newRow("woman: no child on the left")
        << Figure::WomanWithChild << kBlock << QColor(30, 80, 200) << QRectF(0, 0, 0.5, 1) << false;
    QTest::newRow("woman: handbag on the left")
        << Figure::WomanWithChild << kBlock << QColor(139, 69, 19) << QRectF(0, 0, 0.35, 1) << true;

    QTest::newRow("pram: black silhouette") << Figure::WomanWithPram << kBlock << QColor(0, 0, 0) << all << true;
    QTest::newRow("pram: her head at the top left")
        << Figure::WomanWithPram << kBlock << QColor(0, 0, 0) << QRectF(0, 0, 0.35, 0.2) << true;
    QTest::newRow("pram: nothing above the pram at the right")
        << Figure::WomanWithPram << kBlock << QColor(0, 0, 0) << QRectF(0.62, 0, 0.38, 0.32) << false;
}

void TestArtwork::features()
{
    QFETCH(Figure, figure);
    QFETCH(QColor, back);
    QFETCH(QColor, colour);
    QFETCH(QRectF, region);
    QFETCH(bool, present);

    const QImage image = largeRendering(figure, back);
    const int count = countColour(image, region, colour);
    QVERIFY2(present ? count > 0 : count == 0,
             qPrintable(QStringLiteral("%1 pixels of %2 in the region").arg(count).arg(colour.name())));
}

void TestArtwork::emptyBoxOrUnknownFigurePaintsNothing()
{
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(kRoad);
    QPainter painter(&image);
    paintFigure(painter, QRectF(10, 10, 0, 20), Figure::Vehicle1);
    paintFigure(painter, QRectF(10, 10, 20, 0), Figure::Man);
    paintFigure(painter, QRectF(0, 0, 40, 40), static_cast<Figure>(99));
    painter.end();
    QCOMPARE(paintedBounds(image, image.rect(), kRoad).count, 0);
    QVERIFY(figureResource(static_cast<Figure>(99)).isEmpty());
}

// The junction is drawn pixel exact after the figures; smoothing one figure must not leak into it.
void TestArtwork::painterSettingsAreKept()
{
    QImage image(100, 40, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform, false);
    painter.setPen(QPen(Qt::red, 3));
    painter.setBrush(Qt::green);
    const QTransform before = painter.transform();
    paintFigure(painter, QRectF(0, 0, 97, 25), Figure::Vehicle1);
    QVERIFY(!painter.testRenderHint(QPainter::Antialiasing));
    QVERIFY(!painter.testRenderHint(QPainter::SmoothPixmapTransform));
    QCOMPARE(painter.pen(), QPen(Qt::red, 3));
    QCOMPARE(painter.brush(), QBrush(Qt::green));
    QCOMPARE(painter.transform(), before);
}

void TestArtwork::iconPortraitOnCyan()
{
    const QIcon icon = panelIcon();
    QVERIFY(!icon.isNull());
    for (const int size : {16, 24, 32, 48, 64}) {
        const QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        const QString where = QStringLiteral("at %1 px").arg(size);
        QVERIFY2(image.size() == QSize(size, size), qPrintable(where));
        // Ground: the top corners, clear of the head.
        QVERIFY2(image.pixelColor(0, 0) == QColor(0, 255, 255), qPrintable(where));
        QVERIFY2(image.pixelColor(size - 1, 0) == QColor(0, 255, 255), qPrintable(where));
        // The face in the middle and the shoulders at the bottom centre are not ground.
        QVERIFY2(image.pixelColor(size / 2, size * 3 / 8) != QColor(0, 255, 255), qPrintable(where));
        QVERIFY2(image.pixelColor(size / 2, size - 2) != QColor(0, 255, 255), qPrintable(where));
    }
}

QTEST_MAIN(TestArtwork)
#include "tst_artwork.moc"
