// SPDX-License-Identifier: MIT
#include "commands/cli.h"
#include "shared/interrupt.h"
#include "commands/play.h"
#include "commands/recorder.h"
#include "junction_fake.h"
#include "model/script.h"
#include "port_channel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include <map>
#include <set>
#include <sstream>

using namespace bexen::ports;
using namespace std::chrono;

namespace {

// The junction's history for the record-and-replay tests: every signal changes at least 0.2 s
// after its last change, and the times fall on the 100 ms polls.
const std::vector<TimedWrite> kHistory{
        {milliseconds(300), 160, 1},  {milliseconds(300), 162, 1},  {milliseconds(700), 150, 2},
        {milliseconds(1000), 160, 2}, {milliseconds(1000), 162, 2}, {milliseconds(2000), 160, 4},
        {milliseconds(2000), 162, 4}, {milliseconds(2500), 150, 10}, {milliseconds(2800), 150, 8},
        {milliseconds(3100), 161, 9}, {milliseconds(3400), 161, 0}, {milliseconds(4000), 160, 3},
        {milliseconds(4000), 162, 3},
};

// What a waveform viewer needs of a value change dump, checked token by token: every header
// section closed by $end, a timescale of 1 ms, five 8-bit wires with their own identifiers in a
// scope, $enddefinitions, then a $dumpvars block with every wire, and time stamps that only go
// forwards, each followed by "b<bits> <id>" changes. The values are replayed into `changes`.
std::string validateVcd(const std::string &text, std::vector<TimedWrite> &changes)
{
    std::vector<std::string> tokens;
    {
        std::istringstream in(text);
        for (std::string t; in >> t;)
            tokens.push_back(t);
    }
    std::map<std::string, std::int32_t> ports; // identifier -> port
    std::size_t i = 0;
    bool timescale = false;
    int scopes = 0;
    const auto next = [&]() -> std::string { return i < tokens.size() ? tokens[i++] : std::string(); };
    for (;;) {
        const std::string keyword = next();
        if (keyword.empty())
            return "no $enddefinitions";
        if (keyword == "$enddefinitions") {
            if (next() != "$end")
                return "$enddefinitions not closed";
            break;
        }
        std::vector<std::string> body;
        for (std::string t = next(); t != "$end"; t = next()) {
            if (t.empty())
                return keyword + " not closed";
            body.push_back(t);
        }
        if (keyword == "$timescale") {
            timescale = join(body, " ") == "1 ms";
        } else if (keyword == "$scope") {
            if (body != std::vector<std::string>{"module", "junction"})
                return "scope " + join(body, " ");
            ++scopes;
        } else if (keyword == "$upscope") {
            --scopes;
        } else if (keyword == "$var") {
            if (scopes != 1 || body.size() != 5 || body[0] != "wire" || body[1] != "8" || body[4] != "[7:0]")
                return "bad $var " + join(body, " ");
            if (ports.count(body[2]))
                return "identifier used twice: " + body[2];
            std::smatch m;
            if (!std::regex_search(body[3], m, std::regex("port(\\d+)$")))
                return "no port in the name " + body[3];
            ports[body[2]] = std::stoi(m[1]);
        } else if (keyword != "$date" && keyword != "$version" && keyword != "$comment") {
            return "unexpected " + keyword;
        }
    }
    if (!timescale)
        return "timescale is not 1 ms";
    if (scopes != 0 || ports.size() != 5)
        return "scopes or wires wrong";

    long long now = -1;
    std::set<std::string> dumped;
    bool inDump = false;
    const std::regex valueChange("b([01]{1,8})");
    const std::regex timeStamp("#(\\d+)");
    while (i < tokens.size()) {
        const std::string t = next();
        std::smatch m;
        if (startsWith(t, "#")) {
            if (!std::regex_match(t, m, timeStamp) || std::stoll(m[1]) <= now)
                return "time stamp " + t + " after " + std::to_string(now);
            now = std::stoll(m[1]);
        } else if (t == "$dumpvars") {
            if (now != 0)
                return "$dumpvars not at #0";
            inDump = true;
        } else if (t == "$end" && inDump) {
            inDump = false;
            if (dumped.size() != 5)
                return "$dumpvars without every wire";
        } else {
            const std::string id = next();
            if (!std::regex_match(t, m, valueChange) || !ports.count(id) || now < 0)
                return std::string("bad value change ").append(t).append(" ").append(id);
            if (inDump)
                dumped.insert(id);
            changes.push_back({milliseconds(now), ports[id],
                               static_cast<std::uint8_t>(std::stoi(m[1], nullptr, 2))});
        }
    }
    return inDump ? "$dumpvars not closed" : std::string();
}

// The start state and kHistory, as a recording polled every 100 ms shows them, and the sensors
// again when the recording ends at 4.5 s.
const std::string kHistoryCsv = "time_s,port,value\n"
                            "0.000,150,0\n0.000,160,0\n0.000,161,0\n0.000,162,0\n0.000,163,0\n"
                            "0.300,160,1\n0.300,162,1\n0.700,150,2\n1.000,160,2\n1.000,162,2\n"
                            "2.000,160,4\n2.000,162,4\n2.500,150,10\n2.800,150,8\n3.100,161,9\n"
                            "3.400,161,0\n4.000,160,3\n4.000,162,3\n4.500,150,8\n";

class RecordPlay : public ::testing::Test {
protected:
    void SetUp() override { clearStopRequest(); }
};

} // namespace

