// SPDX-License-Identifier: MIT
#include "commands/chart.h"
#include "commands/cli.h"
#include "shared/interrupt.h"
#include "port_channel.h"
#include "ports_test_support.h"
#include "reports/chart_svg.h"
#include "support/xml_tree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <regex>
#include <set>

using namespace bexen::ports;
using namespace std::chrono;

namespace {

// What a reader of the chart sees, taken out of the SVG: lanes (their titles, and segments as
// x, width, fill and title), the axis's ticks, the violation marks and the legend.
struct Segment {
    double x;
    double width;
    std::string fill;
    std::string title;
};

struct ChartView {
    std::string error; // of the XML, or a lane without its title
    std::string title;
    std::map<std::string, std::string> laneTitles; // id -> title
    std::map<std::string, std::vector<Segment>> lanes;
    std::vector<std::pair<double, double>> ticks; // x, seconds
    std::vector<std::pair<double, std::string>> violations; // x of the mark's line, its title
    std::map<std::string, std::string> legend; // words -> fill of the swatch before them

    double seconds(double x) const
    {
        const auto [x0, s0] = ticks.front();
        const auto [x1, s1] = ticks.back();
        return s0 + (x - x0) * (s1 - s0) / (x1 - x0);
    }
};

double number(const std::string &text)
{
    return text.empty() ? 0.0 : std::stod(text);
}

// The text of the element's first child when that is a title.
std::string childTitle(const XmlElement &e)
{
    return !e.children.empty() && e.children[0]->name == "title" ? e.children[0]->text : std::string();
}

// Every element in document order, as a reader meets them.
void readElement(const XmlElement &e, ChartView &view, std::string &lane, std::string &lastFill,
                 bool &inLegend)
{
    const std::string cls = e.attribute("class");
    bool titleTaken = false; // the first child's title belongs to this element
    if (e.name == "g" && startsWith(cls, "lane ")) {
        lane = e.attribute("id");
        view.laneTitles[lane] = childTitle(e);
        if (view.laneTitles[lane].empty())
            view.error = lane + " has no title first";
        titleTaken = true;
    } else if (e.name == "g" && startsWith(cls, "violation ")) {
        view.violations.emplace_back(e.children.size() > 1 ? number(e.children[1]->attribute("x1")) : 0.0,
                                     childTitle(e));
        titleTaken = true;
    } else if (e.name == "title" && view.title.empty()) {
        view.title = e.text;
    } else if (e.name == "rect" && cls == "segment") {
        view.lanes[lane].push_back({number(e.attribute("x")), number(e.attribute("width")),
                                    e.attribute("fill"), childTitle(e)});
        titleTaken = true;
    } else if (e.name == "text" && cls == "tick") {
        view.ticks.emplace_back(number(e.attribute("x")), number(e.text));
    } else if (e.name == "g") {
        inLegend = e.attribute("id") == "legend";
    } else if (inLegend && e.name == "rect") {
        lastFill = e.attribute("fill");
    } else if (inLegend && e.name == "text") {
        view.legend[e.text] = lastFill;
    }
    for (std::size_t i = titleTaken && !childTitle(e).empty() ? 1 : 0; i < e.children.size(); ++i)
        readElement(*e.children[i], view, lane, lastFill, inLegend);
}

ChartView readChart(const std::string &svg)
{
    ChartView view;
    std::string error;
    const auto root = parseXml(svg, error);
    if (!root) {
        view.error = error;
        return view;
    }
    std::string lane;
    std::string lastFill;
    bool inLegend = false;
    readElement(*root, view, lane, lastFill, inLegend);
    if (view.error.empty() && view.ticks.size() < 2)
        view.error = "fewer than two ticks";
    return view;
}

// The lamp table: what each byte of a light shows.
std::string lightName(int value)
{
    static const char *const names[] = {"dark", "red", "red and yellow", "yellow", "green"};
    return value >= 0 && value < 5 ? names[value] : "out of range, shown dark";
}

std::string fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::vector<std::string> withPrivateDirectory(std::vector<std::string> args, const PrivateTmpDir &tmp)
{
    for (std::string &arg : args)
        arg = replaced(arg, '@', tmp.path());
    return args;
}

// A run with every rule broken once or twice: lights 1 and 3 go round their cycle, light 2 jumps
// to green while they are yellow, light 4 holds 9, and a car waits at light 2 from 1.5 s to 10 s.
const std::string kRecording = "time_s,port,value\n"
                              "0.000,150,0\n0.000,160,1\n0.000,161,1\n0.000,162,1\n0.000,163,1\n"
                              "1.000,160,2\n1.000,162,2\n1.500,150,2\n2.000,160,4\n2.000,162,4\n"
                              "6.000,160,3\n6.000,162,3\n7.000,161,4\n8.000,160,1\n8.000,162,1\n"
                              "9.000,163,9\n10.000,150,0\n10.000,163,1\n12.000,150,0\n";


class Chart : public ::testing::Test {
protected:
    void SetUp() override { clearStopRequest(); }
};

} // namespace

