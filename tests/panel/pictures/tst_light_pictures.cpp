// SPDX-License-Identifier: MIT
#include "light_pictures.h"

#include <QTest>

#include <array>
#include <climits>
#include <cstdint>
#include <vector>

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

using Rgb = std::uint32_t;
constexpr Rgb kBlack = 0xff000000;
constexpr Rgb kCyan = 0xff00ffff;
constexpr Rgb kGrey = 0xffc0c0c0;
constexpr Rgb kRed = 0xffff0000;
constexpr Rgb kYellow = 0xffffff00;
constexpr Rgb kGreen = 0xff008000;
constexpr Rgb kWhite = 0xffffffff;

Pixels expectedPicture(Rgb top, Rgb middle, Rgb bottom)
{
    Pixels picture{12, 29, std::vector<Rgb>(std::size_t{12} * 29)};
    for (int y = 0; y < 29; ++y) {
        for (int x = 0; x < 12; ++x) {
            Rgb colour = 0;
            switch (kRows[y][x]) {
            case 'K': colour = kBlack; break;
            case 'C': colour = kCyan; break;
            case 'T': colour = top; break;
            case 'M': colour = middle; break;
            case 'B': colour = bottom; break;
            }
            picture.argb[std::size_t(y) * 12 + std::size_t(x)] = colour;
        }
    }
    return picture;
}

// Empty when the two agree; otherwise the first differing pixel and both colours.
QString firstDifference(const Pixels &seen, const Pixels &expected)
{
    if (seen.width != expected.width || seen.height != expected.height
        || seen.argb.size() != expected.argb.size()) {
        return QStringLiteral("size %1x%2 (%3 pixels), expected %4x%5")
            .arg(seen.width).arg(seen.height).arg(seen.argb.size()).arg(expected.width).arg(expected.height);
    }
    for (int y = 0; y < expected.height; ++y) {
        for (int x = 0; x < expected.width; ++x) {
            if (seen.at(x, y) != expected.at(x, y)) {
                return QStringLiteral("pixel (%1, %2) is #%3, expected #%4")
                    .arg(x).arg(y).arg(seen.at(x, y), 8, 16, QLatin1Char('0'))
                    .arg(expected.at(x, y), 8, 16, QLatin1Char('0'));
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
    QTest::addColumn<Rgb>("top");
    QTest::addColumn<Rgb>("middle");
    QTest::addColumn<Rgb>("bottom");

    QTest::newRow("0 all dark") << 0 << kGrey << kGrey << kGrey;
    QTest::newRow("1 red") << 1 << kRed << kGrey << kGrey;
    QTest::newRow("2 red and yellow together") << 2 << kRed << kYellow << kGrey;
    QTest::newRow("3 yellow alone") << 3 << kGrey << kYellow << kGrey;
    QTest::newRow("4 dark green, not bright") << 4 << kGrey << kGrey << kGreen;
}

void TestLightPictures::legendPicture()
{
    QFETCH(int, value);
    QFETCH(Rgb, top);
    QFETCH(Rgb, middle);
    QFETCH(Rgb, bottom);

    const Pixels &picture = lightPicture(value);
    QCOMPARE(picture.width, kLightPictureWidth);
    QCOMPARE(picture.height, kLightPictureHeight);
    const QString difference = firstDifference(picture, expectedPicture(top, middle, bottom));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestLightPictures::blankPicture()
{
    const Pixels &blank = blankLightPicture();
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
    const Pixels &picture = lightPicture(value);
    const QString difference = firstDifference(picture, expectedPicture(kGrey, kGrey, kGrey));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(&picture, &lightPicture(0));
}

void TestLightPictures::picturesAreShared()
{
    for (int value = 0; value <= 4; ++value) {
        QCOMPARE(&lightPicture(value), &lightPicture(value));
        for (int other = 0; other < value; ++other)
            QVERIFY(&lightPicture(value) != &lightPicture(other));
    }
    QCOMPARE(&blankLightPicture(), &blankLightPicture());
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
    QCOMPARE(QString::fromStdString(lightStateWords(value)), words);
}

QTEST_GUILESS_MAIN(TestLightPictures)
#include "tst_light_pictures.moc"
