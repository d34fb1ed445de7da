// SPDX-License-Identifier: MIT
#include "commands/cli.h"
#include "commands/demo.h"
#include "shared/interrupt.h"
#include "junction_fake.h"
#include "model/checker.h"
#include "support/private_tmpdir.h"

#include <QtTest>

#include <deque>
#include <random>
#include <sstream>

using namespace bexen::ports;
using namespace std::chrono;

namespace {

struct Arrival {
    milliseconds at;
    int light;
};

// Cars come to the junction at chosen moments; each waits, its sensor set, until its light is
// green, and then drives off. A car that finds its light green drives on without waiting.
class Traffic {
public:
    Traffic(FakeJunction &junction, std::vector<Arrival> arrivals)
        : m_junction(junction)
        , m_arrivals(std::move(arrivals))
    {
        std::sort(m_arrivals.begin(), m_arrivals.end(),
                  [](const Arrival &a, const Arrival &b) { return a.at < b.at; });
    }

    void step(milliseconds now)
    {
        while (m_next < m_arrivals.size() && m_arrivals[m_next].at <= now) {
            const Arrival &a = m_arrivals[m_next++];
            m_waiting[static_cast<std::size_t>(a.light - 1)].push_back(a.at);
        }
        for (int light = 1; light <= 4; ++light) {
            auto &queue = m_waiting[static_cast<std::size_t>(light - 1)];
            if (m_junction.light(light) == kGreen) {
                for (milliseconds arrived : queue)
                    longestWait = std::max(longestWait, now - arrived);
                served += queue.size();
                queue.clear();
            }
            m_junction.setCar(light, !queue.empty());
        }
    }

    // Cars still waiting that arrived before `before`.
    std::size_t waitingSince(milliseconds before) const
    {
        std::size_t n = 0;
        for (const auto &queue : m_waiting)
            n += static_cast<std::size_t>(std::count_if(queue.begin(), queue.end(),
                                                        [&](milliseconds at) { return at < before; }));
        return n;
    }

    milliseconds longestWait{0};
    std::size_t served = 0;

private:
    FakeJunction &m_junction;
    std::vector<Arrival> m_arrivals;
    std::size_t m_next = 0;
    std::array<std::deque<milliseconds>, 4> m_waiting;
};

// The demo's run on an in-memory junction with a manual clock, the traffic and a checker
// looking at every poll.
struct DemoRun {
    ManualClock clock;
    FakeJunction junction{clock};
    std::ostringstream log;
    std::optional<Traffic> traffic;
    std::optional<ConflictChecker> checker;
    QStringList violations;

    void run(const DemoTimes &times, milliseconds stopAt, std::vector<Arrival> arrivals = {},
             milliseconds maxWait = milliseconds(60'000))
    {
        traffic.emplace(junction, std::move(arrivals));
        checker.emplace(maxWait);
        traffic->step(milliseconds(0));
        clock.onAdvance = [this](ManualClock &c) {
            traffic->step(c.elapsed());
            judge();
        };
        JunctionDemo demo(junction, clock, times, [&] { return clock.elapsed() >= stopAt; }, log);
        demo.run();
        // The state the demo leaves behind is judged too.
        judge();
    }

    void judge()
    {
        for (const Violation &v : checker->observe(junction.state(), clock.now()))
            violations << QString::fromStdString(std::string(ruleName(v.rule)) + ": " + v.detail);
    }

    // When the light was first written green at or after `from`, or -1.
    qint64 greenAt(int light, milliseconds from = milliseconds(0)) const
    {
        for (const auto &w : junction.writes) {
            if (w.port == lightPort(light) && w.value == kGreen && w.at >= from)
                return w.at.count();
        }
        return -1;
    }

    // Every light stepped only where its cycle goes, starting from `initial`.
    QString firstIllegalChange(const std::array<std::uint8_t, 4> &initial) const
    {
        std::array<std::uint8_t, 4> value = initial;
        for (const auto &w : junction.writes) {
            auto &v = value[static_cast<std::size_t>(w.port - 160)];
            if (!isLegalChange(v, w.value))
                return QString("port %1: %2 -> %3 at %4 ms").arg(w.port).arg(v).arg(w.value).arg(w.at.count());
            v = w.value;
        }
        return {};
    }

    bool allRed() const
    {
        const auto &l = junction.state().lights;
        return std::all_of(l.begin(), l.end(), [](std::uint8_t v) { return v == kRed; });
    }
};

std::vector<Arrival> randomArrivals(unsigned seed, int perThousand, milliseconds until,
                                    const std::vector<int> &lights)
{
    std::minstd_rand random(seed);
    std::vector<Arrival> arrivals;
    for (milliseconds t{0}; t < until; t += milliseconds(100)) {
        for (int light : lights) {
            if (static_cast<int>(random() % 1000) < perThousand)
                arrivals.push_back({t, light});
        }
    }
    return arrivals;
}

} // namespace

class TestDemo : public QObject {
    Q_OBJECT

private slots:
    void init() { clearStopRequest(); }

