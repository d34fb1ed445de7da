// SPDX-License-Identifier: MIT
#include "form1.h"

#include <QTest>
#include <QTimer>

using bexen::panel::Form1;

// The panel on a screen scaled to 150 % (QT_SCALE_FACTOR=1.5, set by ctest), a common laptop
// setting: each label's caption is drawn in the font fitted to the screen's pixels, so it stays
// inside its box as it does at 96 dots per inch.
class TestForm1Scaled : public QObject {
    Q_OBJECT

private slots:
    void captionStaysInItsLabel_data()
    {
        QTest::addColumn<int>("label");
        QTest::newRow("Label20, Updating every 100 milliseconds") << 20;
    }

    void captionStaysInItsLabel()
    {
        QFETCH(int, label);
        Form1 form;
        form.timer1()->stop();
        QWidget *box = form.label(label);
        QCOMPARE(box->devicePixelRatioF(), 1.5);
        const QImage shot = box->grab().toImage();
        // 160 by 15 pixels at 96 dots per inch (2400 by 225 twips) is 240 by 23 here for Label20.
        QCOMPARE(shot.width(), qRound(box->width() * 1.5));
        int rightmost = -1;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                if (qGray(shot.pixel(x, y)) < 128) // the dark caption on its light back
                    rightmost = std::max(rightmost, x);
            }
        }
        QVERIFY2(rightmost >= 0, "no caption drawn");
        // A caption that runs past the edge is cut there: its ink then reaches the last column.
        QVERIFY2(rightmost < shot.width() - 1,
                 qPrintable(QStringLiteral("the caption's ink reaches column %1 of %2")
                                    .arg(rightmost).arg(shot.width())));
    }
};

QTEST_MAIN(TestForm1Scaled)
#include "tst_form1_scaled.moc"
