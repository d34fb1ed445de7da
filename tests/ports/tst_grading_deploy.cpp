// SPDX-License-Identifier: MIT
// test as a class is graded with it: each run on a port file of its own, reports whole whatever
// fails, and what the controller printed kept in them.
#include "commands/cli.h"
#include "commands/controller_capture.h"
#include "model/grading.h"
#include "model/junction_ports.h"
#include "model/port_view.h"
#include "model/scenario.h"
#include "port_channel.h"
#include "reports/test_reports.h"
#include "shared/clock.h"
#include "ports_test_support.h"
#include "support/private_tmpdir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace bexen::ports {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string fileText(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeText(const fs::path &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

int count(const std::string &text, const std::string &what)
{
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The test's own temporary directory, also the current one while it lives; BEXEN_PORT_FILE is
// unset meanwhile.
class TmpDir : public PrivateTmpDir {
public:
    TmpDir()
    {
        setVariable("BEXEN_PORT_FILE", std::nullopt);
        fs::current_path(fs::u8path(path()));
    }

    fs::path operator/(const std::string &name) const { return fs::u8path(filePath(name)); }

    // For the tool in this process (getenv reads the C library's copy of the environment on
    // Windows, which SetEnvironmentVariableA leaves as it was) and for the children it starts.
    static void setVariable(const char *name, const std::optional<std::string> &value)
    {
#ifdef _WIN32
        _putenv_s(name, value ? value->c_str() : "");
#endif
        bexen::testing::setEnvironmentVariable(name, value);
    }
};

// The port file's bytes in memory.
class MemoryPorts final : public JunctionPorts {
public:
    std::uint8_t read(std::int32_t port) override { return m_bytes.at(index(port)); }
    void write(std::int32_t port, std::uint8_t value) override { m_bytes.at(index(port)) = value; }

private:
    static std::size_t index(std::int32_t port) { return static_cast<std::size_t>(port - 100); }
    std::array<std::uint8_t, 64> m_bytes{};
};

using Outcome = CliOutcome;

// Three scenarios of 2 s with no cars, so no controller is needed; something goes wrong at 3 s,
// in the second.
TEST(GradingDeploy, EachReportIsWholeWhateverFails)
{
    enum class Fault { ChartDirectory, JunitTaken, PortFileGone, PanelWrites, NoController };
    struct Row {
        const char *what;
        Fault fault;
        int code;
        std::vector<std::string> errLines; // each line of stderr holds this, in order
        std::vector<std::string> notRun; // the results.json output of s2 and s3 starts so
        bool junit = true; // the JUnit report is there
    };
    const std::string stopped = "not run: the run stopped when port 150 was written by someone "
                                "other than the test";
    const Row rows[] = {
        {"a chart that cannot be written", Fault::ChartDirectory, 1,
         {std::string("charts") + kSeparator + "s1.svg: "}, {}},
        {"a JUnit report that cannot be written", Fault::JunitTaken, 1, {"junit.xml: "}, {},
         false},
        {"the port file failing part-way", Fault::PortFileGone, 1, {"emu_port.dat: "},
         {"not run: the port file failed: ", "not run: the port file failed: "}},
        {"an open panel writing port 150", Fault::PanelWrites, 1,
         {"bexen-ports: test: another program (such as an open panel) writes port 150: port 150 "
          "holds 4 = 00000100"},
         {"at 1.0 s: another program writes port 150 (such as an open panel)", stopped}},
        {"a controller that cannot be started", Fault::NoController, 1,
         {"bexen-ports: test: cannot start the controller \"no-such-controller\": "},
         {"not run: cannot start the controller", "not run: cannot start the controller"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        TmpDir tmp;
        for (const char *name : {"s1", "s2", "s3"})
            writeText(tmp / (std::string(name) + ".txt"), "duration 2\n");
        fs::create_directories(tmp / "charts" / "s1.svg");
        ManualClock clock;
        const fs::path portFile = tmp / "emu_port.dat";
        clock.onAdvance = [&](ManualClock &c) {
            if (c.elapsed() < 3s || c.elapsed() >= 3s + kPanelPoll)
                return;
            if (row.fault == Fault::JunitTaken)
                fs::create_directories(tmp / "junit.xml" / "taken");
            if (row.fault == Fault::PortFileGone) {
                fs::remove(portFile);
                fs::create_directories(portFile / "gone");
            }
            if (row.fault == Fault::PanelWrites)
                io::writePortByte(150, 4, portFile.string());
        };
        Args args{"test", "s1.txt", "s2.txt", "s3.txt", "--junit", "junit.xml", "--gradescope",
                  "results.json"};
        if (row.fault == Fault::ChartDirectory)
            args.insert(args.end(), {"--charts", "charts"});
        if (row.fault == Fault::NoController)
            args.insert(args.end(), {"--", "no-such-controller"});
        const Outcome o = runCli(args, clock);
        EXPECT_EQ(o.code, row.code) << o.err;
        std::istringstream err(o.err);
        std::string line;
        for (const std::string &expected : row.errLines) {
            ASSERT_TRUE(std::getline(err, line)) << o.err;
            EXPECT_NE(line.find(expected), std::string::npos) << line;
        }
        EXPECT_FALSE(std::getline(err, line)) << o.err;

        const auto results = nlohmann::json::parse(fileText(tmp / "results.json"));
        ASSERT_EQ(results["tests"].size(), 3U);
        for (std::size_t i = 0; i < row.notRun.size(); ++i) {
            const std::string output = results["tests"][i + 1]["output"];
            EXPECT_EQ(output.rfind(row.notRun[i], 0), 0U) << output;
            EXPECT_EQ(results["tests"][i + 1]["status"], "failed");
        }
        if (row.junit) {
            EXPECT_EQ(count(fileText(tmp / "junit.xml"), "<testcase "), 3);
        }
    }
}

// The sensors' port on a file only the test and its controller know, and on one others share.
TEST(GradingDeploy, AForeignByteOnPort150)
{
    struct Row {
        const char *what;
        bool privateFile;
        bool controller;
        std::string failure;
        bool runsToTheEnd;
    };
    const Row rows[] = {
        {"on the run's own file it is the controller's", true, true,
         "the controller wrote 6 to port 150, the sensors' port", true},
        {"on a shared file with a controller it may be either", false, true,
         "the controller or another program (such as an open panel) writes port 150", false},
        {"on a shared file without one it is another program", false, false,
         "another program writes port 150 (such as an open panel)", false},
    };
    const ParsedScenario parsed = parseScenario("duration 3\n0.5 car 1\n", "car");
    ASSERT_FALSE(parsed.error);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        MemoryPorts ports;
        ManualClock clock;
        clock.onAdvance = [&](ManualClock &c) {
            if (c.elapsed() >= 1s && c.elapsed() < 1s + kPanelPoll)
                ports.write(kSensorPort, 6);
        };
        GradeHooks hooks;
        hooks.privateFile = row.privateFile;
        if (row.controller)
            hooks.controllerEnded = [] { return std::optional<std::string>(); };
        const ScenarioResult r = gradeScenario(ports, clock, parsed.scenario, 20s, 17, hooks);
        ASSERT_FALSE(r.failures.empty());
        EXPECT_EQ(r.failures.front().what, row.failure);
        EXPECT_EQ(r.foreignWriter.has_value(), !row.runsToTheEnd);
        EXPECT_EQ(r.elapsed >= 3s, row.runsToTheEnd);
        if (row.runsToTheEnd) { // the test's car is back at the next poll
            EXPECT_EQ(r.run.states.back().state.sensors, 1);
            EXPECT_EQ(ports.read(kSensorPort), 0); // and gone at the end
        }
    }
}

TEST(GradingDeploy, CaptureOfTheControllersOutput)
{
    struct Row {
        const char *what;
        std::size_t kept;
        std::vector<ControllerOutput> takes; // then the scenario is handed its share
        std::string out;
        std::string err;
        std::string echoed; // "o:" or "e:" before each echo
    };
    const Row rows[] = {
        {"lines kept and echoed, each marked, the unfinished one at the end", 64,
         {{"one\ntw", "warn\n", 0, 0}, {"o\nthree", "", 0, 0}},
         "one\ntwo\nthree",
         "warn\n",
         "o:controller: one\ne:controller (stderr): warn\no:controller: two\no:controller: three\n"},
        {"beyond 8 bytes a scenario counted, with what the controller dropped itself", 8,
         {{"0123456", "", 0, 0}, {"789\n", "e", 0, 5}},
         "01234567\n[3 bytes of the controller's output left out]\n",
         "e\n[5 bytes of the controller's error output left out]\n",
         "o:controller: 0123456789\ne:controller (stderr): e\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        std::string echoed;
        ControllerCapture capture(
                [&](bool fromStderr, const std::string &lines) {
                    echoed += (fromStderr ? "e:" : "o:") + lines;
                },
                row.kept);
        for (const ControllerOutput &take : row.takes)
            capture.add(take);
        ScenarioResult r;
        capture.handOver(r);
        EXPECT_EQ(r.controllerOut, row.out);
        EXPECT_EQ(r.controllerErr, row.err);
        EXPECT_EQ(echoed, row.echoed);
        ScenarioResult next;
        capture.handOver(next);
        EXPECT_EQ(next.controllerOut + next.controllerErr, "");
    }
}

TEST(GradingDeploy, WhatTheReportsTell)
{
    ScenarioResult passed;
    passed.name = "car-at-1";
    passed.points = 2;
    passed.elapsed = 25s;
    passed.controllerOut = "green <1>\n";
    ScenarioResult failed;
    failed.name = "rush";
    failed.suite = "rush-hour";
    failed.visibility = "after_due_date";
    failed.failures.push_back({12s, "both roads moving"});
    failed.controllerErr = "oops\n";
    const std::vector<ScenarioResult> results{passed, failed};
    // 1 day, 3 h, 4 min and 5 s after the epoch.
    const std::string junit = junitReport(results, 37s, std::chrono::system_clock::time_point(97'445s));
    const auto json = nlohmann::json::parse(gradescopeReport(results, 37s));
    const struct {
        const char *what;
        bool holds;
    } rows[] = {
        {"JUnit stamps the run", junit.find("timestamp=\"1970-01-02T03:04:05Z\"") != std::string::npos},
        {"a built-in scenario's class", junit.find("classname=\"bexen-ports.builtin\"") != std::string::npos},
        {"a file's scenario's class", junit.find("classname=\"bexen-ports.rush-hour\"") != std::string::npos},
        {"the output of a passed case", junit.find("<system-out>green &lt;1&gt;\n</system-out>") != std::string::npos},
        {"the errors of a failed one", junit.find("<system-err>oops\n</system-err>") != std::string::npos},
        {"results.json's summary", json["output"] == "1 of 2 scenarios passed; score 2 of 3"},
        {"visible by default", json["tests"][0]["visibility"] == "visible"},
        {"the scenario's visibility", json["tests"][1]["visibility"] == "after_due_date"},
        {"the verdict, then the output", json["tests"][0]["output"]
                 == "PASS car-at-1 (25.0 s)\n\nthe controller's output:\ngreen <1>\n"},
        {"the reason, then the errors", json["tests"][1]["output"]
                 == "at 12.0 s: both roads moving\n\nthe controller's errors:\noops\n"},
    };
    for (const auto &row : rows)
        EXPECT_TRUE(row.holds) << row.what << "\n" << junit << json.dump(2);
}

TEST(GradingDeploy, ScenariosRefused)
{
    struct Row {
        const char *what;
        std::vector<std::string> files; // NAME=TEXT, written before
        Args args;
        std::string error;
    };
    const Row rows[] = {
        {"a file named as a built-in one", {"mine.txt=name car-at-1\nduration 1\n"},
         {"car-at-1", "quiet", "mine.txt"},
         "two scenarios are named \"car-at-1\": \"car-at-1\" (argument 1) and \"mine.txt\" "
         "(argument 3); each needs a name of its own"},
        {"one file twice", {"a.txt=duration 1\n"}, {"a.txt", "a.txt"},
         "two scenarios are named \"a\": \"a.txt\" (argument 1) and \"a.txt\" (argument 2)"},
        {"an unknown visibility", {"v.txt=visibility secret\n"}, {"v.txt"},
         "v.txt:1: visibility \"secret\" is not visible, hidden, after_due_date or after_published"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        TmpDir tmp;
        for (const std::string &file : row.files)
            writeText(tmp / file.substr(0, file.find('=')), file.substr(file.find('=') + 1));
        Args args{"test"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        ManualClock clock;
        const Outcome o = runCli(args, clock);
        EXPECT_EQ(o.code, 2);
        EXPECT_NE(o.err.find(row.error), std::string::npos) << o.err;
        EXPECT_EQ(o.out, "");
        EXPECT_FALSE(fs::exists(tmp / "emu_port.dat"));
    }
}

TEST(GradingDeploy, BexenPortFileStandsForFile)
{
    struct Row {
        const char *what;
        std::optional<std::string> variable;
        Args args;
        std::string file;
    };
    const Row rows[] = {
        {"the variable where no --file is given", "from-env.dat", {"set", "160", "2"}, "from-env.dat"},
        {"--file over the variable", "from-env.dat", {"--file", "named.dat", "set", "160", "2"},
         "named.dat"},
        {"the temporary directory without either", std::nullopt, {"set", "160", "2"}, "emu_port.dat"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        TmpDir tmp;
        if (row.variable)
            TmpDir::setVariable("BEXEN_PORT_FILE", (tmp / *row.variable).string());
        ManualClock clock;
        const Outcome o = runCli(row.args, clock);
        TmpDir::setVariable("BEXEN_PORT_FILE", std::nullopt);
        EXPECT_EQ(o.code, 0) << o.err;
        const std::string bytes = fileText(tmp / row.file);
        ASSERT_GT(bytes.size(), 60U);
        EXPECT_EQ(bytes[60], 2);
    }
}

#ifndef _WIN32
// The one real controller: a shell that says where it was told the port file is, sets a sensor
// itself, and waits. Two scenarios of 1 s, on a private file: the old file of the temporary
// directory (a junction left green) is not touched, the first scenario fails on the controller's
// byte and the second still runs, and the private directory is gone afterwards.
TEST(GradingDeploy, TheControllerGetsAPortFileOfItsOwn)
{
    TmpDir tmp;
    const std::string left(64, '\0');
    std::string old = left;
    old.replace(60, 4, "\x04\x01\x04\x01");
    writeText(tmp / "emu_port.dat", old);
    writeText(tmp / "one.txt", "duration 1\n");
    writeText(tmp / "two.txt", "duration 1\n");
    // It tells where it was sent, then writes 5 to port 150 of the file it was told of.
    const std::string controller =
            "echo \"dir=$TMPDIR file=$BEXEN_PORT_FILE\"; sleep 0.4; printf '\\005' | "
            "dd of=\"$BEXEN_PORT_FILE\" bs=1 seek=50 conv=notrunc 2>/dev/null; exec sleep 5";
    SystemClock clock;
    const Outcome o = runCli(
            {"test", "one.txt", "two.txt", "--junit", "junit.xml", "--", "sh", "-c", controller},
            clock);
    EXPECT_EQ(o.code, 3) << o.err;
    EXPECT_EQ(o.out.rfind("FAIL one: at ", 0), 0U) << o.out;
    EXPECT_NE(o.out.find("the controller wrote 5 to port 150, the sensors' port"), std::string::npos);
    EXPECT_NE(o.out.find("\nPASS two (1.0 s)\n"), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("dir="), std::string::npos) << "the controller's output among the verdicts";
    EXPECT_EQ(fileText(tmp / "emu_port.dat"), old);

    const std::string junit = fileText(tmp / "junit.xml");
    const std::size_t at = junit.find("dir=");
    ASSERT_NE(at, std::string::npos) << junit;
    const std::string dir = junit.substr(at + 4, junit.find(' ', at) - at - 4);
    EXPECT_EQ(fs::path(dir).parent_path(), tmp.path());
    EXPECT_NE(junit.find("file=" + dir + "/emu_port.dat\n"), std::string::npos) << junit;
    EXPECT_FALSE(fs::exists(dir));
}
#endif

} // namespace
} // namespace bexen::ports
