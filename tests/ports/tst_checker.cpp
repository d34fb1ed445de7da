// SPDX-License-Identifier: MIT
#include "commands/cli.h"
#include "shared/interrupt.h"
#include "junction_fake.h"
#include "model/checker.h"
#include "support/private_tmpdir.h"

#include <QRegularExpression>
#include <QtTest>

using namespace bexen::ports;
using namespace std::chrono;

namespace {

// "ms sensors l1 l2 l3 l4", one sample of the junction.
struct Sample {
    milliseconds at;
    JunctionState state;
};

std::vector<Sample> parseSamples(const QStringList &lines)
{
    std::vector<Sample> samples;
    for (const QString &line : lines) {
        const QStringList f = line.split(' ', Qt::SkipEmptyParts);
        Sample s{milliseconds(f[0].toInt()), {}};
        s.state.sensors = static_cast<std::uint8_t>(f[1].toInt());
        for (int k = 0; k < 4; ++k)
            s.state.lights[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(f[2 + k].toInt());
        samples.push_back(s);
    }
    return samples;
}

} // namespace

class TestChecker : public QObject {
    Q_OBJECT

private slots:
    void init() { clearStopRequest(); }

    void legalChanges_data();
    void legalChanges();
    void rules_data();
    void rules();

    void watchCheckCleanRun();
    void watchCheckReportsAsItHappens();
    void watchCheckStopsOnCtrlC();
};

void TestChecker::legalChanges_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("allowed"); // to 0, 1, 2, 3, 4, 5: '1' allowed

    // Red, red and yellow, green, yellow, red; dark comes on at red; anything may go dark;
    // staying the same is not a change. Worked out from the cycle by hand.
    QTest::newRow("from dark") << 0 << "110000";
    QTest::newRow("from red") << 1 << "111000";
    QTest::newRow("from red and yellow") << 2 << "101010";
    QTest::newRow("from yellow") << 3 << "110100";
    QTest::newRow("from green") << 4 << "100110";
    QTest::newRow("from out of range") << 5 << "100001";
}

void TestChecker::legalChanges()
{
    QFETCH(int, from);
    QFETCH(QString, allowed);
    for (int to = 0; to <= 5; ++to) {
        const bool expected = allowed[to] == '1';
        QVERIFY2(isLegalChange(static_cast<std::uint8_t>(from), static_cast<std::uint8_t>(to)) == expected,
                 qPrintable(QString("%1 -> %2 should be %3").arg(from).arg(to).arg(expected ? "legal" : "illegal")));
    }
}