TEST_F(RecordPlay, RecordsVcd)
{
    ManualClock clock;
    FakeJunction junction(clock);
    junction.state().lights = {1, 1, 1, 1};
    WriteTimeline history(kHistory);
    clock.onAdvance = [&](ManualClock &c) {
        history.apply(c.elapsed(), [&](std::int32_t p, std::uint8_t v) { setPortByte(junction.state(), p, v); });
    };
    std::ostringstream out;
    const auto sink = makeRecordSink(RecordFormat::Vcd, out);
    RecordOptions options;
    options.duration = milliseconds(4750);
    options.interval = milliseconds(50);
    recordJunction(junction, clock, *sink, options, {});

    const std::string text = out.str();
    std::vector<TimedWrite> changes;
    const std::string error = validateVcd(text, changes);
    EXPECT_EQ(error, "") << text;
    // The start (all red, 300 ms changes to red are then no change) and the history after it.
    EXPECT_EQ(writesText(changes),
              "150=0@0 160=1@0 161=1@0 162=1@0 163=1@0 150=2@700 160=2@1000 162=2@1000 "
              "160=4@2000 162=4@2000 150=10@2500 150=8@2800 161=9@3100 161=0@3400 "
              "160=3@4000 162=3@4000");
    // The closing stamp carries the last values to the end of the recording.
    EXPECT_TRUE(endsWith(text, "#4750\n"));
    EXPECT_TRUE(contains(text, "b00001010 S\n"));
}

TEST_F(RecordPlay, RecordingStopsOnCtrlC)
{
    const std::string start = "time_s,port,value\n0.000,150,0\n0.000,160,0\n0.000,161,0\n"
                              "0.000,162,0\n0.000,163,0\n";
    struct Row {
        const char *name;
        int intervalMs;
        std::string recorded;
    };
    const Row rows[] = {
            // The last row is the sensors again at 2 s, when Ctrl-C ended the recording.
            {"panel's interval", 100, start + "1.200,161,1\n2.000,150,0\n"},
            // However long the interval, Ctrl-C is answered within a poll of the panel.
            {"an hour's interval", 3'600'000, start + "2.000,150,0\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        clearStopRequest();
        ManualClock clock;
        FakeJunction junction(clock);
        clock.onAdvance = [&](ManualClock &c) {
            if (c.elapsed() == milliseconds(1200))
                junction.writeLight(2, 1);
            if (c.elapsed() == milliseconds(2000))
                requestStop();
        };
        std::ostringstream out;
        const auto sink = makeRecordSink(RecordFormat::Csv, out);
        RecordOptions options;
        options.interval = milliseconds(row.intervalMs);
        recordJunction(junction, clock, *sink, options, stopRequested);
        EXPECT_EQ(clock.elapsed(), milliseconds(2000));
        EXPECT_EQ(out.str(), row.recorded);
    }
}

TEST_F(RecordPlay, RecordThenPlayOnRealFiles)
{
    PrivateTmpDir tmp;
    const std::string csv = tmp.filePath("junction.csv");
    const std::string vcd = tmp.filePath("junction.vcd");
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"record", "--duration", "4.5", csv},
          std::vector<std::string>{"record", "--format", "vcd", "--duration=4.5", vcd}}) {
        std::filesystem::remove(tmp.portFile());
        WriteTimeline history(kHistory);
        ManualClock clock;
        clock.onAdvance = [&](ManualClock &c) {
            history.apply(c.elapsed(), [&](std::int32_t p, std::uint8_t v) {
                EXPECT_FALSE(bexen::io::writePortByte(p, v, tmp.portFile()));
            });
        };
        const CliOutcome o = runCli(args, clock);
        EXPECT_EQ(o.code, 0);
        EXPECT_EQ(o.out, "");
        EXPECT_TRUE(startsWith(o.err, "recording ports 150 and 160-163 of " + tmp.portFile())) << o.err;
    }
    EXPECT_EQ(readFile(csv), kHistoryCsv);
    std::vector<TimedWrite> vcdChanges;
    EXPECT_EQ(validateVcd(fileBytes(vcd), vcdChanges), "");
    EXPECT_EQ(vcdChanges.size(), std::size_t(5) + kHistory.size());

    // Replayed into another port file, as another machine would.
    PrivateTmpDir other;
    ManualClock clock;
    const CliOutcome o = runCli({"play", csv}, clock);
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.err, "");
    std::vector<std::string> lines = words(o.out, '\n');
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "play: 19 steps from " + csv + " on " + other.portFile());
    // "4.000 s  line 18: port 162 3; port 162 = 3": when each byte was written, and what.
    std::vector<TimedWrite> written;
    const std::regex line("(\\d+)\\.(\\d{3}) s  line \\d+: .*; port (\\d+) = (\\d+)");
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i], m, line)) << lines[i];
        written.push_back({milliseconds(std::stoi(m[1]) * 1000 + std::stoi(m[2])), std::stoi(m[3]),
                           static_cast<std::uint8_t>(std::stoi(m[4]))});
    }
    std::vector<TimedWrite> expected{{milliseconds(0), 150, 0}, {milliseconds(0), 160, 0},
                                     {milliseconds(0), 161, 0}, {milliseconds(0), 162, 0},
                                     {milliseconds(0), 163, 0}};
    expected.insert(expected.end(), kHistory.begin(), kHistory.end());
    expected.push_back({milliseconds(4500), 150, 8}); // the end row: the sensors as they were
    EXPECT_EQ(writesText(written), writesText(expected));
    for (std::int32_t port : kJunctionPorts) {
        const auto a = bexen::io::readPortByte(port, tmp.portFile(), bexen::io::WhenMissing::ReadZero);
        const auto b = bexen::io::readPortByte(port, other.portFile(), bexen::io::WhenMissing::ReadZero);
        EXPECT_TRUE(!a.error && !b.error);
        EXPECT_EQ(b.value, a.value) << port;
    }
}

