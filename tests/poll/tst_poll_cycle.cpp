// SPDX-License-Identifier: MIT
#include "poll_cycle.h"
#include "support/private_tmpdir.h"

#include <QFileInfo>
#include <QStringList>
#include <QTest>

#include <map>

using namespace bexen::poll;

namespace {

const char *boxName(TextBox box)
{
    switch (box) {
    case TextBox::Text1: return "Text1";
    case TextBox::Text2: return "Text2";
    case TextBox::Text3: return "Text3";
    case TextBox::Text4: return "Text4";
    case TextBox::Text5: return "Text5";
    }
    return "?";
}

// The window as the tick sees it, keeping a journal of every call in order.
class FakePanel final : public PanelControls {
public:
    void setText(TextBox box, std::string_view text) override
    {
        texts[boxName(box)] = QString::fromUtf8(text.data(), int(text.size()));
        journal << QString("%1=%2").arg(boxName(box), texts[boxName(box)]);
    }
    int checkValue(int index) const override
    {
        checksRead << index;
        return checks.value(index);
    }
    void showLegendPicture(int image18, int image11) override
    {
        stateImage[image18] = image11;
        journal << QString("Image18(%1)<-Image11(%2)").arg(image18).arg(image11);
    }

    std::map<QString, QString> texts;
    std::map<int, int> stateImage;
    QList<int> checks{0, 0, 0, 0, 0};
    mutable QList<int> checksRead;
    QStringList journal;
};

// Port bytes from a table; each port may answer its second read differently, as when the
// emulator writes between the two.
class FakePorts final : public PortAccess {
public:
    std::uint8_t read(std::int32_t port) override
    {
        accesses << QString("r%1").arg(port);
        const int nth = reads[port]++;
        if (nth > 0 && secondRead.contains(port))
            return secondRead[port];
        return bytes.value(port);
    }
    void write(std::int32_t port, std::uint8_t value) override
    {
        accesses << QString("w%1=%2").arg(port).arg(value);
        bytes[port] = value;
    }

    QMap<int, std::uint8_t> bytes;
    QMap<int, std::uint8_t> secondRead;
    QMap<int, int> reads;
    QStringList accesses;
};

} // namespace

class TestPollCycle : public QObject {
    Q_OBJECT

private slots:
    void accessesInOrder();
    void lightValues_data();
    void lightValues();
    void eachLightHasItsOwnBoxAndImage();
    void secondReadDecidesTheLight();
    void sensorBoxes_data();
    void sensorBoxes();
    void onlyTheFourSensorsAreRead();
    void membersAreRewrittenEveryTick();
    void decimalText_data();
    void decimalText();
    void firstTickWithoutPortFile();
    void tickOnRealFileKeepsEmulatorBytes();
};

void TestPollCycle::accessesInOrder()
{
    FakePanel panel;
    FakePorts ports;
    TickMembers members;
    runTick(panel, ports, members);
    QCOMPARE(ports.accesses, QStringList({"r161", "r162", "r163", "r160", "r161", "r162", "r163",
                                          "w150=0"}));
    // Text4 is blanked before its value goes in; the lights follow the four boxes.
    QCOMPARE(panel.journal.mid(0, 5),
             QStringList({"Text3=0", "Text2=0", "Text5=0", "Text4=  ", "Text4=0"}));
    QCOMPARE(panel.journal.mid(5, 4),
             QStringList({"Image18(1)<-Image11(0)", "Image18(2)<-Image11(0)",
                          "Image18(3)<-Image11(0)", "Image18(0)<-Image11(0)"}));
    QCOMPARE(panel.journal.last(), QStringLiteral("Text1=0 0 0 0  0 0 0 0"));
}