TEST_F(Chart, ShowsTheRecording)
{
    struct Row {
        const char *name;
        std::vector<std::string> options;
        // "lane from-to:value ...", times in seconds; a sensor lane lists the times a car waited.
        std::string lanes;
        std::string violations; // "seconds rule; ..."
    };
    const std::string lights13 = "0-1:1 1-2:2 2-6:4 6-8:3 8-12:1";
    const Row rows[] = {
            {"whole run, a car may wait 1 s", {"--max-wait", "1"},
             "light-1 " + lights13 + "|light-2 0-7:1 7-12:4|light-3 " + lights13
                     + "|light-4 0-9:1 9-10:9 10-12:1|sensor-1|sensor-2 1.5-10:1|sensor-3|sensor-4",
             "2.6 car left waiting; 7 illegal change; 7 both roads moving; 9 value out of range; "
             "10 illegal change"},
            {"a window", {"--from", "5", "--to=9.5", "--max-wait", "1"},
             "light-1 5-6:4 6-8:3 8-9.5:1|light-2 5-7:1 7-9.5:4|light-4 5-9:1 9-9.5:9|sensor-2 5-9.5:1",
             "7 illegal change; 7 both roads moving; 9 value out of range"},
            {"--to past the end stops at the end", {"--from", "9", "--to", "100"},
             "light-1 9-12:1|light-4 9-10:9 10-12:1|sensor-2 9-10:1|sensor-4",
             "9 value out of range; 10 illegal change"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        PrivateTmpDir tmp;
        ASSERT_TRUE(writeFileBytes(tmp.filePath("run.csv"), kRecording));
        ASSERT_TRUE(writeFileBytes(tmp.filePath("run.svg"), "an older chart, replaced"));
        ManualClock clock;
        std::vector<std::string> args{"chart"};
        args.insert(args.end(), row.options.begin(), row.options.end());
        args.push_back(tmp.filePath("run.csv"));
        args.push_back(tmp.filePath("run.svg"));
        const CliOutcome o = runCli(args, clock);
        ASSERT_EQ(o.code, 0) << o.err;
        EXPECT_EQ(entriesOf(tmp.path()), (std::vector<std::string>{"run.csv", "run.svg"}));
        const ChartView view = readChart(fileBytes(tmp.filePath("run.svg")));
        ASSERT_EQ(view.error, "");
        EXPECT_TRUE(startsWith(view.title, "Timing chart of run.csv")) << view.title;

        // Eight lanes, each labelled with its light, road and port; ticks evenly spaced, at most
        // twelve steps; a legend that tells every value apart, out of range from dark.
        EXPECT_EQ(view.laneTitles.size(), 8u);
        for (int k = 1; k <= 4; ++k) {
            const std::string n = std::to_string(k);
            EXPECT_EQ(view.laneTitles.at("light-" + n), "light " + n + " (port "
                              + std::to_string(159 + k) + "), " + (k % 2 ? "east-west" : "north-south")
                              + " road");
            EXPECT_TRUE(contains(view.laneTitles.at("sensor-" + n),
                                 "bit " + std::to_string(k - 1) + " of port 150"));
        }
        const double step = view.ticks[1].second - view.ticks[0].second;
        EXPECT_LE(view.ticks.size(), 13u);
        for (std::size_t i = 1; i < view.ticks.size(); ++i)
            EXPECT_LT(std::abs(view.ticks[i].second - view.ticks[i - 1].second - step), 1e-9);
        std::set<std::string> fills{view.legend.at("5 to 255: out of range")};
        for (int v = 0; v <= 4; ++v)
            fills.insert(view.legend.at(lightName(v)));
        EXPECT_EQ(fills.size(), 6u);

        const double tolerance = 0.5 / ((view.ticks[1].first - view.ticks[0].first) / step); // half a pixel
        for (const std::string &lane : split(row.lanes, '|')) {
            std::vector<std::string> expected = split(lane, ' ');
            const std::string id = expected.front();
            expected.erase(expected.begin());
            const auto found = view.lanes.find(id);
            const std::vector<Segment> got = found == view.lanes.end() ? std::vector<Segment>() : found->second;
            ASSERT_EQ(got.size(), expected.size()) << id;
            for (std::size_t i = 0; i < got.size(); ++i) {
                const std::size_t dash = expected[i].find('-');
                const std::size_t colon = expected[i].find(':');
                const double from = std::stod(expected[i].substr(0, dash));
                const double to = std::stod(expected[i].substr(dash + 1, colon - dash - 1));
                const int value = std::stoi(expected[i].substr(colon + 1));
                SCOPED_TRACE(id + " segment " + std::to_string(i));
                EXPECT_LT(std::abs(view.seconds(got[i].x) - from), tolerance);
                EXPECT_LT(std::abs(view.seconds(got[i].x + got[i].width) - to), tolerance);
                if (!startsWith(id, "light"))
                    continue;
                const std::string name = value > 4 ? "5 to 255: out of range" : lightName(value);
                EXPECT_EQ(got[i].fill, view.legend.at(name));
                EXPECT_EQ(got[i].title, "light " + id.substr(id.size() - 1) + ": " + std::to_string(value)
                                                + " " + lightName(value) + " from " + fixed(from, 3)
                                                + " s to " + fixed(to, 3) + " s");
            }
        }

        std::vector<std::string> got;
        for (const auto &[x, title] : view.violations) {
            const std::vector<std::string> parts = split(title, ':');
            const std::string rule = parts.size() > 1 ? parts[1].substr(1) : std::string();
            std::string at = fixed(view.seconds(x), 1);
            if (endsWith(at, ".0"))
                at.resize(at.size() - 2);
            got.push_back(at.append(" ").append(rule));
            EXPECT_TRUE(startsWith(title, fixed(view.seconds(x), 3) + " s: ")) << title;
        }
        EXPECT_EQ(join(got, "; "), row.violations);
    }
}

TEST_F(Chart, MarksWhatWatchCheckReports)
{
    // The same junction, watched live by watch --check and recorded, then charted. The car at
    // light 3 has waited too long only at 5.6 s, after the last change: the recording's end
    // row carries the run on to 7 s.
    const std::vector<TimedWrite> history{
            {milliseconds(500), 150, 4},  {milliseconds(1000), 161, 2}, {milliseconds(1000), 163, 2},
            {milliseconds(2000), 161, 4}, {milliseconds(2000), 163, 4}, {milliseconds(3000), 160, 4},
            {milliseconds(3500), 160, 1}, {milliseconds(4000), 162, 7}, {milliseconds(4500), 162, 1}};
    setEnvironmentVariable("TZ", std::string("UTC"));
    tzset();
    PrivateTmpDir tmp;
    std::string outputs[2];
    const std::vector<std::string> commands[2] = {
            {"watch", "--check", "--max-wait", "5", "--duration", "7"},
            {"record", "--duration", "7", tmp.filePath("run.csv")}};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(tmp.writePortBytes(std::string(60, '\0') + "\x01\x01\x01\x01"));
        WriteTimeline timeline(history);
        ManualClock clock;
        clock.onAdvance = [&](ManualClock &c) {
            timeline.apply(c.elapsed(), [&](std::int32_t p, std::uint8_t v) {
                EXPECT_FALSE(bexen::io::writePortByte(p, v, tmp.portFile()));
            });
        };
        outputs[i] = runCli(commands[i], clock).out;
    }
    // "1970-01-01 00:00:03.000  violation: RULE: DETAIL" -> "3.000 s: RULE: DETAIL"
    std::vector<std::string> watched;
    const std::regex line("1970-01-01 00:00:(\\d\\d\\.\\d{3})  violation: (.*)");
    for (const std::string &l : words(outputs[0], '\n')) {
        std::smatch m;
        if (std::regex_match(l, m, line))
            watched.push_back(fixed(std::stod(m[1]), 3) + " s: " + std::string(m[2]));
    }
    ASSERT_EQ(watched.size(), 6u) << outputs[0];
    EXPECT_TRUE(startsWith(watched.back(), "5.600 s: car left waiting: light 3")) << watched.back();

    ManualClock clock;
    const CliOutcome o = runCli({"chart", "--max-wait", "5", tmp.filePath("run.csv"), tmp.filePath("run.svg")}, clock);
    EXPECT_EQ(o.code, 0);
    std::vector<std::string> charted;
    for (const auto &[x, title] : readChart(fileBytes(tmp.filePath("run.svg"))).violations)
        charted.push_back(title);
    EXPECT_EQ(charted, watched);
}

