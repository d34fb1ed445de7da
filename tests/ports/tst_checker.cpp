// SPDX-License-Identifier: MIT
#include "commands/cli.h"
#include "shared/interrupt.h"
#include "junction_fake.h"
#include "model/checker.h"
#include "port_channel.h"

#include <gtest/gtest.h>

#include <array>
#include <regex>

using namespace bexen::ports;
using namespace std::chrono;

namespace {

// "ms sensors l1 l2 l3 l4", one sample of the junction.
struct Sample {
    milliseconds at;
    JunctionState state;
};

std::vector<Sample> parseSamples(const std::vector<std::string> &lines)
{
    std::vector<Sample> samples;
    for (const std::string &line : lines) {
        const std::vector<std::string> f = words(line);
        Sample s{milliseconds(std::stoi(f[0])), {}};
        s.state.sensors = static_cast<std::uint8_t>(std::stoi(f[1]));
        for (std::size_t k = 0; k < 4; ++k)
            s.state.lights[k] = static_cast<std::uint8_t>(std::stoi(f[2 + k]));
        samples.push_back(s);
    }
    return samples;
}

class Checker : public ::testing::Test {
protected:
    void SetUp() override { clearStopRequest(); }
};

class CheckerOnTheFile : public Checker {
protected:
    void write(std::int32_t port, std::uint8_t value)
    {
        EXPECT_FALSE(bexen::io::writePortByte(port, value, m_tmp.portFile())) << port;
    }
    PrivateTmpDir m_tmp;
};

} // namespace

TEST_F(Checker, LegalChanges)
{
    // Red, red and yellow, green, yellow, red; dark comes on at red; anything may go dark;
    // staying the same is not a change. Worked out from the cycle by hand.
    // To 0, 1, 2, 3, 4, 5: '1' allowed.
    const std::pair<int, const char *> rows[] = {{0, "110000"}, {1, "111000"}, {2, "101010"},
                                                 {3, "110100"}, {4, "100110"}, {5, "100001"}};
    for (const auto &[from, allowed] : rows) {
        for (int to = 0; to <= 5; ++to)
            EXPECT_EQ(isLegalChange(static_cast<std::uint8_t>(from), static_cast<std::uint8_t>(to)),
                      allowed[to] == '1')
                    << from << " -> " << to;
    }
}

