// SPDX-License-Identifier: MIT
// The toolkit-free description of Form1 that both front-ends draw from: its conversion from
// twips at any screen density, the junction's rectangles, and what a tick shows. Expected
// rectangles are the tables' twips worked out by hand (15 twips a pixel at 96 dots per inch,
// 10 at 144).
#include "form1_tick.h"
#include "junction.h"
#include "pictures/raw_picture.h"
#include "twips.h"

#include <QStringList>
#include <QTest>

#include <algorithm>
#include <map>

using namespace bexen::panel;
using bexen::poll::TextBox;
namespace pictures = bexen::pictures;

Q_DECLARE_METATYPE(PixelRect)

namespace {

// The window as the shared tick drives it: a journal of everything it is asked to show.
class FakeView final : public Form1View {
public:
    void showText(TextBox box, std::string_view text) override
    {
        journal << QStringLiteral("Text%1=%2").arg(int(box) + 1).arg(QString::fromUtf8(text.data(), int(text.size())));
    }
    void showLightPicture(int image18, int value) override
    {
        journal << QStringLiteral("Image18(%1)=%2").arg(image18).arg(value);
    }
    bexen::panel::CheckValue checkValue(int check1) const override
    {
        return bexen::panel::CheckValue(checks[std::size_t(check1)]);
    }

    std::array<int, 4> checks{};
    QStringList journal;
};

class FakePorts final : public bexen::poll::PortAccess {
public:
    std::uint8_t read(std::int32_t port) override { return bytes[port]; }
    void write(std::int32_t port, std::uint8_t value) override { bytes[port] = value; }

    std::map<std::int32_t, std::uint8_t> bytes;
};

bool hasFill(const std::vector<Fill> &fills, const PixelRect &rect, Colour colour)
{
    return std::any_of(fills.begin(), fills.end(), [&](const Fill &f) {
        return f.rect == rect && f.colour == colour;
    });
}

// Whether pixel (x, y) lies in a rectangle of that colour.
bool inked(const std::vector<Fill> &fills, int x, int y)
{
    return std::any_of(fills.begin(), fills.end(), [&](const Fill &f) {
        return f.colour == Colour::WindowText && x >= f.rect.left && x < f.rect.right()
                && y >= f.rect.top && y < f.rect.bottom();
    });
}

} // namespace

class TestForm1Description : public QObject {
    Q_OBJECT

private slots:
    void twipsAtEachDensity_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<PixelRect>("expected");

