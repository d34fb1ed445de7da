// SPDX-License-Identifier: MIT
#include "light_pictures.h"

#include <QImage>
#include <QTest>

#include <array>
#include <climits>

using namespace bexen::pictures;

namespace {

// The picture spelled out row by row: K black frame and lamp outline, C cyan housing,
// T, M, B the faces of the top, middle and bottom lamp.
const std::array<const char *, 29> kRows{
    "KKKKKKKKKKKK",
    "KCCCCKKCCCCK", "KCCKKTTKKCCK", "KCCKTTTTKCCK", "KCKTTTTTTKCK",
    "KCKTTTTTTKCK", "KCCKTTTTKCCK", "KCCKKTTKKCCK", "KCCCCKKCCCCK",
    "KCCCCCCCCCCK",
    "KCCCCKKCCCCK", "KCCKKMMKKCCK", "KCCKMMMMKCCK", "KCKMMMMMMKCK",
    "KCKMMMMMMKCK", "KCCKMMMMKCCK", "KCCKKMMKKCCK", "KCCCCKKCCCCK",
    "KCCCCCCCCCCK",
    "KCCCCKKCCCCK", "KCCKKBBKKCCK", "KCCKBBBBKCCK", "KCKBBBBBBKCK",
    "KCKBBBBBBKCK", "KCCKBBBBKCCK", "KCCKKBBKKCCK", "KCCCCKKCCCCK",
    "KCCCCCCCCCCK",
    "KKKKKKKKKKKK",
};

const QColor kGrey(192, 192, 192);
const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);
const QColor kGreen(0, 128, 0);
const QColor kWhite(255, 255, 255);

QImage expectedPicture(const QColor &top, const QColor &middle, const QColor &bottom)
{
    QImage image(12, 29, QImage::Format_RGB32);
    for (int y = 0; y < 29; ++y) {
        for (int x = 0; x < 12; ++x) {
            QColor colour;
            switch (kRows[y][x]) {
            case 'K': colour = Qt::black; break;
            case 'C': colour = QColor(0, 255, 255); break;
            case 'T': colour = top; break;
            case 'M': colour = middle; break;
            case 'B': colour = bottom; break;
            }
            image.setPixel(x, y, colour.rgb());
        }
    }
    return image;
}

// Empty when the two agree; otherwise the first differing pixel and both colours.
QString firstDifference(const QImage &seen, const QImage &expected)
{
    if (seen.size() != expected.size()) {
        return QStringLiteral("size %1x%2, expected %3x%4")
            .arg(seen.width()).arg(seen.height()).arg(expected.width()).arg(expected.height());
    }
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const QColor s = seen.pixelColor(x, y);
            const QColor e = expected.pixelColor(x, y);
            if (s.rgb() != e.rgb()) {
                return QStringLiteral("pixel (%1, %2) is %3, expected %4")
                    .arg(x).arg(y).arg(s.name(), e.name());
            }
        }
    }
    return {};
}

} // namespace

class TestLightPictures : public QObject {
    Q_OBJECT

private slots:
    void legendPicture_data();
    void legendPicture();
    void blankPicture();
    void otherValuesShowValueZero_data();
    void otherValuesShowValueZero();
    void picturesAreShared();
    void stateWords_data();
    void stateWords();
};

void TestLightPictures::legendPicture_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QColor>("top");
    QTest::addColumn<QColor>("middle");
    QTest::addColumn<QColor>("bottom");

    QTest::newRow("0 all dark") << 0 << kGrey << kGrey << kGrey;
    QTest::newRow("1 red") << 1 << kRed << kGrey << kGrey;
    QTest::newRow("2 red and yellow together") << 2 << kRed << kYellow << kGrey;
    QTest::newRow("3 yellow alone") << 3 << kGrey << kYellow << kGrey;
    QTest::newRow("4 dark green, not bright") << 4 << kGrey << kGrey << kGreen;
}

void TestLightPictures::legendPicture()
{
    QFETCH(int, value);
    QFETCH(QColor, top);
    QFETCH(QColor, middle);
    QFETCH(QColor, bottom);

    const QImage &picture = lightPicture(value);
    QCOMPARE(picture.size(), QSize(kLightPictureWidth, kLightPictureHeight));
    QVERIFY2(!picture.hasAlphaChannel(), "a light picture is opaque");
    const QString difference = firstDifference(picture, expectedPicture(top, middle, bottom));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestLightPictures::blankPicture()
{
    const QImage &blank = blankLightPicture();
    const QString difference = firstDifference(blank, expectedPicture(kWhite, kWhite, kWhite));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    for (int value = 0; value <= 4; ++value)
        QVERIFY2(blank != lightPicture(value), qPrintable(QStringLiteral("blank equals value %1").arg(value)));
}

void TestLightPictures::otherValuesShowValueZero_data()
{
    QTest::addColumn<int>("value");
    QTest::newRow("5, just past green") << 5;
    QTest::newRow("200") << 200;
    QTest::newRow("255, the largest port byte") << 255;
    QTest::newRow("-1") << -1;
    QTest::newRow("INT_MIN") << INT_MIN;
    QTest::newRow("INT_MAX") << INT_MAX;
}

void TestLightPictures::otherValuesShowValueZero()
{
    QFETCH(int, value);
    const QImage &picture = lightPicture(value);
    const QString difference = firstDifference(picture, expectedPicture(kGrey, kGrey, kGrey));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(picture.cacheKey(), lightPicture(0).cacheKey());
}

void TestLightPictures::picturesAreShared()
{
    for (int value = 0; value <= 4; ++value) {
        QCOMPARE(&lightPicture(value), &lightPicture(value));
        QCOMPARE(lightPicture(value).cacheKey(), lightPicture(value).cacheKey());
        for (int other = 0; other < value; ++other)
            QVERIFY(lightPicture(value).cacheKey() != lightPicture(other).cacheKey());
    }
    QCOMPARE(blankLightPicture().cacheKey(), blankLightPicture().cacheKey());
}

void TestLightPictures::stateWords_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("words");
    QTest::newRow("0") << 0 << "dark";
    QTest::newRow("1") << 1 << "red";
    QTest::newRow("2") << 2 << "red and yellow";
    QTest::newRow("3") << 3 << "yellow";
    QTest::newRow("4") << 4 << "green";
    QTest::newRow("5") << 5 << "dark (5 is not a light value)";
    QTest::newRow("255") << 255 << "dark (255 is not a light value)";
    QTest::newRow("-1") << -1 << "dark (-1 is not a light value)";
}

void TestLightPictures::stateWords()
{
    QFETCH(int, value);
    QFETCH(QString, words);
    QCOMPARE(lightStateWords(value), words);
}

QTEST_GUILESS_MAIN(TestLightPictures)
#include "tst_light_pictures.moc"