void TestChecker::rules_data()
{
    QTest::addColumn<QStringList>("samples");
    QTest::addColumn<int>("maxWaitMs");
    QTest::addColumn<QList<int>>("counts"); // out of range, both moving, illegal change, car waiting
    QTest::addColumn<QString>("detail"); // part of the first violation's text

    const QList<int> none{0, 0, 0, 0};

    // The legal cycle, both roads in turn, with cars served in time.
    QTest::newRow("legal cycle")
            << QStringList{"0 0 1 1 1 1", "1000 0 2 1 2 1", "2000 0 4 1 4 1", "3000 2 4 1 4 1",
                           "7000 2 3 1 3 1", "9000 2 1 1 1 1", "10000 2 1 2 1 2",
                           "11000 0 1 4 1 4", "16000 0 1 3 1 3", "18000 0 1 1 1 1",
                           "18500 0 0 0 0 0", "19000 0 1 1 1 1"}
            << 60000 << none << "";

    // Values outside 0..4
    QTest::newRow("out of range at the start") << QStringList{"0 0 1 1 7 1"} << 60000
                                               << QList<int>{1, 0, 0, 0} << "light 3 (port 162) holds 7";
    QTest::newRow("into range 255 and back dark")
            << QStringList{"0 0 1 1 1 1", "100 0 1 255 1 1", "200 0 1 255 1 1", "300 0 1 0 1 1"}
            << 60000 << QList<int>{1, 0, 0, 0} << "light 2 (port 161) holds 255";
    QTest::newRow("one bad value to another counts twice")
            << QStringList{"0 0 5 1 1 1", "100 0 6 1 1 1"} << 60000 << QList<int>{2, 0, 0, 0}
            << "light 1 (port 160) holds 5";
    QTest::newRow("out of range straight to red")
            << QStringList{"0 0 1 1 1 9", "100 0 1 1 1 1"} << 60000 << QList<int>{1, 0, 1, 0}
            << "light 4 (port 163) holds 9";

    // Both roads moving
    QTest::newRow("both green") << QStringList{"0 0 4 4 1 1"} << 60000 << QList<int>{0, 1, 0, 0}
                                << "east-west light 1 (port 160) 4 green; north-south light 2 (port 161) 4 green";
    QTest::newRow("red and yellow against yellow")
            << QStringList{"0 0 1 1 3 1", "100 0 1 1 3 2"} << 60000 << QList<int>{0, 1, 0, 0}
            << "light 3 (port 162) 3 yellow; north-south light 4 (port 163) 2 red and yellow";
    QTest::newRow("a lasting conflict is one violation")
            << QStringList{"0 0 4 1 4 1", "100 0 4 2 4 1", "200 0 4 4 4 1", "300 0 4 4 4 2"}
            << 60000 << QList<int>{0, 1, 0, 0} << "east-west";
    QTest::newRow("a second conflict counts again")
            << QStringList{"0 0 4 4 1 1", "100 0 4 0 1 1", "200 0 4 1 1 1", "300 0 4 2 1 1"}
            << 60000 << QList<int>{0, 2, 0, 0} << "east-west";
    QTest::newRow("one road moving, the other red") << QStringList{"0 0 4 1 4 1", "100 0 3 1 3 1"}
                                                    << 60000 << none << "";
    QTest::newRow("out of range is not moving") << QStringList{"0 0 4 9 4 1"} << 60000
                                                << QList<int>{1, 0, 0, 0} << "holds 9";

    // Illegal changes
    QTest::newRow("red straight to green") << QStringList{"0 0 1 1 1 1", "100 0 4 1 1 1"} << 60000
                                           << QList<int>{0, 0, 1, 0}
                                           << "light 1 (port 160) went from 1 red to 4 green";
    QTest::newRow("green straight to red") << QStringList{"0 0 1 4 1 1", "100 0 1 1 1 1"} << 60000
                                           << QList<int>{0, 0, 1, 0} << "from 4 only 3 or 0 may follow";
    QTest::newRow("yellow back to green") << QStringList{"0 0 1 1 3 1", "100 0 1 1 4 1"} << 60000
                                          << QList<int>{0, 0, 1, 0} << "3 yellow to 4 green";
    QTest::newRow("dark to green") << QStringList{"0 0 0 0 0 0", "100 0 0 0 0 4"} << 60000
                                   << QList<int>{0, 0, 1, 0} << "light 4 (port 163) went from 0 dark";
    QTest::newRow("green switched off") << QStringList{"0 0 4 1 1 1", "100 0 0 1 1 1"} << 60000
                                        << none << "";
    QTest::newRow("first sample is never a change") << QStringList{"0 0 4 1 4 1"} << 60000 << none
                                                    << "";

    // Cars left waiting: sensor bit k-1 for light k
    QTest::newRow("car waits longer than allowed")
            << QStringList{"0 2 1 1 1 1", "30000 2 1 1 1 1", "60000 2 1 1 1 1", "60100 2 1 1 1 1",
                           "90000 2 1 1 1 1"}
            << 60000 << QList<int>{0, 0, 0, 1}
            << "light 2 (port 161): a car has waited 60.100 s without green";
    QTest::newRow("exactly the longest wait is allowed")
            << QStringList{"0 8 1 1 1 1", "60000 8 1 1 1 1", "60100 0 1 1 1 1"} << 60000 << none << "";
    QTest::newRow("served in time")
            << QStringList{"0 1 1 1 1 1", "58000 1 2 1 1 1", "59000 1 4 1 1 1", "61000 1 4 1 1 1"} << 60000 << none << "";
    QTest::newRow("waiting again after green")
            << QStringList{"0 4 1 1 4 1", "1000 4 1 1 3 1", "3000 4 1 1 1 1", "11001 4 1 1 1 1"}
            << 10000 << QList<int>{0, 0, 0, 1} << "light 3 (port 162): a car has waited 10.001 s";
    QTest::newRow("car leaves and another comes")
            << QStringList{"0 1 1 1 1 1", "9000 0 1 1 1 1", "9100 1 1 1 1 1", "19000 1 1 1 1 1"}
            << 10000 << none << "";
    QTest::newRow("two cars left waiting")
            << QStringList{"0 5 1 4 1 4", "11000 5 1 4 1 4"} << 10000 << QList<int>{0, 0, 0, 2}
            << "light 1 (port 160)";
}

