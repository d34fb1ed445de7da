// SPDX-License-Identifier: MIT
#include "shared/words.h"

#include <QtTest>

using namespace bexen::ports;

enum class Parser { Port, Value };
Q_DECLARE_METATYPE(Parser)

class TestPortArgs : public QObject {
    Q_OBJECT

private slots:
    void wholeNumbers_data();
    void wholeNumbers();
};

void TestPortArgs::wholeNumbers_data()
{
    QTest::addColumn<Parser>("parser");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("number");

    // the range of the file: port 100 is its first byte, 65535 the highest address
    QTest::newRow("port: first port") << Parser::Port << "100" << true << 100;
    QTest::newRow("port: sensor port") << Parser::Port << "150" << true << 150;
    QTest::newRow("port: light 4") << Parser::Port << "163" << true << 163;
    QTest::newRow("port: highest") << Parser::Port << "65535" << true << 65535;
    QTest::newRow("port: leading zero is still decimal") << Parser::Port << "0160" << true << 160;
    QTest::newRow("port: below the file") << Parser::Port << "99" << false << 0;
    QTest::newRow("port: zero") << Parser::Port << "0" << false << 0;
    QTest::newRow("port: one past highest") << Parser::Port << "65536" << false << 0;
    // numbers that would wrap a 32- or 64-bit reader
    QTest::newRow("port: 2^32 + 160") << Parser::Port << "4294967456" << false << 0;
    QTest::newRow("port: 2^64 + 160") << Parser::Port << "18446744073709551776" << false << 0;
    QTest::newRow("port: very long") << Parser::Port << QString(400, QLatin1Char('9')) << false << 0;
    // signs, blanks, bases and partial numbers
    QTest::newRow("port: plus sign") << Parser::Port << "+160" << false << 0;
    QTest::newRow("port: minus sign") << Parser::Port << "-160" << false << 0;
    QTest::newRow("port: minus zero") << Parser::Port << "-0" << false << 0;
    QTest::newRow("port: leading blank") << Parser::Port << " 160" << false << 0;
    QTest::newRow("port: trailing blank") << Parser::Port << "160 " << false << 0;
    QTest::newRow("port: trailing newline") << Parser::Port << "160\n" << false << 0;
    QTest::newRow("port: hex") << Parser::Port << "0xA0" << false << 0;
    QTest::newRow("port: exponent") << Parser::Port << "1.6e2" << false << 0;
    QTest::newRow("port: fraction") << Parser::Port << "160.0" << false << 0;
    QTest::newRow("port: trailing letters") << Parser::Port << "160abc" << false << 0;
    QTest::newRow("port: empty") << Parser::Port << "" << false << 0;
    QTest::newRow("port: word") << Parser::Port << "port" << false << 0;

    // byte values
    QTest::newRow("value: zero") << Parser::Value << "0" << true << 0;
    QTest::newRow("value: green") << Parser::Value << "4" << true << 4;
    QTest::newRow("value: all sensors") << Parser::Value << "15" << true << 15;
    QTest::newRow("value: highest") << Parser::Value << "255" << true << 255;
    QTest::newRow("value: one past") << Parser::Value << "256" << false << 0;
    QTest::newRow("value: wraps to 4 as a byte") << Parser::Value << "260" << false << 0;
    QTest::newRow("value: minus one") << Parser::Value << "-1" << false << 0;
    QTest::newRow("value: plus") << Parser::Value << "+4" << false << 0;
    QTest::newRow("value: hex") << Parser::Value << "0x0F" << false << 0;
    QTest::newRow("value: binary-looking is decimal") << Parser::Value << "101" << true << 101;
    QTest::newRow("value: empty") << Parser::Value << "" << false << 0;
    QTest::newRow("value: word") << Parser::Value << "green" << false << 0;
}

void TestPortArgs::wholeNumbers()
{
    QFETCH(Parser, parser);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(int, number);

    const std::string s = text.toStdString();
    std::optional<int> parsed;
    switch (parser) {
    case Parser::Port:
        if (const auto port = parsePort(s))
            parsed = *port;
        break;
    case Parser::Value:
        if (const auto value = parseByteValue(s))
            parsed = *value;
        break;
    }
    QCOMPARE(parsed.has_value(), accepted);
    if (accepted)
        QCOMPARE(*parsed, number);
}

QTEST_GUILESS_MAIN(TestPortArgs)
#include "tst_port_args.moc"