    void servesEveryCarWithinTheRules_data();
    void servesEveryCarWithinTheRules();
    void carAcrossEndsTheGreen_data();
    void carAcrossEndsTheGreen();
    void greenStaysWithoutCarAcross();
    void longestGreenAlternates();
    void stopEndsSafely_data();
    void stopEndsSafely();
    void takesOverFromAnyState_data();
    void takesOverFromAnyState();
    void portFileFailure();

    void commandOnRealFile();
};

void TestDemo::servesEveryCarWithinTheRules_data()
{
    QTest::addColumn<QList<int>>("timesMs"); // min green, yellow, red and yellow, all red
    QTest::addColumn<unsigned>("seed");
    QTest::addColumn<int>("perThousand"); // chance of a car per light per 100 ms
    QTest::addColumn<QList<int>>("lights");
    // The longest a car can wait, worked out by hand: it arrives as its own road turns yellow,
    // and waits out yellow, all red, the other road's red and yellow and minimum green, its
    // yellow, all red and its own red and yellow; plus the poll that first sees it.
    QTest::addColumn<int>("longestWaitMs");

    const QList<int> defaults{5000, 2000, 1000, 1000};
    QTest::newRow("light traffic") << defaults << 1u << 3 << QList<int>{1, 2, 3, 4} << 13100;
    QTest::newRow("heavy traffic") << defaults << 2u << 100 << QList<int>{1, 2, 3, 4} << 13100;
    QTest::newRow("north-south only") << defaults << 3u << 20 << QList<int>{2, 4} << 13100;
    QTest::newRow("one light only") << defaults << 4u << 5 << QList<int>{3} << 13100;
    // The same sum with other times: 0.5 + 0.3 + 0.4 + 8 + 0.5 + 0.3 + 0.4 = 10.4 s.
    QTest::newRow("other phase times") << QList<int>{8000, 500, 400, 300} << 5u << 50
                                       << QList<int>{1, 2, 3, 4} << 10500;
}

void TestDemo::servesEveryCarWithinTheRules()
{
    QFETCH(QList<int>, timesMs);
    QFETCH(unsigned, seed);
    QFETCH(int, perThousand);
    QFETCH(QList<int>, lights);
    QFETCH(int, longestWaitMs);

    DemoTimes times;
    times.minGreen = milliseconds(timesMs[0]);
    times.yellow = milliseconds(timesMs[1]);
    times.redYellow = milliseconds(timesMs[2]);
    times.allRed = milliseconds(timesMs[3]);
    const milliseconds length = minutes(10);
    std::vector<int> lightList(lights.begin(), lights.end());
    const auto arrivals = randomArrivals(seed, perThousand, length, lightList);
    QVERIFY(arrivals.size() > 5);

    DemoRun run;
    run.run(times, length, arrivals, milliseconds(longestWaitMs));
    QVERIFY2(run.violations.isEmpty(), qPrintable(run.violations.join('\n')));
    QVERIFY2(run.traffic->longestWait <= milliseconds(longestWaitMs),
             qPrintable(QString("a car waited %1 ms").arg(run.traffic->longestWait.count())));
    QCOMPARE(run.traffic->waitingSince(length - milliseconds(longestWaitMs)), std::size_t(0));
    QVERIFY(run.traffic->served > 0);
    QVERIFY(run.firstIllegalChange({}).isEmpty());
    QVERIFY(run.allRed());
}

void TestDemo::carAcrossEndsTheGreen_data()
{
    QTest::addColumn<int>("arrivalMs");
    QTest::addColumn<int>("light");
    QTest::addColumn<int>("minGreenMs");
    QTest::addColumn<int>("greenMs");

    // Default times: the demo finds every light dark, puts all four to red at 0, holds all red
    // for 1 s, and gives east-west red and yellow at 1 s and green at 2 s. A car across ends the
    // green once it has lasted its minimum: yellow 2 s, all red 1 s, red and yellow 1 s.
    QTest::newRow("car after the minimum green") << 10000 << 2 << 5000 << 14000; // 10+2+1+1
    QTest::newRow("car during the minimum green") << 3000 << 4 << 5000 << 11000; // 2+5 then +4
    QTest::newRow("longer minimum green") << 3000 << 2 << 10000 << 16000; // 2+10 then +4
    QTest::newRow("car between polls is seen at the next") << 10050 << 4 << 5000 << 14100;
    QTest::newRow("first car decides the first road") << 500 << 2 << 5000 << 2000;
    QTest::newRow("car on the road that starts") << 500 << 3 << 5000 << 2000;
}

void TestDemo::carAcrossEndsTheGreen()
{
    QFETCH(int, arrivalMs);
    QFETCH(int, light);
    QFETCH(int, minGreenMs);
    QFETCH(int, greenMs);

    DemoTimes times;
    times.minGreen = milliseconds(minGreenMs);
    DemoRun run;
    run.run(times, seconds(30), {{milliseconds(arrivalMs), light}});
    QVERIFY2(run.violations.isEmpty(), qPrintable(run.violations.join('\n')));
    QCOMPARE(run.greenAt(light), qint64(greenMs));
    const int across = light % 2 == 1 ? 2 : 1;
    if (greenMs > 2000) // the other road had the green first, and gave it up through yellow
        QCOMPARE(run.greenAt(across), qint64(2000));
}

void TestDemo::greenStaysWithoutCarAcross()
{
    // Cars only on the east-west road: it keeps its green for the whole run.
    DemoRun run;
    run.run(DemoTimes{}, minutes(5), randomArrivals(7, 30, minutes(5), {1, 3}));
    QVERIFY2(run.violations.isEmpty(), qPrintable(run.violations.join('\n')));
    QCOMPARE(writesText(run.junction.writes, 8),
             QString("160=1@0 161=1@0 162=1@0 163=1@0 160=2@1000 162=2@1000 160=4@2000 162=4@2000"));
    // Then only the stop: yellow at 5 min, red 2 s later.
    QCOMPARE(run.junction.writes.size(), std::size_t(12));
    QCOMPARE(writesText(run.junction.writes, 12).section(' ', 8),
             QString("160=3@300000 162=3@300000 160=1@302000 162=1@302000"));
    // Only the cars that came before the first green waited, 2 s at the most.
    QVERIFY(run.traffic->longestWait <= milliseconds(2000));
}

void TestDemo::longestGreenAlternates()
{
    DemoTimes times;
    times.maxGreen = seconds(20);
    DemoRun run;
    run.run(times, milliseconds(48500));
    QVERIFY2(run.violations.isEmpty(), qPrintable(run.violations.join('\n')));
    // East-west green 2 s to 22 s, yellow to 24 s, all red to 25 s, north-south red and yellow to
    // 26 s, green to 46 s, yellow to 48 s; the stop comes in the all red that follows.
    QCOMPARE(run.greenAt(1), qint64(2000));
    QCOMPARE(run.greenAt(2), qint64(26000));
    QCOMPARE(run.greenAt(1, milliseconds(3000)), qint64(-1));
    QCOMPARE(run.clock.elapsed(), milliseconds(48500));
    QVERIFY(run.allRed());
}

void TestDemo::stopEndsSafely_data()
{
    QTest::addColumn<int>("stopMs");
    QTest::addColumn<int>("carAtLight2Ms"); // -1: none
    QTest::addColumn<int>("endMs");
    QTest::addColumn<bool>("greenShown");

    // Default times; the east-west road: red and yellow at 1 s, green at 2 s.
    QTest::newRow("in the first all red") << 500 << -1 << 500 << false;
    // Red and yellow runs to its end, the green shows for two polls, then a full yellow.
    QTest::newRow("in red and yellow") << 1500 << -1 << 4200 << true;
    QTest::newRow("in green") << 30000 << -1 << 32000 << true;
    QTest::newRow("in green, right after it came") << 2000 << -1 << 4200 << true;
    // A car at light 2 at 10 s ends the green: yellow to 12 s, all red to 13 s.
    QTest::newRow("in yellow") << 11000 << 10000 << 12000 << true;
    QTest::newRow("in all red between the roads") << 12500 << 10000 << 12500 << true;
}

void TestDemo::stopEndsSafely()
{
    QFETCH(int, stopMs);
    QFETCH(int, carAtLight2Ms);
    QFETCH(int, endMs);
    QFETCH(bool, greenShown);

    std::vector<Arrival> arrivals;
    if (carAtLight2Ms >= 0)
        arrivals.push_back({milliseconds(carAtLight2Ms), 2});
    DemoRun run;
    run.run(DemoTimes{}, milliseconds(stopMs), arrivals);
    QVERIFY2(run.violations.isEmpty(), qPrintable(run.violations.join('\n')));
    QCOMPARE(run.clock.elapsed(), milliseconds(endMs));
    QVERIFY(run.allRed());
    QCOMPARE(run.greenAt(1) >= 0, greenShown);
    QCOMPARE(run.greenAt(2), qint64(-1));
    QVERIFY(run.firstIllegalChange({}).isEmpty());
    QVERIFY(QString::fromStdString(run.log.str()).endsWith("  all lights red; the demo ends\n"));
}

void TestDemo::takesOverFromAnyState_data()
{
    QTest::addColumn<QList<int>>("initial");
    QTest::addColumn<QString>("writes");

    // Green goes through yellow (2 s), anything else that is not red or dark goes dark for two
    // polls; then every light is red, all red holds 1 s, and east-west gets red and yellow.
    QTest::newRow("all green") << QList<int>{4, 4, 4, 4}
                               << "160=3@0 161=3@0 162=3@0 163=3@0 160=1@2000 161=1@2000 162=1@2000 "
                                  "163=1@2000 160=2@3000 162=2@3000";
    QTest::newRow("all red and yellow") << QList<int>{2, 2, 2, 2}
                                        << "160=0@0 161=0@0 162=0@0 163=0@0 160=1@200 161=1@200 "
                                           "162=1@200 163=1@200 160=2@1200 162=2@1200";
    QTest::newRow("all red") << QList<int>{1, 1, 1, 1} << "160=2@1000 162=2@1000";
    QTest::newRow("all dark") << QList<int>{0, 0, 0, 0}
                              << "160=1@0 161=1@0 162=1@0 163=1@0 160=2@1000 162=2@1000";
    QTest::newRow("out of range, yellow, dark, red")
            << QList<int>{9, 3, 0, 1}
            << "160=0@0 160=1@2000 161=1@2000 162=1@2000 160=2@3000 162=2@3000";
    QTest::newRow("mixed") << QList<int>{200, 4, 1, 2}
                           << "160=0@0 161=3@0 163=0@0 160=1@2000 161=1@2000 163=1@2000 160=2@3000 "
                              "162=2@3000";
}

void TestDemo::takesOverFromAnyState()
{
    QFETCH(QList<int>, initial);
    QFETCH(QString, writes);

    DemoRun run;
    std::array<std::uint8_t, 4> start{};
    for (int k = 0; k < 4; ++k)
        start[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(initial[k]);
    run.junction.state().lights = start;
    run.run(DemoTimes{}, seconds(10));
    QCOMPARE(writesText(run.junction.writes, static_cast<std::size_t>(writes.count('@'))), writes);
    QVERIFY2(run.firstIllegalChange(start).isEmpty(), qPrintable(run.firstIllegalChange(start)));
    QVERIFY(run.allRed());
}

void TestDemo::portFileFailure()
{
    ManualClock clock;
    FakeJunction junction(clock);
    junction.failAfter = 30;
    std::ostringstream log;
    JunctionDemo demo(junction, clock, DemoTimes{}, [] { return false; }, log);
    QVERIFY_THROWS_EXCEPTION(PortFailure, demo.run());
}

void TestDemo::commandOnRealFile()
{
    PrivateTmpDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(!bexen::io::writePortByte(160, 4, tmp.portFileStd()));
    ManualClock clock;
    bool carCame = false;
    clock.onAdvance = [&](ManualClock &c) {
        if (!carCame && c.elapsed() >= milliseconds(4000)) { // a car at light 4, as the panel writes it
            carCame = true;
            QVERIFY(!bexen::io::writePortByte(150, 8, tmp.portFileStd()));
        }
    };
    const CliOutcome o = runCli({"demo", "--min-green", "1", "--yellow", "0.5", "--red-yellow=0.25",
                              "--all-red", "0.2", "--duration", "8"},
                             clock);
    QCOMPARE(o.code, 0);
    QCOMPARE(o.err, QString());
    QVERIFY(o.out.startsWith("demo: playing the emulated program on " + tmp.portFile()));
    // Light 1 was green: yellow 0.5 s, all red 0.2 s, east-west red and yellow 0.25 s, green at
    // 0.95 s. The demo polls at 0.95 s and every 100 ms after, so the car that comes at 4 s is
    // seen at 4.05 s, after 3.1 s of green.
    QVERIFY2(o.out.contains("east-west road (lights 1 and 3): yellow (car waiting at light 4 after "
                            "3.100 s of green)"),
             qPrintable(o.out));
    QVERIFY(o.out.contains("north-south road (lights 2 and 4): green\n"));
    QVERIFY(o.out.endsWith("all lights red; the demo ends\n"));
    const QByteArray bytes = tmp.portBytes();
    QCOMPARE(bytes.size(), 64);
    QCOMPARE(bytes.mid(60, 4), QByteArray("\x01\x01\x01\x01", 4));
    QCOMPARE(int(bytes[50]), 8); // the sensors are only read

    // Ctrl-C ends a run without --duration just the same.
    ManualClock clock2;
    clock2.onAdvance = [](ManualClock &c) {
        if (c.elapsed() == seconds(20))
            requestStop();
    };
    const CliOutcome o2 = runCli({"demo"}, clock2);
    QCOMPARE(o2.code, 0);
    QCOMPARE(tmp.portBytes().mid(60, 4), QByteArray("\x01\x01\x01\x01", 4));
}

QTEST_GUILESS_MAIN(TestDemo)
#include "tst_demo.moc"
