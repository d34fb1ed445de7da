// SPDX-License-Identifier: MIT
#include "form1.h"
#include "panel_test_support.h"

#include <QTimer>

using bexen::panel::Form1;

// The plan of the crossroads as the window shows it, checked at chosen pixels of a grab. The
// positions are the drawing's twips divided by 15, worked out by hand.
class TestJunction : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PrivatePortDir> m_ports;
    QImage m_shot;

private slots:
    void initTestCase()
    {
        m_ports = std::make_unique<PrivatePortDir>();
        QVERIFY(m_ports->isValid());
        Form1 form;
        form.timer1()->stop();
        m_shot = form.grab().toImage();
        QCOMPARE(m_shot.size(), QSize(410, 416));
    }

    void pixels_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QColor>("expected");

        const QColor road(255, 255, 192);
        const QColor block(128, 255, 128);
        const QColor kerb(0, 128, 0);
        const QColor ink = QApplication::palette().color(QPalette::Text);

        // Shape4, the north-west block: (16, 24), 153 by 97, a 3-pixel kerb inside its rectangle.
        QTest::newRow("block fill") << QPoint(40, 80) << block;
        QTest::newRow("block kerb, outer column") << QPoint(16, 80) << kerb;
        QTest::newRow("block kerb, inner column") << QPoint(18, 80) << kerb;
        QTest::newRow("inside the kerb") << QPoint(19, 80) << block;
        QTest::newRow("road left of the block") << QPoint(15, 80) << road;
        QTest::newRow("block kerb, bottom row") << QPoint(40, 120) << kerb;
        QTest::newRow("road below the block") << QPoint(40, 121) << road;
        // Shape2, the north-east block: top kerb rows 24 to 26.
        QTest::newRow("north-east kerb top") << QPoint(360, 24) << kerb;
        QTest::newRow("north-east kerb third row") << QPoint(360, 26) << kerb;
        QTest::newRow("north-east fill") << QPoint(360, 27) << block;

        // Line8, the north stop line: y 120, 2 pixels wide, x 168 to 208.
        QTest::newRow("stop line upper row") << QPoint(190, 119) << ink;
        QTest::newRow("stop line lower row") << QPoint(190, 120) << ink;
        QTest::newRow("below the stop line") << QPoint(190, 121) << road;
        QTest::newRow("above the stop line") << QPoint(190, 118) << road;
        // Line5, the south centre line: x 200, y 192 to 288 (under Picture1(3) below 248).
        QTest::newRow("south centre line") << QPoint(199, 220) << ink;
        QTest::newRow("beside the south centre line") << QPoint(201, 220) << road;

        // Line35 of the north zebra: x 192, 5 pixels wide, y 96 to 112.
        QTest::newRow("stripe centre") << QPoint(192, 100) << ink;
        QTest::newRow("stripe left edge") << QPoint(190, 100) << ink;
        QTest::newRow("stripe right edge") << QPoint(194, 100) << ink;
        QTest::newRow("gap right of the stripe") << QPoint(195, 100) << road;
        QTest::newRow("gap left of the stripe") << QPoint(189, 100) << road;
        QTest::newRow("below the stripe") << QPoint(192, 112) << road;
        // Line9 of the east zebra: y 128, x 248 to 264.
        QTest::newRow("east stripe") << QPoint(255, 130) << ink;
        QTest::newRow("east gap") << QPoint(255, 131) << road;

        // Shape1(2), light 3's sensor zone: (80, 160), 57 by 25, a 1-pixel frame.
        QTest::newRow("zone top") << QPoint(110, 160) << ink;
        QTest::newRow("inside the zone") << QPoint(110, 161) << road;
        QTest::newRow("zone right") << QPoint(136, 170) << ink;
        QTest::newRow("left of the zone's right edge") << QPoint(135, 170) << road;
        QTest::newRow("zone bottom") << QPoint(110, 184) << ink;

        // Light 1's arrow, pointing west: tip (288, 104), heads to (296, 112) and (296, 96).
        QTest::newRow("arrow tip") << QPoint(288, 104) << ink;
        QTest::newRow("arrow shaft") << QPoint(300, 104) << ink;
        QTest::newRow("lower head stroke") << QPoint(292, 108) << ink;
        QTest::newRow("upper head stroke") << QPoint(292, 100) << ink;
        QTest::newRow("between the strokes") << QPoint(292, 106) << block;
        QTest::newRow("beyond the tip") << QPoint(286, 104) << block;

        // Shape7, the frame of the light-value legend: (280, 328), 121 by 81.
        QTest::newRow("legend frame left") << QPoint(280, 350) << ink;
        QTest::newRow("legend frame right") << QPoint(400, 350) << ink;
        QTest::newRow("legend frame inside") << QPoint(282, 350) << road;
    }

    void pixels()
    {
        QFETCH(QPoint, at);
        QFETCH(QColor, expected);
        const QColor seen = m_shot.pixelColor(at);
        QVERIFY2(seen == expected,
                 qPrintable(QStringLiteral("(%1, %2) is %3, not %4")
                                .arg(at.x())
                                .arg(at.y())
                                .arg(seen.name(), expected.name())));
    }

    void controlsLieAboveTheDrawing()
    {
        // Picture1(2) covers the west end of sensor zone Shape1(2); its frame does not show
        // through the picture box's back colour.
        const QColor seen = m_shot.pixelColor(80, 161);
        QVERIFY2(seen != QApplication::palette().color(QPalette::Text), qPrintable(seen.name()));
        // Label1 ("1") on the north-east block paints its light green over the arrow's shaft end.
        QCOMPARE(m_shot.pixelColor(305, 90), QColor(128, 255, 128));
        // Picture2 (248, 48, 25 by 41) covers the top-left pixel of Image18(1) at (272, 88), which
        // would otherwise be the black frame of light 1's picture.
        QCOMPARE(m_shot.pixelColor(272, 88), QColor(128, 255, 128));
        QCOMPARE(m_shot.pixelColor(273, 88), QColor(0, 0, 0));
    }
};

QTEST_MAIN(TestJunction)
#include "tst_junction.moc"