TEST_F(Checker, Rules)
{
    struct Row {
        const char *name;
        std::vector<std::string> samples;
        int maxWaitMs;
        std::array<int, 4> counts; // out of range, both moving, illegal change, car waiting
        std::string detail; // part of the first violation's text
    };
    const std::array<int, 4> none{0, 0, 0, 0};
    const Row rows[] = {
            // The legal cycle, both roads in turn, with cars served in time.
            {"legal cycle",
             {"0 0 1 1 1 1", "1000 0 2 1 2 1", "2000 0 4 1 4 1", "3000 2 4 1 4 1", "7000 2 3 1 3 1",
              "9000 2 1 1 1 1", "10000 2 1 2 1 2", "11000 0 1 4 1 4", "16000 0 1 3 1 3",
              "18000 0 1 1 1 1", "18500 0 0 0 0 0", "19000 0 1 1 1 1"},
             60000, none, ""},

            // Values outside 0..4
            {"out of range at the start", {"0 0 1 1 7 1"}, 60000, {1, 0, 0, 0},
             "light 3 (port 162) holds 7"},
            {"into range 255 and back dark",
             {"0 0 1 1 1 1", "100 0 1 255 1 1", "200 0 1 255 1 1", "300 0 1 0 1 1"}, 60000,
             {1, 0, 0, 0}, "light 2 (port 161) holds 255"},
            {"one bad value to another counts twice", {"0 0 5 1 1 1", "100 0 6 1 1 1"}, 60000,
             {2, 0, 0, 0}, "light 1 (port 160) holds 5"},
            {"out of range straight to red", {"0 0 1 1 1 9", "100 0 1 1 1 1"}, 60000, {1, 0, 1, 0},
             "light 4 (port 163) holds 9"},

            // Both roads moving
            {"both green", {"0 0 4 4 1 1"}, 60000, {0, 1, 0, 0},
             "east-west light 1 (port 160) 4 green; north-south light 2 (port 161) 4 green"},
            {"red and yellow against yellow", {"0 0 1 1 3 1", "100 0 1 1 3 2"}, 60000, {0, 1, 0, 0},
             "light 3 (port 162) 3 yellow; north-south light 4 (port 163) 2 red and yellow"},
            {"a lasting conflict is one violation",
             {"0 0 4 1 4 1", "100 0 4 2 4 1", "200 0 4 4 4 1", "300 0 4 4 4 2"}, 60000,
             {0, 1, 0, 0}, "east-west"},
            {"a second conflict counts again",
             {"0 0 4 4 1 1", "100 0 4 0 1 1", "200 0 4 1 1 1", "300 0 4 2 1 1"}, 60000,
             {0, 2, 0, 0}, "east-west"},
            {"one road moving, the other red", {"0 0 4 1 4 1", "100 0 3 1 3 1"}, 60000, none, ""},
            {"out of range is not moving", {"0 0 4 9 4 1"}, 60000, {1, 0, 0, 0}, "holds 9"},

            // Illegal changes
            {"red straight to green", {"0 0 1 1 1 1", "100 0 4 1 1 1"}, 60000, {0, 0, 1, 0},
             "light 1 (port 160) went from 1 red to 4 green"},
            {"green straight to red", {"0 0 1 4 1 1", "100 0 1 1 1 1"}, 60000, {0, 0, 1, 0},
             "from 4 only 3 or 0 may follow"},
            {"yellow back to green", {"0 0 1 1 3 1", "100 0 1 1 4 1"}, 60000, {0, 0, 1, 0},
             "3 yellow to 4 green"},
            {"dark to green", {"0 0 0 0 0 0", "100 0 0 0 0 4"}, 60000, {0, 0, 1, 0},
             "light 4 (port 163) went from 0 dark"},
            {"green switched off", {"0 0 4 1 1 1", "100 0 0 1 1 1"}, 60000, none, ""},
            {"first sample is never a change", {"0 0 4 1 4 1"}, 60000, none, ""},

            // Cars left waiting: sensor bit k-1 for light k
            {"car waits longer than allowed",
             {"0 2 1 1 1 1", "30000 2 1 1 1 1", "60000 2 1 1 1 1", "60100 2 1 1 1 1",
              "90000 2 1 1 1 1"},
             60000, {0, 0, 0, 1}, "light 2 (port 161): a car has waited 60.100 s without green"},
            {"exactly the longest wait is allowed",
             {"0 8 1 1 1 1", "60000 8 1 1 1 1", "60100 0 1 1 1 1"}, 60000, none, ""},
            {"served in time",
             {"0 1 1 1 1 1", "58000 1 2 1 1 1", "59000 1 4 1 1 1", "61000 1 4 1 1 1"}, 60000, none,
             ""},
            {"waiting again after green",
             {"0 4 1 1 4 1", "1000 4 1 1 3 1", "3000 4 1 1 1 1", "11001 4 1 1 1 1"}, 10000,
             {0, 0, 0, 1}, "light 3 (port 162): a car has waited 10.001 s"},
            {"car leaves and another comes",
             {"0 1 1 1 1 1", "9000 0 1 1 1 1", "9100 1 1 1 1 1", "19000 1 1 1 1 1"}, 10000, none, ""},
            {"two cars left waiting", {"0 5 1 4 1 4", "11000 5 1 4 1 4"}, 10000, {0, 0, 0, 2},
             "light 1 (port 160)"},
    };
    const Rule rules[] = {Rule::ValueOutOfRange, Rule::BothRoadsMoving, Rule::IllegalChange,
                          Rule::CarLeftWaiting};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ConflictChecker checker{milliseconds(row.maxWaitMs)};
        std::string first;
        for (const Sample &s : parseSamples(row.samples)) {
            const auto found = checker.observe(s.state, Clock::TimePoint(s.at));
            if (first.empty() && !found.empty())
                first = found.front().detail;
        }
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(checker.count(rules[i]), row.counts[i])
                    << ruleName(rules[i]) << "; first: " << first;
        EXPECT_EQ(checker.total(), row.counts[0] + row.counts[1] + row.counts[2] + row.counts[3]);
        EXPECT_TRUE(contains(first, row.detail)) << first;
    }
}

