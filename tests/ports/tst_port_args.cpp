#include "port_args.h"

#include <QtTest>

using namespace bexen::ports;

class TestPortArgs : public QObject {
    Q_OBJECT

private slots:
    void port_data();
    void port();
    void byteValue_data();
    void byteValue();
    void interval_data();
    void interval();
};

void TestPortArgs::port_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("port");

    // the range of the file: port 100 is its first byte, 65535 the highest address
    QTest::newRow("first port") << "100" << true << 100;
    QTest::newRow("sensor port") << "150" << true << 150;
    QTest::newRow("light 4") << "163" << true << 163;
    QTest::newRow("highest") << "65535" << true << 65535;
    QTest::newRow("leading zero is still decimal") << "0160" << true << 160;
    QTest::newRow("below the file") << "99" << false << 0;
    QTest::newRow("zero") << "0" << false << 0;
    QTest::newRow("one past highest") << "65536" << false << 0;
    // numbers that would wrap a 32- or 64-bit reader
    QTest::newRow("2^32 + 160") << "4294967456" << false << 0;
    QTest::newRow("2^64 + 160") << "18446744073709551776" << false << 0;
    QTest::newRow("very long") << QString(400, QLatin1Char('9')) << false << 0;
    // signs, blanks, bases and partial numbers
    QTest::newRow("plus sign") << "+160" << false << 0;
    QTest::newRow("minus sign") << "-160" << false << 0;
    QTest::newRow("minus zero") << "-0" << false << 0;
    QTest::newRow("leading blank") << " 160" << false << 0;
    QTest::newRow("trailing blank") << "160 " << false << 0;
    QTest::newRow("trailing newline") << "160\n" << false << 0;
    QTest::newRow("hex") << "0xA0" << false << 0;
    QTest::newRow("exponent") << "1.6e2" << false << 0;
    QTest::newRow("fraction") << "160.0" << false << 0;
    QTest::newRow("trailing letters") << "160abc" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("word") << "port" << false << 0;
}

void TestPortArgs::port()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(int, port);

    const std::string s = text.toStdString();
    const auto parsed = parsePort(s);
    QCOMPARE(parsed.has_value(), accepted);
    if (accepted)
        QCOMPARE(*parsed, port);
}

void TestPortArgs::byteValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("value");

    QTest::newRow("zero") << "0" << true << 0;
    QTest::newRow("green") << "4" << true << 4;
    QTest::newRow("all sensors") << "15" << true << 15;
    QTest::newRow("highest") << "255" << true << 255;
    QTest::newRow("one past") << "256" << false << 0;
    QTest::newRow("wraps to 4 as a byte") << "260" << false << 0;
    QTest::newRow("minus one") << "-1" << false << 0;
    QTest::newRow("plus") << "+4" << false << 0;
    QTest::newRow("hex") << "0x0F" << false << 0;
    QTest::newRow("binary-looking is decimal") << "101" << true << 101;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("word") << "green" << false << 0;
}

void TestPortArgs::byteValue()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(int, value);

    const std::string s = text.toStdString();
    const auto parsed = parseByteValue(s);
    QCOMPARE(parsed.has_value(), accepted);
    if (accepted)
        QCOMPARE(int(*parsed), value);
}

void TestPortArgs::interval_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("ms");

    QTest::newRow("panel period") << "100" << true << 100;
    QTest::newRow("shortest") << "1" << true << 1;
    QTest::newRow("an hour") << "3600000" << true << 3600000;
    QTest::newRow("zero would spin") << "0" << false << 0;
    QTest::newRow("over an hour") << "3600001" << false << 0;
    QTest::newRow("seconds are not accepted") << "0.5" << false << 0;
    QTest::newRow("unit suffix") << "100ms" << false << 0;
    QTest::newRow("negative") << "-100" << false << 0;
}

void TestPortArgs::interval()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(int, ms);

    const std::string s = text.toStdString();
    const auto parsed = parseIntervalMs(s);
    QCOMPARE(parsed.has_value(), accepted);
    if (accepted)
        QCOMPARE(int(*parsed), ms);
}

QTEST_GUILESS_MAIN(TestPortArgs)
#include "tst_port_args.moc"