void TestChecker::rules()
{
    QFETCH(QStringList, samples);
    QFETCH(int, maxWaitMs);
    QFETCH(QList<int>, counts);
    QFETCH(QString, detail);

    ConflictChecker checker{milliseconds(maxWaitMs)};
    QString first;
    for (const Sample &s : parseSamples(samples)) {
        const auto found = checker.observe(s.state, Clock::TimePoint(s.at));
        if (first.isEmpty() && !found.empty())
            first = QString::fromStdString(found.front().detail);
    }
    const Rule rules[] = {Rule::ValueOutOfRange, Rule::BothRoadsMoving, Rule::IllegalChange,
                          Rule::CarLeftWaiting};
    for (int i = 0; i < 4; ++i) {
        QVERIFY2(checker.count(rules[i]) == counts[i],
                 qPrintable(QString("%1: %2, expected %3; first: %4")
                                    .arg(QString::fromUtf8(ruleName(rules[i]).data(), int(ruleName(rules[i]).size())))
                                    .arg(checker.count(rules[i]))
                                    .arg(counts[i])
                                    .arg(first)));
    }
    QCOMPARE(checker.total(), counts[0] + counts[1] + counts[2] + counts[3]);
    if (!detail.isEmpty())
        QVERIFY2(first.contains(detail), qPrintable(first));
}

void TestChecker::watchCheckCleanRun()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    ManualClock clock;
    // A correct cycle of the east-west road, each step held for a second.
    clock.onAdvance = [&](ManualClock &c) {
        static constexpr std::uint8_t cycle[] = {1, 2, 4, 3, 1};
        const auto step = static_cast<std::size_t>(c.elapsed() / seconds(1));
        const std::uint8_t v = cycle[std::min<std::size_t>(step, 4)];
        QVERIFY(!bexen::io::writePortByte(160, v, tmp.portFileStd()));
        QVERIFY(!bexen::io::writePortByte(162, v, tmp.portFileStd()));
    };
    QVERIFY(!bexen::io::writePortByte(160, 1, tmp.portFileStd()));
    const CliOutcome o = runCli({"watch", "--check", "--duration", "6"}, clock);
    QCOMPARE(o.code, 0);
    QCOMPARE(o.err, QString());
    QCOMPARE(o.out, QString("summary: 6.000 s checked, no violations\n"));
    QCOMPARE(clock.elapsed(), milliseconds(6000));
}

void TestChecker::watchCheckReportsAsItHappens()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    ManualClock clock;
    clock.onAdvance = [&](ManualClock &c) {
        if (c.elapsed() == milliseconds(1500)) {
            QVERIFY(!bexen::io::writePortByte(160, 4, tmp.portFileStd()));
            QVERIFY(!bexen::io::writePortByte(161, 4, tmp.portFileStd()));
        }
    };
    QVERIFY(!bexen::io::writePortByte(160, 1, tmp.portFileStd()));
    QVERIFY(!bexen::io::writePortByte(161, 1, tmp.portFileStd()));
    const CliOutcome o = runCli({"watch", "--check", "--duration=3", "--interval", "250"}, clock);
    QCOMPARE(o.code, 3);
    const QStringList lines = o.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    // 1 to 4 on both lights is two illegal changes, and the two roads move at once.
    const QRegularExpression stamp("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}  violation: ");
    for (int i = 0; i < 3; ++i)
        QVERIFY2(stamp.match(lines[i]).hasMatch(), qPrintable(lines[i]));
    QVERIFY(lines[0].contains("illegal change: light 1 (port 160) went from 1 red to 4 green"));
    QVERIFY(lines[1].contains("illegal change: light 2 (port 161) went from 1 red to 4 green"));
    QVERIFY(lines[2].contains("both roads moving: east-west light 1 (port 160) 4 green"));
    QCOMPARE(lines[3], QString("summary: 3.000 s checked, 3 violations: value out of range 0, "
                               "both roads moving 1, illegal change 2, car left waiting 0"));
}

void TestChecker::watchCheckStopsOnCtrlC()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    ManualClock clock;
    clock.onAdvance = [](ManualClock &c) {
        if (c.elapsed() >= seconds(70))
            requestStop();
    };
    QVERIFY(!bexen::io::writePortByte(150, 8, tmp.portFileStd())); // a car at light 4, never served
    QVERIFY(!bexen::io::writePortByte(163, 1, tmp.portFileStd()));
    const CliOutcome o = runCli({"watch", "--check", "--max-wait", "61.5"}, clock);
    QCOMPARE(o.code, 3);
    QCOMPARE(clock.elapsed(), seconds(70));
    QVERIFY2(o.out.contains("car left waiting: light 4 (port 163): a car has waited 61.600 s without "
                            "green (at most 61.500 s), light at 1 red"),
             qPrintable(o.out));
    QVERIFY(o.out.endsWith("summary: 70.000 s checked, 1 violation: value out of range 0, both roads "
                           "moving 0, illegal change 0, car left waiting 1\n"));
}

QTEST_GUILESS_MAIN(TestChecker)
#include "tst_checker.moc"
