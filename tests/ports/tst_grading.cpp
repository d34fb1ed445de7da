// SPDX-License-Identifier: MIT
#include "model/scenario.h"
#include "port_channel.h"
#include "ports_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

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

TEST(Grading, Verdicts)
{
    struct Row {
        const char *name;
        Fault fault;
        std::vector<std::string> scenarios; // built-in names; "impossible" is a file
        std::vector<std::string> lines; // each line of stdout starts so
        int code;
        std::string error; // on stderr; empty: nothing there
        std::string chartMark; // "NAME:CLASS": a mark the chart of NAME holds
    };
    const Row rows[] = {
            {"a correct controller passes the whole suite", Fault::None, {},
             {"PASS quiet (20.0 s)", "PASS car-at-1 (25.0 s)", "PASS car-at-2 (25.0 s)",
              "PASS car-at-3 (25.0 s)", "PASS car-at-4 (25.0 s)", "PASS both-roads (35.0 s)",
              "PASS steady-stream (45.0 s)", "PASS rush-hour (60.0 s)",
              "8 of 8 scenarios passed; score 16 of 16"},
             0, "", ""},
            // The car comes at 1.0 s; the checker sees it at 1.1 s and finds it waited too long
            // once more than 20 s have gone, at 21.2 s.
            {"light 4 never answered fails car-at-4 alone", Fault::NeverLight4,
             {"quiet", "car-at-3", "car-at-4", "both-roads"},
             {"PASS quiet (20.0 s)", "PASS car-at-3 (25.0 s)",
              std::string("FAIL car-at-4: at 21.2 s: the car at light 4 waited 20.2 s and its "
                          "light never turned green (it showed 1 red)"),
              "PASS both-roads (35.0 s)", "3 of 4 scenarios passed; score 5 of 7"},
             3, "", ""},
            {"yellow skipped", Fault::SkipsYellow, {"quiet"},
             {"FAIL quiet: at 5.0 s: illegal change: light 1 (port 160) went from 4 green "
              "to 1 red (from 4 only 3 or 0 may follow) (and 5 more)",
              "0 of 1 scenarios passed; score 0 of 1"},
             3, "", ""},
            {"both roads moving", Fault::BothRoads, {"quiet"},
             {"FAIL quiet: at 5.0 s: both roads moving: east-west light 1 (port 160) 3 "
              "yellow, light 3 (port 162) 3 yellow; north-south light 2 (port 161) 2 red "
              "and yellow, light 4 (port 163) 2 red and yellow",
              "0 of 1"},
             3, "", "quiet:both-roads-moving"},
            {"a byte out of range", Fault::OutOfRange, {"quiet"},
             {"FAIL quiet: at 2.0 s: value out of range: light 1 (port 160) holds 7, outside 0..4",
              "0 of 1"},
             3, "", ""},
            {"an impossible expectation", Fault::None, {"impossible"},
             {"FAIL impossible: at 3.0 s: expected light 2 (port 161) at 0 dark within "
              "2.0 s of 1.0 s; it showed 1 red",
              "0 of 1"},
             3, "", "impossible:failed-expectation"},
            {"a second writer of port 150", Fault::PanelOpen, {"quiet", "car-at-1"},
             {"FAIL quiet: at 3.0 s: another program writes port 150 (such as an open panel)",
              "FAIL car-at-1: not run: the run stopped when port 150 was written by someone other than the test",
              "0 of 2"},
             1,
             "bexen-ports: test: another program (such as an open panel) writes port 150: port "
             "150 holds 2 = 00000010, but the test wrote 0 = 00000000; nothing is graded on a port "
             "the test does not control\n",
             ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        PrivateTmpDir tmp;
        ASSERT_TRUE(writeFileBytes(tmp.filePath("impossible.txt"),
                                   "duration 5\n1 expect light 2 dark within 2\n"));
        std::filesystem::current_path(tmp.path());
        ManualClock clock;
        CycleController controller(row.fault, tmp.portFile());
        controller.step(clock.elapsed());
        clock.onAdvance = [&](ManualClock &c) { controller.step(c.elapsed()); };

        std::vector<std::string> args{"test", "--charts", tmp.filePath("charts")};
        for (const std::string &s : row.scenarios)
            args.push_back(s == "impossible" ? tmp.filePath("impossible.txt") : s);
        const CliOutcome o = runCli(args, clock);
        EXPECT_EQ(o.err, row.error);
        const std::vector<std::string> out = words(o.out, '\n');
        ASSERT_EQ(out.size(), row.lines.size()) << o.out;
        for (std::size_t i = 0; i < row.lines.size(); ++i)
            EXPECT_TRUE(startsWith(out[i], row.lines[i])) << out[i];
        EXPECT_EQ(o.code, row.code);
        if (row.error.empty()) {
            EXPECT_EQ(tmp.portBytes().at(50), '\0'); // every sensor clear at the end
        }
        if (!row.chartMark.empty()) {
            const std::vector<std::string> mark = split(row.chartMark, ':');
            const std::string svg = fileBytes(tmp.filePath("charts") + kSeparator + mark[0] + ".svg");
            EXPECT_TRUE(contains(svg, "class=\"violation " + mark[1] + "\"")) << svg.substr(0, 200);
        }
    }
}

TEST(Grading, FaultyScenarioIsRefused)
{
    struct Row {
        const char *name;
        std::string text; // empty: no such file
        std::string error; // after "bexen-ports: test: FILE"
    };
    const Row rows[] = {
            {"unknown statement", "name x\nwait 3\n",
             ":2: unknown statement \"wait\"; a line is name, title, points, duration, max-wait, "
             "visibility, or a TIME and then sensor, car, expect or random-cars"},
            {"light 5", "# a car\n1 car 5\n", ":2: light number \"5\" is not 1 to 4"},
            {"out of order", "2 car 1\n1 car 2\n",
             ":2: time 1.000 s comes before the previous step's 2.000 s; steps go in time order"},
            {"unknown state", "1 expect light 1 blue\n",
             ":1: state \"blue\" is not 0 to 4 or dark, red, red-yellow, yellow, green"},
            {"a light set", "1 light 1 4\n",
             ":1: unknown step \"light\"; a step is sensor, car, expect or random-cars (the lights "
             "are the controller's)"},
            {"past the duration", "duration 5\n1 car 1\n8 car 2\n",
             ":3: falls at 8.000 s, after the scenario's duration of 5.000 s"},
            {"points twice", "points 2\npoints 3\n", ":2: points given twice"},
            {"random cars without within", "0 random-cars 4 in 10\n", ":1: expected within S, not \"in\""},
            {"neither built in nor a file", "", "\" is neither a built-in one (see test --list) nor a file"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        PrivateTmpDir tmp;
        const std::string before(64, '\x01');
        ASSERT_TRUE(tmp.writePortBytes(before));
        const std::string file = tmp.filePath("faulty.txt");
        if (!row.text.empty()) {
            ASSERT_TRUE(writeFileBytes(file, row.text));
        }
        ManualClock clock;
        const CliOutcome o = runCli({"test", "car-at-1", file}, clock);
        // A scenario that is no file is named quoted.
        EXPECT_EQ(refusalFault(o, (row.text.empty() ? quotedForm(file) : file) + row.error), "");
        EXPECT_EQ(tmp.portBytes(), before);
    }
}

TEST(Grading, TitleIsTheWordsAfterTheKeyword)
{
    const std::pair<const char *, const char *> rows[] = {
            {"title Rush hour", "Rush hour"},
            // The first word is also found inside "title" itself.
            {"title it works", "it works"},
            {"title title", "title"},
            {"title\t two   cars  # at once", "two cars"},
    };
    for (const auto &[line, title] : rows) {
        SCOPED_TRACE(line);
        const ParsedScenario parsed = parseScenario(std::string(line) + "\n1 car 1\n", "t");
        ASSERT_FALSE(parsed.error);
        EXPECT_EQ(parsed.scenario.title, title);
    }
}