TEST_F(CheckerOnTheFile, WatchCheckCleanRun)
{
    ManualClock clock;
    // A correct cycle of the east-west road, each step held for a second.
    clock.onAdvance = [&](ManualClock &c) {
        static constexpr std::uint8_t cycle[] = {1, 2, 4, 3, 1};
        const auto step = static_cast<std::size_t>(c.elapsed() / seconds(1));
        const std::uint8_t v = cycle[std::min<std::size_t>(step, 4)];
        write(160, v);
        write(162, v);
    };
    write(160, 1);
    const CliOutcome o = runCli({"watch", "--check", "--duration", "6"}, clock);
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(o.out, "summary: 6.000 s checked, no violations\n");
    EXPECT_EQ(clock.elapsed(), milliseconds(6000));
}

TEST_F(CheckerOnTheFile, WatchCheckReportsAsItHappens)
{
    ManualClock clock;
    clock.onAdvance = [&](ManualClock &c) {
        if (c.elapsed() == milliseconds(1500)) {
            write(160, 4);
            write(161, 4);
        }
    };
    write(160, 1);
    write(161, 1);
    const CliOutcome o = runCli({"watch", "--check", "--duration=3", "--interval", "250"}, clock);
    EXPECT_EQ(o.code, 3);
    const std::vector<std::string> lines = words(o.out, '\n');
    ASSERT_EQ(lines.size(), 4u) << o.out;
    // 1 to 4 on both lights is two illegal changes, and the two roads move at once.
    const std::regex stamp("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}  violation: .*");
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(std::regex_match(lines[i], stamp)) << lines[i];
    EXPECT_TRUE(contains(lines[0], "illegal change: light 1 (port 160) went from 1 red to 4 green"));
    EXPECT_TRUE(contains(lines[1], "illegal change: light 2 (port 161) went from 1 red to 4 green"));
    EXPECT_TRUE(contains(lines[2], "both roads moving: east-west light 1 (port 160) 4 green"));
    EXPECT_EQ(lines[3], "summary: 3.000 s checked, 3 violations: value out of range 0, "
                        "both roads moving 1, illegal change 2, car left waiting 0");
}

TEST_F(CheckerOnTheFile, WatchCheckStopsOnCtrlC)
{
    ManualClock clock;
    clock.onAdvance = [](ManualClock &c) {
        if (c.elapsed() >= seconds(70))
            requestStop();
    };
    write(150, 8); // a car at light 4, never served
    write(163, 1);
    const CliOutcome o = runCli({"watch", "--check", "--max-wait", "61.5"}, clock);
    EXPECT_EQ(o.code, 3);
    EXPECT_EQ(clock.elapsed(), seconds(70));
    EXPECT_TRUE(contains(o.out, "car left waiting: light 4 (port 163): a car has waited 61.600 s "
                                "without green (at most 61.500 s), light at 1 red"))
            << o.out;
    EXPECT_TRUE(endsWith(o.out, "summary: 70.000 s checked, 1 violation: value out of range 0, "
                                "both roads moving 0, illegal change 0, car left waiting 1\n"))
            << o.out;
}