void TestPollCycle::lightValues_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("picture");
    QTest::newRow("dark") << 0 << "0" << 0;
    QTest::newRow("red") << 1 << "1" << 1;
    QTest::newRow("red and yellow") << 2 << "2" << 2;
    QTest::newRow("yellow") << 3 << "3" << 3;
    QTest::newRow("green") << 4 << "4" << 4;
    QTest::newRow("5 is no light value") << 5 << "5" << 0;
    QTest::newRow("200") << 200 << "200" << 0;
    QTest::newRow("255") << 255 << "255" << 0;
}

void TestPollCycle::lightValues()
{
    QFETCH(int, byte);
    QFETCH(QString, text);
    QFETCH(int, picture);
    FakePanel panel;
    FakePorts ports;
    for (int port : {160, 161, 162, 163})
        ports.bytes[port] = std::uint8_t(byte);
    TickMembers members;
    runTick(panel, ports, members);
    for (const char *box : {"Text2", "Text3", "Text4", "Text5"})
        QCOMPARE(panel.texts[box], text);
    for (int image = 0; image < 4; ++image)
        QCOMPARE(panel.stateImage[image], picture);
}

void TestPollCycle::eachLightHasItsOwnBoxAndImage()
{
    FakePanel panel;
    FakePorts ports;
    ports.bytes = {{160, 1}, {161, 2}, {162, 3}, {163, 4}};
    TickMembers members;
    runTick(panel, ports, members);
    // Light 1 (160) is Text4 and Image18(1); light 4 (163) is Text5 and Image18(0).
    QCOMPARE(panel.texts["Text4"], QStringLiteral("1"));
    QCOMPARE(panel.texts["Text3"], QStringLiteral("2"));
    QCOMPARE(panel.texts["Text2"], QStringLiteral("3"));
    QCOMPARE(panel.texts["Text5"], QStringLiteral("4"));
    QCOMPARE(panel.stateImage[1], 1);
    QCOMPARE(panel.stateImage[2], 2);
    QCOMPARE(panel.stateImage[3], 3);
    QCOMPARE(panel.stateImage[0], 4);
}

void TestPollCycle::secondReadDecidesTheLight()
{
    FakePanel panel;
    FakePorts ports;
    ports.bytes = {{161, 1}, {162, 1}, {163, 1}};
    ports.secondRead = {{161, 2}, {162, 4}, {163, 3}};
    TickMembers members;
    runTick(panel, ports, members);
    QCOMPARE(panel.texts["Text3"], QStringLiteral("1"));
    QCOMPARE(panel.stateImage[2], 2);
    QCOMPARE(panel.texts["Text2"], QStringLiteral("1"));
    QCOMPARE(panel.stateImage[3], 4);
    QCOMPARE(panel.texts["Text5"], QStringLiteral("1"));
    QCOMPARE(panel.stateImage[0], 3);
}

void TestPollCycle::sensorBoxes_data()
{
    QTest::addColumn<QList<int>>("boxes"); // values of Check1(0..3)
    QTest::addColumn<QString>("bits");
    QTest::addColumn<int>("byte");

    // Every combination of ticked and cleared; the expected text spells bit 3 first.
    for (int combination = 0; combination < 16; ++combination) {
        QList<int> boxes;
        QString low;
        for (int k = 0; k < 4; ++k)
            boxes << ((combination >> k) & 1);
        for (int k = 3; k >= 0; --k)
            low += QString(" %1").arg(boxes[k]);
        QTest::addRow("ticked %d", combination)
                << boxes << QString("0 0 0 0 ") + low << combination;
    }
    // Greyed (2) counts as ticked.
    QTest::newRow("all greyed") << QList<int>{2, 2, 2, 2} << "0 0 0 0  1 1 1 1" << 15;
    QTest::newRow("only Check1(3) greyed") << QList<int>{0, 0, 0, 2} << "0 0 0 0  1 0 0 0" << 8;
    QTest::newRow("mixed") << QList<int>{1, 0, 2, 1} << "0 0 0 0  1 1 0 1" << 13;
}

