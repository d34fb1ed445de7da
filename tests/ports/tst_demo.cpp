// SPDX-License-Identifier: MIT
#include "commands/cli.h"
#include "commands/demo.h"
#include "shared/interrupt.h"
#include "junction_fake.h"
#include "model/checker.h"
#include "port_channel.h"

#include <gtest/gtest.h>

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
    std::vector<std::string> violations;

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
            violations.push_back(std::string(ruleName(v.rule)) + ": " + v.detail);
    }

    // When the light was first written green at or after `from`, or -1.
    std::int64_t greenAt(int light, milliseconds from = milliseconds(0)) const
    {
        for (const auto &w : junction.writes) {
            if (w.port == lightPort(light) && w.value == kGreen && w.at >= from)
                return w.at.count();
        }
        return -1;
    }

    // Every light stepped only where its cycle goes, starting from `initial`.
    std::string firstIllegalChange(const std::array<std::uint8_t, 4> &initial) const
    {
        std::array<std::uint8_t, 4> value = initial;
        for (const auto &w : junction.writes) {
            auto &v = value[static_cast<std::size_t>(w.port - 160)];
            if (!isLegalChange(v, w.value))
                return "port " + std::to_string(w.port) + ": " + std::to_string(v) + " -> "
                       + std::to_string(w.value) + " at " + std::to_string(w.at.count()) + " ms";
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

class Demo : public ::testing::Test {
protected:
    void SetUp() override { clearStopRequest(); }
};

std::string joined(const std::vector<std::string> &lines)
{
    return join(lines, "\n");
}

TEST_F(Demo, ServesEveryCarWithinTheRules)
{
    struct Row {
        const char *name;
        std::array<int, 4> timesMs; // min green, yellow, red and yellow, all red
        unsigned seed;
        int perThousand; // chance of a car per light per 100 ms
        std::vector<int> lights;
        // The longest a car can wait, worked out by hand: it arrives as its own road turns
        // yellow, and waits out yellow, all red, the other road's red and yellow and minimum
        // green, its yellow, all red and its own red and yellow; plus the poll that first sees it.
        int longestWaitMs;
    };
    const std::array<int, 4> defaults{5000, 2000, 1000, 1000};
    const Row rows[] = {
            {"light traffic", defaults, 1u, 3, {1, 2, 3, 4}, 13100},
            {"heavy traffic", defaults, 2u, 100, {1, 2, 3, 4}, 13100},
            {"north-south only", defaults, 3u, 20, {2, 4}, 13100},
            {"one light only", defaults, 4u, 5, {3}, 13100},
            // The same sum with other times: 0.5 + 0.3 + 0.4 + 8 + 0.5 + 0.3 + 0.4 = 10.4 s.
            {"other phase times", {8000, 500, 400, 300}, 5u, 50, {1, 2, 3, 4}, 10500},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        DemoTimes times;
        times.minGreen = milliseconds(row.timesMs[0]);
        times.yellow = milliseconds(row.timesMs[1]);
        times.redYellow = milliseconds(row.timesMs[2]);
        times.allRed = milliseconds(row.timesMs[3]);
        const milliseconds length = minutes(10);
        const auto arrivals = randomArrivals(row.seed, row.perThousand, length, row.lights);
        EXPECT_GT(arrivals.size(), 5u);

        DemoRun run;
        run.run(times, length, arrivals, milliseconds(row.longestWaitMs));
        EXPECT_TRUE(run.violations.empty()) << joined(run.violations);
        EXPECT_LE(run.traffic->longestWait, milliseconds(row.longestWaitMs))
                << "a car waited " << run.traffic->longestWait.count() << " ms";
        EXPECT_EQ(run.traffic->waitingSince(length - milliseconds(row.longestWaitMs)), 0u);
        EXPECT_GT(run.traffic->served, 0u);
        EXPECT_EQ(run.firstIllegalChange({}), "");
        EXPECT_TRUE(run.allRed());
    }
}

TEST_F(Demo, CarAcrossEndsTheGreen)
{
    struct Row {
        const char *name;
        int arrivalMs;
        int light;
        int minGreenMs;
        int greenMs;
    };
    // Default times: the demo finds every light dark, puts all four to red at 0, holds all red
    // for 1 s, and gives east-west red and yellow at 1 s and green at 2 s. A car across ends the
    // green once it has lasted its minimum: yellow 2 s, all red 1 s, red and yellow 1 s.
    const Row rows[] = {
            {"car after the minimum green", 10000, 2, 5000, 14000}, // 10+2+1+1
            {"car during the minimum green", 3000, 4, 5000, 11000}, // 2+5 then +4
            {"longer minimum green", 3000, 2, 10000, 16000}, // 2+10 then +4
            {"car between polls is seen at the next", 10050, 4, 5000, 14100},
            {"first car decides the first road", 500, 2, 5000, 2000},
            {"car on the road that starts", 500, 3, 5000, 2000},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        DemoTimes times;
        times.minGreen = milliseconds(row.minGreenMs);
        DemoRun run;
        run.run(times, seconds(30), {{milliseconds(row.arrivalMs), row.light}});
        EXPECT_TRUE(run.violations.empty()) << joined(run.violations);
        EXPECT_EQ(run.greenAt(row.light), row.greenMs);
        const int across = row.light % 2 == 1 ? 2 : 1;
        if (row.greenMs > 2000) { // the other road had the green first, and gave it up through yellow
            EXPECT_EQ(run.greenAt(across), 2000);
        }
    }
}

TEST_F(Demo, GreenStaysWithoutCarAcross)
{
    // Cars only on the east-west road: it keeps its green for the whole run.
    DemoRun run;
    run.run(DemoTimes{}, minutes(5), randomArrivals(7, 30, minutes(5), {1, 3}));
    EXPECT_TRUE(run.violations.empty()) << joined(run.violations);
    EXPECT_EQ(writesText(run.junction.writes, 8),
              "160=1@0 161=1@0 162=1@0 163=1@0 160=2@1000 162=2@1000 160=4@2000 162=4@2000");
    // Then only the stop: yellow at 5 min, red 2 s later.
    ASSERT_EQ(run.junction.writes.size(), 12u);
    EXPECT_EQ(writesText(std::vector<TimedWrite>(run.junction.writes.begin() + 8,
                                                 run.junction.writes.end())),
              "160=3@300000 162=3@300000 160=1@302000 162=1@302000");
    // Only the cars that came before the first green waited, 2 s at the most.
    EXPECT_LE(run.traffic->longestWait, milliseconds(2000));
}

TEST_F(Demo, LongestGreenAlternates)
{
    DemoTimes times;
    times.maxGreen = seconds(20);
    DemoRun run;
    run.run(times, milliseconds(48500));
    EXPECT_TRUE(run.violations.empty()) << joined(run.violations);
    // East-west green 2 s to 22 s, yellow to 24 s, all red to 25 s, north-south red and yellow to
    // 26 s, green to 46 s, yellow to 48 s; the stop comes in the all red that follows.
    EXPECT_EQ(run.greenAt(1), 2000);
    EXPECT_EQ(run.greenAt(2), 26000);
    EXPECT_EQ(run.greenAt(1, milliseconds(3000)), -1);
    EXPECT_EQ(run.clock.elapsed(), milliseconds(48500));
    EXPECT_TRUE(run.allRed());
}

TEST_F(Demo, StopEndsSafely)
{
    struct Row {
        const char *name;
        int stopMs;
        int carAtLight2Ms; // -1: none
        int endMs;
        bool greenShown;
    };
    // Default times; the east-west road: red and yellow at 1 s, green at 2 s.
    const Row rows[] = {
            {"in the first all red", 500, -1, 500, false},
            // Red and yellow runs to its end, the green shows for two polls, then a full yellow.
            {"in red and yellow", 1500, -1, 4200, true},
            {"in green", 30000, -1, 32000, true},
            {"in green, right after it came", 2000, -1, 4200, true},
            // A car at light 2 at 10 s ends the green: yellow to 12 s, all red to 13 s.
            {"in yellow", 11000, 10000, 12000, true},
            {"in all red between the roads", 12500, 10000, 12500, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<Arrival> arrivals;
        if (row.carAtLight2Ms >= 0)
            arrivals.push_back({milliseconds(row.carAtLight2Ms), 2});
        DemoRun run;
        run.run(DemoTimes{}, milliseconds(row.stopMs), arrivals);
        EXPECT_TRUE(run.violations.empty()) << joined(run.violations);
        EXPECT_EQ(run.clock.elapsed(), milliseconds(row.endMs));
        EXPECT_TRUE(run.allRed());
        EXPECT_EQ(run.greenAt(1) >= 0, row.greenShown);
        EXPECT_EQ(run.greenAt(2), -1);
        EXPECT_EQ(run.firstIllegalChange({}), "");
        EXPECT_TRUE(endsWith(run.log.str(), "  all lights red; the demo ends\n")) << run.log.str();
    }
}

TEST_F(Demo, TakesOverFromAnyState)
{
    struct Row {
        const char *name;
        std::array<std::uint8_t, 4> initial;
        std::string writes;
    };
    // Green goes through yellow (2 s), anything else that is not red or dark goes dark for two
    // polls; then every light is red, all red holds 1 s, and east-west gets red and yellow.
    const Row rows[] = {
            {"all green", {4, 4, 4, 4},
             "160=3@0 161=3@0 162=3@0 163=3@0 160=1@2000 161=1@2000 162=1@2000 163=1@2000 "
             "160=2@3000 162=2@3000"},
            {"all red and yellow", {2, 2, 2, 2},
             "160=0@0 161=0@0 162=0@0 163=0@0 160=1@200 161=1@200 162=1@200 163=1@200 160=2@1200 "
             "162=2@1200"},
            {"all red", {1, 1, 1, 1}, "160=2@1000 162=2@1000"},
            {"all dark", {0, 0, 0, 0}, "160=1@0 161=1@0 162=1@0 163=1@0 160=2@1000 162=2@1000"},
            {"out of range, yellow, dark, red", {9, 3, 0, 1},
             "160=0@0 160=1@2000 161=1@2000 162=1@2000 160=2@3000 162=2@3000"},
            {"mixed", {200, 4, 1, 2},
             "160=0@0 161=3@0 163=0@0 160=1@2000 161=1@2000 163=1@2000 160=2@3000 162=2@3000"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        DemoRun run;
        run.junction.state().lights = row.initial;
        run.run(DemoTimes{}, seconds(10));
        EXPECT_EQ(writesText(run.junction.writes, static_cast<std::size_t>(countOf(row.writes, '@'))),
                  row.writes);
        EXPECT_EQ(run.firstIllegalChange(row.initial), "");
        EXPECT_TRUE(run.allRed());
    }
}

TEST_F(Demo, PortFileFailure)
{
    ManualClock clock;
    FakeJunction junction(clock);
    junction.failAfter = 30;
    std::ostringstream log;
    JunctionDemo demo(junction, clock, DemoTimes{}, [] { return false; }, log);
    EXPECT_THROW(demo.run(), PortFailure);
}

TEST_F(Demo, CommandOnRealFile)
{
    PrivateTmpDir tmp;
    ASSERT_FALSE(bexen::io::writePortByte(160, 4, tmp.portFile()));
    ManualClock clock;
    bool carCame = false;
    clock.onAdvance = [&](ManualClock &c) {
        if (!carCame && c.elapsed() >= milliseconds(4000)) { // a car at light 4, as the panel writes it
            carCame = true;
            EXPECT_FALSE(bexen::io::writePortByte(150, 8, tmp.portFile()));
        }
    };
    const CliOutcome o = runCli({"demo", "--min-green", "1", "--yellow", "0.5", "--red-yellow=0.25",
                                 "--all-red", "0.2", "--duration", "8"},
                                clock);
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.err, "");
    EXPECT_TRUE(startsWith(o.out, "demo: playing the emulated program on " + tmp.portFile())) << o.out;
    // Light 1 was green: yellow 0.5 s, all red 0.2 s, east-west red and yellow 0.25 s, green at
    // 0.95 s. The demo polls at 0.95 s and every 100 ms after, so the car that comes at 4 s is
    // seen at 4.05 s, after 3.1 s of green.
    EXPECT_TRUE(contains(o.out, "east-west road (lights 1 and 3): yellow (car waiting at light 4 "
                                "after 3.100 s of green)"))
            << o.out;
    EXPECT_TRUE(contains(o.out, "north-south road (lights 2 and 4): green\n"));
    EXPECT_TRUE(endsWith(o.out, "all lights red; the demo ends\n"));
    const std::string bytes = tmp.portBytes();
    ASSERT_EQ(bytes.size(), 64u);
    EXPECT_EQ(bytes.substr(60, 4), std::string("\x01\x01\x01\x01", 4));
    EXPECT_EQ(bytes[50], 8); // the sensors are only read

    // Ctrl-C ends a run without --duration just the same.
    ManualClock clock2;
    clock2.onAdvance = [](ManualClock &c) {
        if (c.elapsed() == seconds(20))
            requestStop();
    };
    const CliOutcome o2 = runCli({"demo"}, clock2);
    EXPECT_EQ(o2.code, 0);
    EXPECT_EQ(tmp.portBytes().substr(60, 4), std::string("\x01\x01\x01\x01", 4));
}