        // Text1 at 96: 480 / 15 = 32, 4560 / 15 = 304, 1455 / 15 = 97, 285 / 15 = 19.
        QTest::newRow("96 dpi") << 96 << 480 << 4560 << 1455 << 285 << PixelRect{32, 304, 97, 19};
        // At 144 a pixel is 10 twips: 1935 / 10 = 193.5 rounds to 194 for the right edge.
        QTest::newRow("144 dpi") << 144 << 480 << 4560 << 1455 << 285 << PixelRect{48, 456, 146, 29};
        // At 120, 12 twips: Label1's 4560 + 255 = 4815 / 12 = 401.25; 4560 / 12 = 380.
        QTest::newRow("120 dpi, edges rounded") << 120 << 4560 << 1320 << 255 << 255
                                                << PixelRect{380, 110, 21, 21};
        // At 192, 7.5 twips: 4440 / 7.5 = 592; 1920 / 7.5 = 256; 1455 / 7.5 = 194.
        QTest::newRow("192 dpi") << 192 << 4440 << 1920 << 1455 << 375 << PixelRect{592, 256, 194, 50};
        // The form itself: 6150 by 6240 twips.
        QTest::newRow("the form at 144") << 144 << 0 << 0 << 6150 << 6240 << PixelRect{0, 0, 615, 624};
    }

    void twipsAtEachDensity()
    {
        QFETCH(int, dpi);
        QFETCH(int, left);
        QFETCH(int, top);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(PixelRect, expected);
        const PixelRect seen = TwipsRect{left, top, width, height}.toPixels(dpi);
        QVERIFY2(seen == expected, qPrintable(QStringLiteral("%1,%2 %3x%4").arg(seen.left).arg(seen.top).arg(seen.width).arg(seen.height)));
    }

    void junctionAt96()
    {
        const std::vector<Fill> fills = junctionFills();
        // Shape4, the north-west block (240, 360, 2295, 1455): its 3-pixel kerb inside.
        QVERIFY(hasFill(fills, {16, 24, 153, 3}, Colour::DarkGreen));
        QVERIFY(hasFill(fills, {16, 24, 3, 97}, Colour::DarkGreen));
        QVERIFY(hasFill(fills, {166, 24, 3, 97}, Colour::DarkGreen));
        QVERIFY(hasFill(fills, {19, 27, 147, 91}, Colour::LightGreen));
        // Line8, the north stop line from x 208 to 168 at y 120, 2 pixels: rows 119 and 120.
        QVERIFY(hasFill(fills, {168, 119, 40, 2}, Colour::WindowText));
        // Line35, a north zebra stripe at x 192, 5 pixels: columns 190 to 194, y 96 to 111.
        QVERIFY(hasFill(fills, {190, 96, 5, 16}, Colour::WindowText));
        // The blocks come first, so the lines are drawn over them.
        QCOMPARE(fills.front().colour, Colour::LightGreen);
        QCOMPARE(fills.back().colour, Colour::WindowText);
    }

    void arrowHeadsSlant_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<bool>("ink");
        // Light 1's arrow: tip (4320, 1560), heads to (4440, 1680) and (4440, 1440).
        QTest::newRow("tip") << 96 << 288 << 104 << true;
        QTest::newRow("lower head, half way") << 96 << 292 << 108 << true;
        QTest::newRow("lower head, its end") << 96 << 296 << 112 << true;
        QTest::newRow("upper head, half way") << 96 << 292 << 100 << true;
        QTest::newRow("between the heads") << 96 << 292 << 106 << false;
        QTest::newRow("beyond the tip") << 96 << 287 << 104 << false;
        // At 144 the tip is (432, 156) and the strokes 2 pixels wide (1.5 rounded up).
        QTest::newRow("tip at 144") << 144 << 432 << 156 << true;
        QTest::newRow("lower head at 144") << 144 << 438 << 162 << true;
        QTest::newRow("its second column at 144") << 144 << 437 << 162 << true;
        QTest::newRow("off the stroke at 144") << 144 << 435 << 162 << false;
    }

    void arrowHeadsSlant()
    {
        QFETCH(int, dpi);
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(bool, ink);
        QCOMPARE(inked(junctionFills(dpi), x, y), ink);
    }

    void junctionAt144Scales()
    {
        const std::vector<Fill> fills = junctionFills(144);
        // Shape4 at 144: (24, 36), right edge 2535 / 10 = 253.5 -> 254; the kerb 3 x 1.5 = 4.5 -> 5.
        QVERIFY(hasFill(fills, {24, 36, 230, 5}, Colour::DarkGreen));
        // Line8 at y 180, 3 pixels wide: rows 179 to 181, x 252 to 312.
        QVERIFY(hasFill(fills, {252, 179, 60, 3}, Colour::WindowText));
        // A zebra stripe, 5 x 1.5 = 7.5 -> 8 pixels: Line35 at x 288 takes columns 284 to 291.
        QVERIFY(hasFill(fills, {284, 144, 8, 24}, Colour::WindowText));
    }

    void tickShowsEachTextOnce()
    {
        FakeView view;
        FakePorts ports;
        ports.bytes = {{160, 1}, {161, 4}, {162, 200}, {163, 3}};
        Form1Tick tick(view, ports);
        tick.run();
        // Text4's blanking never reaches the view: only each box's last text of the tick.
        QCOMPARE(view.journal,
                 QStringList({"Image18(1)=1", "Image18(2)=4", "Image18(3)=0", "Image18(0)=3",
                              "Text1=0 0 0 0  0 0 0 0", "Text2=200", "Text3=4", "Text4=1", "Text5=3"}));
        QCOMPARE(int(ports.bytes[150]), 0);

        // A steady tick touches nothing.
        view.journal.clear();
        tick.run();
        QCOMPARE(view.journal, QStringList());

        // A changed byte and a ticked sensor: only what they change is shown again.
        ports.bytes[162] = 2;
        view.checks[3] = 2; // greyed counts as ticked
        tick.run();
        QCOMPARE(view.journal,
                 QStringList({"Image18(3)=2", "Text1=0 0 0 0  1 0 0 0", "Text2=2"}));
        QCOMPARE(int(ports.bytes[150]), 8);
    }

    void typedTextIsReplacedAtTheNextTick()
    {
        FakeView view;
        FakePorts ports;
        ports.bytes[160] = 4;
        Form1Tick tick(view, ports);
        tick.run();
        view.journal.clear();

        tick.textChanged(TextBox::Text4, "4"); // the tick's own text coming back: nothing to do
        tick.run();
        QCOMPARE(view.journal, QStringList());

        tick.textChanged(TextBox::Text4, "47"); // typed by the user
        tick.textChanged(TextBox::Text1, "");
        tick.run();
        QCOMPARE(view.journal, QStringList({"Text1=0 0 0 0  0 0 0 0", "Text4=4"}));
    }

    void compiledInPictureRefusesBadData_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("expands");

        // One opaque red pixel, as the build-time painters write it: its length, then zlib.
        const QByteArray red = qCompress(QByteArray("\x00\x00\xff\xff", 4));
        QTest::newRow("one pixel") << red << 1 << 1 << true;
        QTest::newRow("stated size differs") << red << 2 << 1 << false;
        QTest::newRow("cut short") << red.left(red.size() - 3) << 1 << 1 << false;
        QTest::newRow("no stream") << red.left(4) << 1 << 1 << false;
        QTest::newRow("nothing") << QByteArray() << 1 << 1 << false;
        QTest::newRow("no pixels") << red << 0 << 0 << false;
    }

    void compiledInPictureRefusesBadData()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, expands);
        const pictures::RawPicture raw{0, 100, width, height,
                                       reinterpret_cast<const unsigned char *>(data.constData()),
                                       std::size_t(data.size())};
        const pictures::Pixels pixels = raw.expand();
        QCOMPARE(!pixels.isNull(), expands);
        if (expands)
            QCOMPARE(pixels.at(0, 0), 0xffff0000u);
    }
};

QTEST_GUILESS_MAIN(TestForm1Description)
#include "tst_form1_description.moc"