void TestPollCycle::sensorBoxes()
{
    QFETCH(QList<int>, boxes);
    QFETCH(QString, bits);
    QFETCH(int, byte);
    FakePanel panel;
    panel.checks = boxes << 0;
    FakePorts ports;
    TickMembers members;
    runTick(panel, ports, members);
    QCOMPARE(panel.texts["Text1"], bits);
    QCOMPARE(panel.texts["Text1"].size(), 16);
    QCOMPARE(ports.accesses.last(), QString("w150=%1").arg(byte));
}

void TestPollCycle::onlyTheFourSensorsAreRead()
{
    FakePanel panel;
    panel.checks = {0, 0, 0, 0, 1}; // a fifth box, as Check2 would be, ticked
    FakePorts ports;
    TickMembers members;
    runTick(panel, ports, members);
    QCOMPARE(panel.checksRead, QList<int>({0, 1, 2, 3}));
    QCOMPARE(ports.bytes[150], std::uint8_t(0));
}

void TestPollCycle::membersAreRewrittenEveryTick()
{
    FakePanel panel;
    FakePorts ports;
    TickMembers members;
    ports.bytes = {{160, 4}, {161, 3}, {162, 2}, {163, 1}};
    panel.checks = {1, 1, 1, 1, 0};
    runTick(panel, ports, members);
    QCOMPARE(members.sensorByte, std::uint8_t(15));

    FakePanel quiet;
    FakePorts dark;
    runTick(quiet, dark, members);
    QCOMPARE(members.lightState, (std::array<std::int16_t, 4>{0, 0, 0, 0}));
    QCOMPARE(members.sensorByte, std::uint8_t(0));
    QCOMPARE(quiet.texts["Text1"], QStringLiteral("0 0 0 0  0 0 0 0"));
}

void TestPollCycle::decimalText_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "0";
    QTest::newRow("9") << 9 << "9";
    QTest::newRow("10") << 10 << "10";
    QTest::newRow("100") << 100 << "100";
    QTest::newRow("255") << 255 << "255";
}

void TestPollCycle::decimalText()
{
    QFETCH(int, value);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(bexen::poll::decimalText(std::uint8_t(value))), text);
}

void TestPollCycle::firstTickWithoutPortFile()
{
    PrivateTmpDir tmp;
    FakePanel panel;
    panel.checks = {1, 0, 1, 0, 0};
    PortFileAccess ports;
    TickMembers members;
    runTick(panel, ports, members);
    for (const char *box : {"Text2", "Text3", "Text4", "Text5"})
        QCOMPARE(panel.texts[box], QStringLiteral("0"));
    for (int image = 0; image < 4; ++image)
        QCOMPARE(panel.stateImage[image], 0);
    QByteArray expected(50, '\0');
    expected.append('\5');
    QCOMPARE(tmp.portBytes(), expected);
}

void TestPollCycle::tickOnRealFileKeepsEmulatorBytes()
{
    PrivateTmpDir tmp;
    QByteArray bytes(120, '\x09');
    bytes[60] = 2;
    bytes[63] = 4;
    QVERIFY(tmp.writePortBytes(bytes));

    FakePanel panel;
    panel.checks = {0, 0, 0, 1, 0};
    PortFileAccess ports;
    TickMembers members;
    runTick(panel, ports, members);

    QCOMPARE(panel.texts["Text4"], QStringLiteral("2"));
    QCOMPARE(panel.stateImage[1], 2);
    QCOMPARE(panel.texts["Text5"], QStringLiteral("4"));
    QCOMPARE(panel.stateImage[0], 4);
    QCOMPARE(panel.texts["Text3"], QStringLiteral("9"));
    QCOMPARE(panel.stateImage[2], 0);
    bytes[50] = 8;
    QCOMPARE(tmp.portBytes(), bytes);
}

QTEST_GUILESS_MAIN(TestPollCycle)
#include "tst_poll_cycle.moc"