TEST_F(RecordPlay, ParsesScripts)
{
    struct Row {
        const char *name;
        std::string script;
        std::string steps; // line:ms:port:mask:value
    };
    const Row rows[] = {
            {"sensor on", "1.5 sensor 1 on\n", "1:1500:150:1:1"},
            {"sensor off", "2 sensor 4 off", "1:2000:150:8:0"},
            {"light", "3 light 2 4\n", "1:3000:161:255:4"},
            {"light out of range for a checker", "0 light 3 255", "1:0:162:255:255"},
            {"comments and blank lines",
             "# a car comes\n\n  0.25\tsensor 3 on   # and waits\n#\n10 sensor 3 off\n",
             "3:250:150:4:4 5:10000:150:4:0"},
            {"windows line ends", "1 light 1 1\r\n2 light 1 2\r\n", "1:1000:160:255:1 2:2000:160:255:2"},
            {"same time twice", "1 sensor 1 on\n1 sensor 2 on\n", "1:1000:150:1:1 2:1000:150:2:2"},
            {"milliseconds rounded", "0.0004 light 4 1\n0.0015 light 4 0\n",
             "1:0:163:255:1 2:2:163:255:0"},
            {"a recording", "time_s,port,value\n0.000,150,3\n1.250,163,4\n",
             "2:0:150:255:3 3:1250:163:255:4"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const ParsedPlay parsed = parsePlayText(row.script);
        EXPECT_FALSE(parsed.error) << (parsed.error ? parsed.error->what : "");
        std::vector<std::string> got;
        for (const PlayStep &s : parsed.steps)
            got.push_back(std::to_string(s.line) + ":" + std::to_string(s.at.count()) + ":"
                          + std::to_string(s.port) + ":" + std::to_string(s.mask) + ":"
                          + std::to_string(s.value));
        EXPECT_EQ(join(got, " "), row.steps);
    }
}

TEST_F(RecordPlay, RejectsBadScripts)
{
    struct Row {
        const char *name;
        std::string script;
        int line;
        std::string what;
    };
    const Row rows[] = {
            {"comma decimal", "1,5 sensor 1 on", 1, "time \"1,5\" is not a number of seconds"},
            {"negative time", "1 sensor 1 on\n-1 sensor 1 off", 2, "time \"-1\" is not"},
            {"nan time", "nan light 1 1", 1, "time \"nan\" is not"},
            {"time going back", "2 sensor 1 on\n\n1.5 sensor 1 off\n", 3,
             "time 1.500 s comes before the previous step's 2.000 s"},
            {"time alone", "# x\n3\n", 2, "the time needs a step after it"},
            {"unknown step", "1 lamp 1 4", 1, "unknown step \"lamp\"; a step is sensor or light"},
            {"capital step", "1 Sensor 1 on", 1, "unknown step \"Sensor\""},
            {"sensor 5", "1 sensor 5 on", 1, "light number \"5\" is not 1 to 4"},
            {"sensor 0", "1 sensor 0 on", 1, "light number \"0\" is not 1 to 4"},
            {"sensor maybe", "1 sensor 1 maybe", 1, "\"maybe\" is neither on nor off"},
            {"sensor short", "1 sensor 1", 1, "sensor needs a light number 1 to 4 and on or off"},
            {"light 256", "1 light 1 256", 1, "light value \"256\" is not a whole number 0 to 255"},
            {"light by name", "1 light 1 green", 1, "light value \"green\" is not"},
            {"light short", "1 light 2", 1, "light needs a light number 1 to 4 and a value 0 to 255"},
            {"trailing word", "1 light 2 4 now", 1, "unexpected \"now\" after the step"},
            {"control bytes", "1 sensor \x1b[2J on", 1, "light number \"\\x1b[2J\" is not 1 to 4"},
            {"nothing", "", 0, "holds no step"},
            {"only comments", "# nothing yet\n\n", 0, "holds no step"},

            {"recording bad port", "time_s,port,value\n0.000,149,1\n", 2,
             "port \"149\" is not 150 or 160 to 163"},
            {"recording bad value", "time_s,port,value\n0.000,160,1\n1.000,160,300\n", 3,
             "value \"300\" is not a whole number 0 to 255"},
            {"recording short row", "time_s,port,value\n0.000,160\n", 2, "a row is time_s,port,value"},
            {"recording long row", "time_s,port,value\n0.000,160,1,2\n", 2,
             "a row is time_s,port,value"},
            {"recording going back", "time_s,port,value\n2,160,1\n1,160,2\n", 3,
             "comes before the previous step's"},
            {"recording without rows", "time_s,port,value\n", 0, "holds no row"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const ParsedPlay parsed = parsePlayText(row.script);
        ASSERT_TRUE(parsed.error);
        EXPECT_TRUE(parsed.steps.empty());
        EXPECT_EQ(parsed.error->line, row.line);
        EXPECT_TRUE(contains(parsed.error->what, row.what)) << parsed.error->what;
    }
}

TEST_F(RecordPlay, PlayHoldsEachChange)
{
    struct Row {
        const char *name;
        std::string script;
        std::string writes;
    };
    const Row rows[] = {
            {"on and off too soon", "0 sensor 1 on\n0.1 sensor 1 off", "150=1@0 150=0@200"},
            {"two cars are two signals", "0 sensor 1 on\n0.1 sensor 2 on", "150=1@0 150=3@100"},
            {"a quick light waits, and so do the steps after it",
             "0 light 1 1\n0.05 light 1 2\n0.1 light 2 1\n0.3 light 1 4\n1 light 1 3",
             "160=1@0 160=2@200 161=1@200 160=4@400 160=3@1000"},
            {"the same value again is no change", "0 light 2 4\n0.1 light 2 4", "161=4@0 161=4@100"},
            {"far enough apart", "0.5 sensor 3 on\n0.7 sensor 3 off\n0.9 sensor 3 on",
             "150=4@500 150=0@700 150=4@900"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const ParsedPlay parsed = parseScript(row.script);
        ASSERT_FALSE(parsed.error);
        ManualClock clock;
        FakeJunction junction(clock);
        std::ostringstream log;
        playSteps(junction, clock, parsed.steps, log, {});
        EXPECT_EQ(writesText(junction.writes), row.writes);
    }
}

TEST_F(RecordPlay, SensorStepKeepsTheOtherCars)
{
    ManualClock clock;
    FakeJunction junction(clock);
    junction.state().sensors = 0b1010; // cars at lights 2 and 4
    const ParsedPlay parsed = parseScript("0 sensor 1 on\n0.5 sensor 4 off\n1 sensor 2 on\n");
    ASSERT_FALSE(parsed.error);
    std::ostringstream log;
    playSteps(junction, clock, parsed.steps, log, {});
    EXPECT_EQ(writesText(junction.writes), "150=11@0 150=3@500 150=3@1000");
    EXPECT_EQ(log.str(), "0.000 s  line 1: 0 sensor 1 on; port 150 = 11\n"
                         "0.500 s  line 2: 0.5 sensor 4 off; port 150 = 3\n"
                         "1.000 s  line 3: 1 sensor 2 on; port 150 = 3\n");
}

TEST_F(RecordPlay, PlayStopsOnCtrlC)
{
    ManualClock clock;
    FakeJunction junction(clock);
    clock.onAdvance = [](ManualClock &c) {
        if (c.elapsed() == seconds(3))
            requestStop();
    };
    const ParsedPlay parsed = parseScript("1 light 1 1\n60 light 1 2\n");
    std::ostringstream log;
    const PlayOutcome outcome = playSteps(junction, clock, parsed.steps, log, stopRequested);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.done, 1u);
    EXPECT_EQ(clock.elapsed(), seconds(3));
    EXPECT_TRUE(endsWith(log.str(), "3.000 s  stopped before line 2\n")) << log.str();
}

TEST_F(RecordPlay, PlayFailingPortFile)
{
    ManualClock clock;
    FakeJunction junction(clock);
    junction.failAfter = 1;
    const ParsedPlay parsed = parseScript("0 light 1 1\n1 light 1 2\n");
    std::ostringstream log;
    EXPECT_THROW(playSteps(junction, clock, parsed.steps, log, {}), PortFailure);
    EXPECT_EQ(junction.writes.size(), 1u);
}

TEST_F(RecordPlay, RecordNeverOverwritesThePortFile)
{
    PrivateTmpDir tmp;
    const std::string bytes = std::string(50, '\0') + '\x05' + std::string(9, '\0') + "\x04\x01\x04\x01";
    ASSERT_TRUE(tmp.writePortBytes(bytes));
    std::vector<std::string> targets{tmp.portFile(), tmp.path() + kSeparator + "." + kSeparator + "emu_port.dat"};
#ifndef _WIN32
    std::filesystem::create_symlink(tmp.portFile(), tmp.filePath("link.csv"));
    targets.push_back(tmp.filePath("link.csv"));
#endif
    for (const std::string &target : targets) {
        SCOPED_TRACE(target);
        ManualClock clock;
        const CliOutcome o = runCli({"record", "--duration", "1", target}, clock);
        EXPECT_EQ(o.code, 2);
        EXPECT_TRUE(contains(o.err, "is the port file itself; record into another file")) << o.err;
        EXPECT_EQ(tmp.portBytes(), bytes);
    }
}

TEST_F(RecordPlay, RecordFailingPortFile)
{
    PrivateTmpDir tmp;
    const std::string csv = tmp.filePath("out.csv");

    // A file that cannot be made: its directory does not exist, which is seen before anything runs.
    ManualClock clock;
    const std::string nowhere = tmp.filePath("no") + kSeparator + "such" + kSeparator + "dir.csv";
    const CliOutcome o = runCli({"record", "--duration", "1", nowhere}, clock);
    EXPECT_EQ(o.code, 2);
    EXPECT_TRUE(startsWith(o.err, "bexen-ports: record: FILE \"" + quotedForm(nowhere) + "\": its directory "))
            << o.err;

    // The port file turns into a directory half way: what was recorded stays whole.
    ASSERT_FALSE(bexen::io::writePortByte(160, 1, tmp.portFile()));
    ManualClock clock2;
    clock2.onAdvance = [&](ManualClock &c) {
        if (c.elapsed() == milliseconds(300)) {
            EXPECT_FALSE(bexen::io::writePortByte(160, 2, tmp.portFile()));
        }
        if (c.elapsed() == milliseconds(600)) {
            EXPECT_TRUE(std::filesystem::remove(tmp.portFile()));
            EXPECT_TRUE(std::filesystem::create_directory(tmp.portFile()));
        }
    };
    const CliOutcome o2 = runCli({"record", "--duration", "2", csv}, clock2);
    EXPECT_EQ(o2.code, 1);
    EXPECT_TRUE(contains(o2.err, "bexen-ports: " + tmp.portFile() + ": ")) << o2.err;
    EXPECT_EQ(readFile(csv), "time_s,port,value\n0.000,150,0\n0.000,160,1\n0.000,161,0\n0.000,162,0\n"
                             "0.000,163,0\n0.300,160,2\n0.600,150,0\n");

    // Failing from the start leaves no file behind.
    ASSERT_TRUE(std::filesystem::remove(csv));
    ManualClock clock3;
    const CliOutcome o3 = runCli({"record", "--duration", "2", csv}, clock3);
    EXPECT_EQ(o3.code, 1);
    EXPECT_FALSE(pathExists(csv));
}
