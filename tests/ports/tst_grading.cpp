// SPDX-License-Identifier: MIT
#include "model/scenario.h"
#include "port_channel.h"
#include "ports_test_support.h"
#include "support/private_tmpdir.h"

#include <QDir>
#include <QtTest>

using namespace bexen::ports;
using namespace std::chrono;

namespace {

enum class Fault { None, NeverLight4, SkipsYellow, BothRoads, OutOfRange, PanelOpen };

// An emulated program on a fixed cycle that ignores the sensors, stepped by the test's clock and
// writing the port file as the emulator does: each road in turn red and yellow 1 s, green 4 s,
// yellow 1 s, then red, with 1 s of all red; 14 s a cycle. A car waits at most 10 s.
class CycleController {
public:
    explicit CycleController(Fault fault, std::string portFile)
        : m_fault(fault)
        , m_file(std::move(portFile))
    {
    }

    void step(milliseconds now)
    {
        const long long t = now.count() % 14'000;
        const auto phase = [this](long long u) -> std::uint8_t {
            if (u < 0 || u >= 6'000)
                return 1;
            if (u < 1'000)
                return 2;
            if (u < 5'000)
                return 4;
            return m_fault == Fault::SkipsYellow ? 1 : 3;
        };
        std::uint8_t eastWest = phase(t);
        // Both roads: the north-south road starts while the east-west one shows yellow.
        const std::uint8_t northSouth = phase(t - (m_fault == Fault::BothRoads ? 5'000 : 7'000));
        if (m_fault == Fault::OutOfRange && t >= 2'000 && t < 3'000)
            eastWest = 7;
        const std::array<std::uint8_t, 4> lights{eastWest, northSouth, phase(t),
                                                 m_fault == Fault::NeverLight4 ? std::uint8_t(1) : northSouth};
        for (int i = 0; i < 4; ++i) {
            if (lights[i] != m_shown[i])
                bexen::io::writePortByte(160 + i, lights[i], m_file);
            m_shown[i] = lights[i];
        }
        // An open panel writes its check boxes, none ticked here, over the test's car.
        if (m_fault == Fault::PanelOpen && now >= milliseconds(3'000) && !m_panelWrote) {
            bexen::io::writePortByte(150, 2, m_file);
            m_panelWrote = true;
        }
    }

private:
    Fault m_fault;
    std::string m_file;
    std::array<std::uint8_t, 4> m_shown{};
    bool m_panelWrote = false;
};

} // namespace

class TestGrading : public QObject {
    Q_OBJECT

private slots:
    void verdicts_data();
    void verdicts();
    void faultyScenarioIsRefused_data();
    void faultyScenarioIsRefused();
    void titleIsTheWordsAfterTheKeyword_data();
    void titleIsTheWordsAfterTheKeyword();
};

void TestGrading::verdicts_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QStringList>("scenarios"); // built-in names; "impossible" is a file
    QTest::addColumn<QStringList>("lines"); // each line of stdout starts so
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("error"); // on stderr; empty: nothing there
    QTest::addColumn<QString>("chartMark"); // "NAME:CLASS": a mark the chart of NAME holds

    QTest::newRow("a correct controller passes the whole suite")
            << int(Fault::None) << QStringList{}
            << QStringList{"PASS quiet (20.0 s)", "PASS car-at-1 (25.0 s)", "PASS car-at-2 (25.0 s)",
                           "PASS car-at-3 (25.0 s)", "PASS car-at-4 (25.0 s)",
                           "PASS both-roads (35.0 s)", "PASS steady-stream (45.0 s)",
                           "PASS rush-hour (60.0 s)", "8 of 8 scenarios passed; score 16 of 16"}
            << 0 << QString() << QString();
    // The car comes at 1.0 s; the checker sees it at 1.1 s and finds it waited too long once
    // more than 20 s have gone, at 21.2 s.
    QTest::newRow("light 4 never answered fails car-at-4 alone")
            << int(Fault::NeverLight4) << QStringList{"quiet", "car-at-3", "car-at-4", "both-roads"}
            << QStringList{"PASS quiet (20.0 s)", "PASS car-at-3 (25.0 s)",
                           QString("FAIL car-at-4: at 21.2 s: the car at light 4 waited 20.2 s and its light "
                                   "never turned green (it showed 1 red)"),
                           "PASS both-roads (35.0 s)", "3 of 4 scenarios passed; score 5 of 7"}
            << 3 << QString() << QString();
    QTest::newRow("yellow skipped")
            << int(Fault::SkipsYellow) << QStringList{"quiet"}
            << QStringList{"FAIL quiet: at 5.0 s: illegal change: light 1 (port 160) went from 4 green "
                           "to 1 red (from 4 only 3 or 0 may follow) (and 5 more)",
                           "0 of 1 scenarios passed; score 0 of 1"}
            << 3 << QString() << QString();
    QTest::newRow("both roads moving")
            << int(Fault::BothRoads) << QStringList{"quiet"}
            << QStringList{"FAIL quiet: at 5.0 s: both roads moving: east-west light 1 (port 160) 3 "
                           "yellow, light 3 (port 162) 3 yellow; north-south light 2 (port 161) 2 red "
                           "and yellow, light 4 (port 163) 2 red and yellow",
                           "0 of 1"}
            << 3 << QString() << "quiet:both-roads-moving";
    QTest::newRow("a byte out of range")
            << int(Fault::OutOfRange) << QStringList{"quiet"}
            << QStringList{"FAIL quiet: at 2.0 s: value out of range: light 1 (port 160) holds 7, "
                           "outside 0..4",
                           "0 of 1"}
            << 3 << QString() << QString();
    QTest::newRow("an impossible expectation")
            << int(Fault::None) << QStringList{"impossible"}
            << QStringList{"FAIL impossible: at 3.0 s: expected light 2 (port 161) at 0 dark within "
                           "2.0 s of 1.0 s; it showed 1 red",
                           "0 of 1"}
            << 3 << QString() << "impossible:failed-expectation";
    QTest::newRow("a second writer of port 150")
            << int(Fault::PanelOpen) << QStringList{"quiet", "car-at-1"}
            << QStringList{"FAIL quiet: at 3.0 s: another program writes port 150 (such as an open panel)",
                           "FAIL car-at-1: not run: the run stopped", "0 of 2"}
            << 1
            << "bexen-ports: test: another program (such as an open panel) writes port 150: port "
               "150 holds 2 = 00000010, but the test wrote 0 = 00000000; nothing is graded on a port "
               "the test does not control\n"
            << QString();
}

void TestGrading::verdicts()
{
    QFETCH(int, fault);
    QFETCH(QStringList, scenarios);
    QFETCH(QStringList, lines);
    QFETCH(int, code);
    QFETCH(QString, error);
    QFETCH(QString, chartMark);

    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(writeFileBytes(tmp.filePath("impossible.txt"), "duration 5\n1 expect light 2 dark within 2\n"));
    QDir::setCurrent(tmp.path());
    ManualClock clock;
    CycleController controller(static_cast<Fault>(fault), tmp.portFileStd());
    controller.step(clock.elapsed());
    clock.onAdvance = [&](ManualClock &c) { controller.step(c.elapsed()); };

    QStringList args{"test", "--charts", tmp.filePath("charts")};
    for (const QString &s : scenarios)
        args << (s == "impossible" ? tmp.filePath("impossible.txt") : s);
    const CliOutcome o = runCli(args, clock);
    QCOMPARE(o.err, error);
    const QStringList out = o.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(out.size(), lines.size());
    for (int i = 0; i < lines.size(); ++i)
        QVERIFY2(out[i].startsWith(lines[i]), qPrintable(out[i]));
    QCOMPARE(o.code, code);
    if (error.isEmpty())
        QCOMPARE(tmp.portBytes().at(50), '\0'); // every sensor clear at the end
    if (!chartMark.isEmpty()) {
        const QStringList mark = chartMark.split(':');
        const QByteArray svg = fileBytes(tmp.filePath("charts/" + mark[0] + ".svg"));
        QVERIFY2(svg.contains("class=\"violation " + mark[1].toUtf8() + "\""), svg.left(200).constData());
    }
}

void TestGrading::faultyScenarioIsRefused_data()
{
    QTest::addColumn<QByteArray>("text"); // empty: no such file
    QTest::addColumn<QString>("error"); // after "bexen-ports: test: FILE"

    QTest::newRow("unknown statement") << QByteArray("name x\nwait 3\n")
            << ":2: unknown statement \"wait\"; a line is name, title, points, duration, max-wait, "
               "visibility, or a TIME and then sensor, car, expect or random-cars";
    QTest::newRow("light 5") << QByteArray("# a car\n1 car 5\n") << ":2: light number \"5\" is not 1 to 4";
    QTest::newRow("out of order") << QByteArray("2 car 1\n1 car 2\n")
            << ":2: time 1.000 s comes before the previous step's 2.000 s; steps go in time order";
    QTest::newRow("unknown state") << QByteArray("1 expect light 1 blue\n")
            << ":1: state \"blue\" is not 0 to 4 or dark, red, red-yellow, yellow, green";
    QTest::newRow("a light set") << QByteArray("1 light 1 4\n")
            << ":1: unknown step \"light\"; a step is sensor, car, expect or random-cars (the lights "
               "are the controller's)";
    QTest::newRow("past the duration") << QByteArray("duration 5\n1 car 1\n8 car 2\n")
            << ":3: falls at 8.000 s, after the scenario's duration of 5.000 s";
    QTest::newRow("points twice") << QByteArray("points 2\npoints 3\n") << ":2: points given twice";
    QTest::newRow("random cars without within") << QByteArray("0 random-cars 4 in 10\n")
            << ":1: expected within S, not \"in\"";
    QTest::newRow("neither built in nor a file") << QByteArray()
            << "\" is neither a built-in one (see test --list) nor a file";
}

void TestGrading::faultyScenarioIsRefused()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);

    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    const QByteArray before(64, '\x01');
    QVERIFY(tmp.writePortBytes(before));
    const QString file = tmp.filePath("faulty.txt");
    if (!text.isEmpty())
        QVERIFY(writeFileBytes(file, text));
    ManualClock clock;
    const CliOutcome o = runCli({"test", "car-at-1", file}, clock);
    QVERIFY2(refusalFault(o, file + error).isEmpty(), qPrintable(refusalFault(o, file + error)));
    QCOMPARE(tmp.portBytes(), before);
}

void TestGrading::titleIsTheWordsAfterTheKeyword_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("title");

    QTest::newRow("plain") << "title Rush hour" << "Rush hour";
    // The first word is also found inside "title" itself.
    QTest::newRow("a word inside the keyword") << "title it works" << "it works";
    QTest::newRow("the keyword again") << "title title" << "title";
    QTest::newRow("blanks between and after") << "title\t two   cars  # at once" << "two cars";
}

void TestGrading::titleIsTheWordsAfterTheKeyword()
{
    QFETCH(QString, line);
    QFETCH(QString, title);

    const ParsedScenario parsed = parseScenario((line + "\n1 car 1\n").toStdString(), "t");
    QVERIFY(!parsed.error);
    QCOMPARE(QString::fromStdString(parsed.scenario.title), title);
}

QTEST_GUILESS_MAIN(TestGrading)
#include "tst_grading.moc"