TEST_F(Chart, TickSpacing)
{
    // At most twelve steps of 1, 2 or 5 times a power of ten, then of 15 s, 30 s, 1, 2, 5, 10,
    // 15, 30 minutes and whole hours. Length and spacing in ms.
    const std::pair<int, int> rows[] = {{5, 1},           {1200, 100},         {1300, 200},
                                        {60'000, 5000},   {200'000, 30'000},   {3'600'000, 300'000},
                                        {3'601'000, 600'000}, {108'000'000, 3 * 3'600'000}};
    for (const auto &[length, spacing] : rows)
        EXPECT_EQ(tickSpacing(milliseconds(length)).count(), spacing) << length << " ms";
}

TEST_F(Chart, Refusals)
{
    struct Row {
        const char *name;
        std::vector<std::string> args; // "@" stands for the private directory, "%" for it quoted
        std::string error;
        std::string recording; // written to @/run.csv
    };
    const std::string header = "time_s,port,value\n";
    const Row rows[] = {
            {"missing recording", {"@/none.csv", "@/old.svg"}, "chart: @/none.csv: cannot be read", kRecording},
            {"empty recording", {"@/run.csv", "@/old.svg"},
             "chart: @/run.csv: is empty; a recording starts with the line time_s,port,value", ""},
            {"a script", {"@/run.csv", "@/old.svg"},
             "chart: @/run.csv:1: a recording starts with the line time_s,port,value", "1 sensor 1 on\n"},
            {"bad row", {"@/run.csv", "@/old.svg"}, "chart: @/run.csv:3: a row is time_s,port,value",
             header + "0,160,1\n1;161;2\n"},
            {"time going back", {"@/run.csv", "@/old.svg"}, "chart: @/run.csv:4: time 1.500 s comes before",
             header + "0,160,1\n2,160,2\n1.5,160,4\n"},
            {"port 170", {"@/run.csv", "@/old.svg"},
             "chart: @/run.csv:3: port \"170\" is not 150 or 160 to 163", header + "0,160,1\n1,170,2\n"},
            {"value 300", {"@/run.csv", "@/old.svg"},
             "chart: @/run.csv:2: value \"300\" is not a whole number 0 to 255", header + "0,160,300\n"},
            {"no time spanned", {"@/run.csv", "@/old.svg"}, "chart: @/run.csv: every row is at 0.000 s",
             header + "0,160,1\n0,161,1\n"},
            {"--from after --to", {"--from", "8", "--to", "2", "@/run.csv", "@/old.svg"},
             "chart: --from 8.000 s must come before --to 2.000 s", kRecording},
            {"window past the end", {"--from", "30", "@/run.csv", "@/old.svg"},
             "chart: @/run.csv: runs from 0.000 s to 12.000 s; --from 30.000 s leaves nothing", kRecording},
            {"OUT in a missing directory", {"@/run.csv", "@/no/such/out.svg"},
             "chart: OUT \"%/no/such/out.svg\": its directory \"%/no/such\" does not exist", kRecording},
            {"OUT a directory", {"@/run.csv", "@"}, "chart: OUT \"%\" is a directory", kRecording},
            {"OUT the recording", {"@/run.csv", "@/./run.csv"}, "is the recording itself", kRecording},
            {"OUT the port file", {"@/run.csv", "@/emu_port.dat"}, "is the port file itself", kRecording},
            {"no OUT", {"@/run.csv"}, "chart: missing OUT, the SVG file", kRecording},
            {"unknown option", {"--width", "9", "@/run.csv", "@/old.svg"},
             "chart: unknown option \"--width\"", kRecording},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        PrivateTmpDir tmp;
        ASSERT_TRUE(writeFileBytes(tmp.filePath("run.csv"), row.recording));
        ASSERT_TRUE(writeFileBytes(tmp.filePath("old.svg"), "an older chart"));
        ASSERT_TRUE(tmp.writePortBytes(std::string(64, '\1')));
        const std::vector<std::string> before = entriesOf(tmp.path());
        std::vector<std::string> args = withPrivateDirectory(row.args, tmp);
        args.insert(args.begin(), "chart");
        ManualClock clock;
        const CliOutcome o = runCli(args, clock);
        EXPECT_EQ(refusalFault(o, replaced(replaced(row.error, '@', tmp.path()), '%', quotedForm(tmp.path()))),
                  "");
        // Nothing written, not even a temporary file; an older chart is left as it was.
        EXPECT_EQ(entriesOf(tmp.path()), before);
        EXPECT_EQ(fileBytes(tmp.filePath("old.svg")), "an older chart");
        EXPECT_EQ(tmp.portBytes(), std::string(64, '\1'));
    }
}

#ifndef _WIN32
TEST_F(Chart, OutCannotBeWritten)
{
    // /proc takes no new files, whoever asks: the chart fails as a disk would, after the checks.
    PrivateTmpDir tmp;
    ASSERT_TRUE(writeFileBytes(tmp.filePath("run.csv"), kRecording));
    ManualClock clock;
    const CliOutcome o = runCli({"chart", tmp.filePath("run.csv"), "/proc/bexen-chart.svg"}, clock);
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.err, "bexen-ports: /proc/bexen-chart.svg: cannot be written: No such file or directory\n");
    EXPECT_EQ(o.out, "");
}
#endif
