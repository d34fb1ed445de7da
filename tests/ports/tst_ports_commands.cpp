// SPDX-License-Identifier: MIT
#include "commands/cli.h"
#include "shared/interrupt.h"
#include "shared/clock.h"
#include "port_channel.h"
#include "ports_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <regex>
#ifndef _WIN32
#include <unistd.h>
#endif

using namespace bexen::ports;
using namespace std::chrono;

namespace {

CliOutcome run(const std::vector<std::string> &args)
{
    ManualClock clock;
    // A command that loops gets one poll and no more: these tests are about its answer.
    return runCli(args, clock, [&clock] { return clock.elapsed() >= milliseconds(100); });
}

// A port file with the given bytes at the junction's offsets (50, 60 to 63) and 0 elsewhere.
std::string junctionFile(std::uint8_t sensors, std::uint8_t l1, std::uint8_t l2, std::uint8_t l3,
                         std::uint8_t l4)
{
    std::string bytes(64, '\0');
    bytes[50] = static_cast<char>(sensors);
    bytes[60] = static_cast<char>(l1);
    bytes[61] = static_cast<char>(l2);
    bytes[62] = static_cast<char>(l3);
    bytes[63] = static_cast<char>(l4);
    return bytes;
}

// 2026-12-08 14:03:07.412 UTC, the moment every watch in these tests starts.
const system_clock::time_point kWatchStart =
        sys_days{year{2026} / December / 8} + hours{14} + minutes{3} + seconds{7}
        + milliseconds{412};

// "@" stands for the private directory.
std::vector<std::string> inPrivateDirectory(std::vector<std::string> args, const PrivateTmpDir &tmp)
{
    for (std::string &arg : args)
        arg = replaced(arg, '@', tmp.path());
    return args;
}

// Every line at most 80 columns: help fits a terminal, and a manual page made from it.
void expectNarrowLines(const std::string &text)
{
    for (const std::string &line : split(text, '\n'))
        EXPECT_LE(line.size(), 80u) << line;
}

class PortsCommands : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setEnvironmentVariable("TZ", std::string("UTC"));
        tzset();
    }
    void SetUp() override { clearStopRequest(); }
};

} // namespace

TEST_F(PortsCommands, BadArguments)
{
    struct Row {
        const char *name;
        std::vector<std::string> args;
        std::string expectedError; // from the start of the line if it names the tool
    };
    const Row rows[] = {
    {"no command", {}, "bexen-ports: missing COMMAND"},
    {"unknown command", {"frobnicate"}, "bexen-ports: unknown command \"frobnicate\""},
    {"command in capitals", {"GET", "150"}, "bexen-ports: unknown command \"GET\""},

    // get
    {"get nothing", {"get"}, "bexen-ports: get: missing PORT"},
    {"get 99", {"get", "99"}, "bexen-ports: get: port \"99\" is not a whole number from 100 to 65535"},
    {"get 65536", {"get", "150", "65536"}, "bexen-ports: get: port \"65536\" is not"},
    {"get negative", {"get", "-150"}, "port \"-150\" is not"},
    {"get dash letter", {"get", "-x"}, "bexen-ports: get: unknown option \"-x\""},
    {"get hex", {"get", "0x96"}, "port \"0x96\" is not"},
    {"get word", {"get", "sensors"}, "port \"sensors\" is not"},
    {"get empty", {"get", ""}, "port \"\" is not"},
    {"get escape sequence", {"get", "\x1b[2J"}, "port \"\\x1b[2J\" is not"},
    {"get unknown option", {"get", "--all"}, "bexen-ports: get: unknown option \"--all\""},

    // set: nothing is written unless every pair is good
    {"set nothing", {"set"}, "bexen-ports: set: missing PORT VALUE"},
    {"set port only", {"set", "150"}, "bexen-ports: set: missing VALUE for port 150"},
    {"set last value missing", {"set", "150", "7", "160"}, "missing VALUE for port 160"},
    {"set 256", {"set", "150", "256"}, "bexen-ports: set: value \"256\" is not a whole number from 0 to 255"},
    {"set -1", {"set", "160", "-1"}, "value \"-1\" is not"},
    {"set green by name", {"set", "160", "green"}, "value \"green\" is not"},
    {"set bad second port", {"set", "150", "7", "99", "1"}, "port \"99\" is not"},
    {"set bad second value", {"set", "150", "7", "160", "1000"}, "value \"1000\" is not"},

    // commands without arguments
    {"where with argument", {"where", "150"}, "bexen-ports: where: takes no arguments"},
    {"dump with argument", {"dump", "160"}, "bexen-ports: dump: takes no arguments"},
    {"dump unknown option", {"dump", "--all"}, "bexen-ports: dump: unknown option \"--all\""},
    {"dump then another command", {"dump", "get", "150"}, "bexen-ports: dump: takes no arguments, but got \"get\""},
    {"get unknown option before a bad port", {"get", "-x", "99"}, "bexen-ports: get: unknown option \"-x\""},
    {"where negative", {"where", "-1"}, "bexen-ports: where: takes no arguments, but got \"-1\""},

    // watch
    {"watch interval missing", {"watch", "--interval"}, "bexen-ports: watch: --interval needs"},
    {"watch interval 0", {"watch", "--interval", "0"}, "bexen-ports: watch: --interval \"0\" is not"},
    {"watch interval word", {"watch", "--interval=fast"}, "interval \"fast\" is not"},
    {"watch interval seconds", {"watch", "--interval", "0.1"}, "interval \"0.1\" is not"},
    {"watch stray argument", {"watch", "160"}, "bexen-ports: watch: unexpected argument \"160\""},
    {"watch stray negative", {"watch", "-5"}, "bexen-ports: watch: unexpected argument \"-5\""},
    {"watch unknown option", {"watch", "--rate", "10"}, "bexen-ports: watch: unknown option \"--rate\""},

    // watch --check, demo: seconds as digits with an optional point, and their own limits
    {"watch --check max wait negative", {"watch", "--check", "--max-wait", "-1"}, "bexen-ports: watch --check: --max-wait \"-1\" is not a number of seconds"},
    {"watch --check max wait nan", {"watch", "--check", "--max-wait", "nan"}, "--max-wait \"nan\" is not"},
    {"watch --check max wait missing", {"watch", "--check", "--max-wait"}, "--max-wait needs a number of seconds"},
    {"watch --check duration exponent", {"watch", "--check", "--duration", "1e3"}, "--duration \"1e3\" is not"},
    {"watch --check duration with unit", {"watch", "--check", "--duration=10s"}, "--duration \"10s\" is not"},
    {"watch --check duration trailing point", {"watch", "--check", "--duration", "10."}, "--duration \"10.\" is not"},
    {"watch --check duration too long", {"watch", "--check", "--duration", "1000001"}, "--duration \"1000001\" is not"},
    {"watch --check interval zero", {"watch", "--check", "--interval", "0"}, "interval \"0\" is not a whole number of milliseconds"},
    {"watch --check unknown option", {"watch", "--check", "--strict"}, "bexen-ports: watch --check: unknown option \"--strict\""},
    {"watch --check stray argument", {"watch", "--check", "160"}, "unexpected argument \"160\""},
    {"watch --check dash before a digit", {"watch", "--check", "-5"}, "unexpected argument \"-5\""},
    {"watch max wait without check", {"watch", "--max-wait", "5"}, "bexen-ports: watch: --max-wait requires --check"},
    {"demo yellow shorter than two polls", {"demo", "--yellow", "0.1"}, "bexen-ports: demo: --yellow must be at least 0.2 s"},
    {"demo all red zero", {"demo", "--all-red", "0"}, "--all-red must be at least 0.2 s"},
    {"demo negative minimum green", {"demo", "--min-green", "-5"}, "--min-green \"-5\" is not a number of seconds"},
    {"demo nan", {"demo", "--red-yellow", "nan"}, "--red-yellow \"nan\" is not"},
    {"demo infinite duration", {"demo", "--duration", "inf"}, "--duration \"inf\" is not"},
    {"demo comma decimal", {"demo", "--yellow", "2,5"}, "--yellow \"2,5\" is not"},
    {"demo value missing", {"demo", "--min-green"}, "--min-green needs a number of seconds"},
    {"demo max green below min green", {"demo", "--min-green", "10", "--max-green", "5"}, "--max-green must not be shorter than --min-green (10.000 s)"},
    {"demo unknown option", {"demo", "--fast"}, "bexen-ports: demo: unknown option \"--fast\""},
    {"demo option twice", {"demo", "--yellow", "2", "--yellow=3"}, "bexen-ports: demo: --yellow given twice"},
    {"demo stray argument", {"demo", "5"}, "bexen-ports: demo: unexpected argument \"5\""},

    // play: the whole script is read and found sound first. "@" stands for the private
    // directory, which holds the scripts s.txt, bad.txt and empty.txt.
    {"play bad line", {"play", "@/bad.txt"}, "bexen-ports: play: @/bad.txt:2: light number \"9\" is not 1 to 4"},
    {"play empty script", {"play", "@/empty.txt"}, "bexen-ports: play: @/empty.txt: holds no step"},
    {"play missing script", {"play", "@/none.txt"}, "bexen-ports: play: @/none.txt: cannot be read"},
    {"play directory", {"play", "@"}, "bexen-ports: play: @: is a directory, not a script"},
    {"play no script", {"play"}, "bexen-ports: play: missing SCRIPT"},
    {"play two scripts", {"play", "@/s.txt", "@/s.txt"}, "bexen-ports: play: unexpected argument"},
    {"play unknown option", {"play", "--fast", "@/s.txt"}, "bexen-ports: play: unknown option \"--fast\""},

    // FILE names are relative to the private directory, the current one during the run.
    {"record no file", {"record"}, "bexen-ports: record: missing FILE to record into"},
    {"record two files", {"record", "a.csv", "b.csv"}, "bexen-ports: record: unexpected argument \"b.csv\" after FILE \"a.csv\""},
    {"record format xml", {"record", "--format", "xml", "a.csv"}, "bexen-ports: record: --format \"xml\" is neither csv nor vcd"},
    {"record format missing", {"record", "a.csv", "--format"}, "bexen-ports: record: --format needs csv or vcd"},
    {"record duration junk", {"record", "--duration", "soon", "a.csv"}, "bexen-ports: record: --duration \"soon\" is not a number of seconds"},
    {"record duration negative", {"record", "--duration=-3", "a.csv"}, "bexen-ports: record: --duration \"-3\" is not"},
    {"record interval zero", {"record", "--interval", "0", "a.csv"}, "bexen-ports: record: --interval \"0\" is not"},
    {"record unknown option", {"record", "--append", "a.csv"}, "bexen-ports: record: unknown option \"--append\""},

    // --file
    {"file without path", {"get", "150", "--file"}, "bexen-ports: --file needs a PATH"},
    {"file empty", {"--file", "", "set", "150", "1"}, "bexen-ports: --file needs a PATH, not an empty one"},
    {"file empty with = after the command", {"set", "150", "1", "--file="}, "--file needs a PATH, not an empty one"},
    {"file empty with =", {"--file=", "set", "150", "1"}, "--file needs a PATH, not an empty one"},
    {"file twice", {"--file", "a", "--file", "b", "set", "150", "1"}, "bexen-ports: --file given twice"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        PrivateTmpDir tmp;
        // A port file the emulator left; a bad command line must not change a byte of it.
        const std::string before = junctionFile(3, 1, 2, 3, 4);
        ASSERT_TRUE(tmp.writePortBytes(before));
        ASSERT_TRUE(writeFileBytes(tmp.filePath("s.txt"), "0 light 1 1\n"));
        ASSERT_TRUE(writeFileBytes(tmp.filePath("bad.txt"), "0 sensor 1 on\n1 sensor 9 on\n"));
        ASSERT_TRUE(writeFileBytes(tmp.filePath("empty.txt"), ""));
        const std::vector<std::string> args = inPrivateDirectory(row.args, tmp);
        const std::string expectedError = replaced(row.expectedError, '@', tmp.path());

        // Run from the private directory, so a recording that was wrongly made would be seen there.
        std::filesystem::current_path(tmp.path());
        ManualClock clock;
        const CliOutcome o = runCli(args, clock);

        EXPECT_EQ(refusalFault(o, expectedError), "");
        if (startsWith(expectedError, "bexen-ports: ")) {
            EXPECT_TRUE(startsWith(o.err, expectedError)) << o.err;
        }
        // Refused before anything is touched or waited for.
        EXPECT_EQ(clock.elapsed(), milliseconds(0));
        EXPECT_EQ(tmp.portBytes(), before);
        EXPECT_EQ(entriesOf(tmp.path()),
                  (std::vector<std::string>{"bad.txt", "empty.txt", "emu_port.dat", "s.txt"}));
    }
}

TEST_F(PortsCommands, SetThenGet)
{
    PrivateTmpDir tmp;
    const CliOutcome set = run({"set", "150", "5", "160", "4", "163", "255"});
    EXPECT_EQ(set.code, 0);
    EXPECT_EQ(set.out, "");
    EXPECT_EQ(set.err, "");

    // Port 163 is offset 63, so the new file is 64 bytes, zero but for offsets 50, 60 and 63.
    std::string expected(64, '\0');
    expected[50] = char(5);
    expected[60] = char(4);
    expected[63] = char(255);
    EXPECT_EQ(tmp.portBytes(), expected);

    const CliOutcome get = run({"get", "150", "160", "161", "163", "150"});
    EXPECT_EQ(get.code, 0);
    EXPECT_EQ(get.out, "5\n4\n0\n255\n5\n");
    EXPECT_EQ(get.err, "");

    // Leading zeros are still decimal: "010" is ten, not eight.
    EXPECT_EQ(run({"set", "0161", "010"}).code, 0);
    EXPECT_EQ(run({"get", "161"}).out, "10\n");

    // The same port twice in one set: the later value stays.
    EXPECT_EQ(run({"set", "160", "1", "160", "3"}).code, 0);
    EXPECT_EQ(run({"get", "160"}).out, "3\n");
}

TEST_F(PortsCommands, ReadingCommandsCreateNothing)
{
    const std::pair<std::vector<std::string>, std::string> rows[] = {
            {{"get", "150", "160"}, "0\n0\n"}, {{"dump"}, ""}, {{"watch"}, ""}, {{"where"}, ""}};
    for (const auto &[args, expectedOut] : rows) {
        SCOPED_TRACE(args.front());
        PrivateTmpDir tmp;
        const CliOutcome o = run(args);
        EXPECT_EQ(o.code, 0);
        EXPECT_EQ(o.err, "");
        if (!expectedOut.empty()) {
            EXPECT_EQ(o.out, expectedOut);
        }
        EXPECT_FALSE(pathExists(tmp.portFile()));
        EXPECT_EQ(entriesOf(tmp.path()), std::vector<std::string>{});
    }
}

TEST_F(PortsCommands, FileOption)
{
    enum class Form { Before, After, Equals };
    for (const Form form : {Form::Before, Form::After, Form::Equals}) {
        SCOPED_TRACE(static_cast<int>(form));
        PrivateTmpDir tmp;
        PrivateTmpDir other;
        const std::string path = other.filePath("emulator-ports.bin");
        PrivateTmpDir::setTemporaryDirectory(tmp.path());

        const auto withFile = [&](std::vector<std::string> args) {
            switch (form) {
            case Form::Before:
                args.insert(args.begin(), {"--file", path});
                break;
            case Form::After:
                args.insert(args.end(), {"--file", path});
                break;
            case Form::Equals:
                args.insert(args.begin(), "--file=" + path);
                break;
            }
            return args;
        };

        EXPECT_EQ(run(withFile({"set", "162", "3"})).code, 0);
        std::string expected(63, '\0');
        expected[62] = char(3);
        EXPECT_EQ(fileBytes(path), expected);
        EXPECT_FALSE(pathExists(tmp.portFile())) << "the temporary directory's file was made";

        EXPECT_EQ(run(withFile({"get", "162"})).out, "3\n");
        EXPECT_EQ(run(withFile({"where"})).out, path + "\n");
        EXPECT_TRUE(contains(run(withFile({"dump"})).out, "light 3 (port 162): 3 yellow\n"));
    }
}

TEST_F(PortsCommands, Where)
{
    PrivateTmpDir tmp;
    const CliOutcome o = run({"where"});
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.out, tmp.portFile() + "\n");

    // The temporary directory is asked afresh: a changed one moves the file.
    PrivateTmpDir other;
    PrivateTmpDir::setTemporaryDirectory(other.path() + kSeparator);
    EXPECT_EQ(run({"where"}).out, other.portFile() + "\n");
}

TEST_F(PortsCommands, MissingDirectoryFails)
{
    const std::pair<std::vector<std::string>, bool> rows[] = {
            {{"get", "150"}, true},  {{"set", "150", "1"}, true},  {{"dump"}, true},
            {{"watch"}, true},       {{"get", "150"}, false},      {{"set", "150", "1"}, false},
            {{"dump"}, false}};
    for (const auto &[command, viaFileOption] : rows) {
        SCOPED_TRACE(command.front() + (viaFileOption ? ", --file" : ", temporary directory"));
        PrivateTmpDir tmp;
        const std::string dir = tmp.filePath("no-such-dir");
        const std::string path = dir + kSeparator + "emu_port.dat";
        std::vector<std::string> args = command;
        if (viaFileOption)
            args.insert(args.end(), {"--file", path});
        else
            PrivateTmpDir::setTemporaryDirectory(dir);

        const CliOutcome o = run(args);
        EXPECT_EQ(o.code, 1);
        EXPECT_TRUE(startsWith(o.err, "bexen-ports: " + path + ": ")) << o.err;
        EXPECT_EQ(countOf(o.err, '\n'), 1);
        EXPECT_FALSE(pathExists(dir));
    }
}

#ifndef _WIN32
TEST_F(PortsCommands, FileOfAnotherUserFails)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    PrivateTmpDir tmp;
    const std::string before = junctionFile(1, 4, 1, 4, 1);
    ASSERT_TRUE(tmp.writePortBytes(before));
    ASSERT_EQ(::chown(tmp.portFile().c_str(), 4321, 4321), 0);

    for (const std::vector<std::string> &args : {std::vector<std::string>{"get", "150"},
                                                 std::vector<std::string>{"set", "150", "0"},
                                                 std::vector<std::string>{"dump"}}) {
        SCOPED_TRACE(args.front());
        const CliOutcome o = run(args);
        EXPECT_EQ(o.code, 1);
        EXPECT_TRUE(startsWith(o.err, "bexen-ports: " + tmp.portFile() + ": ")) << o.err;
        EXPECT_TRUE(contains(o.err, "another user")) << o.err;
    }
    EXPECT_EQ(tmp.portBytes(), before);
}
#endif

TEST_F(PortsCommands, TemporaryDirectoryTooLong)
{
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"where"}, std::vector<std::string>{"get", "150"},
          std::vector<std::string>{"set", "150", "1"}, std::vector<std::string>{"dump"}}) {
        SCOPED_TRACE(args.front());
        PrivateTmpDir tmp;
        // 600 characters: more than the 499 the directory query is given, so no file can be named.
        PrivateTmpDir::setTemporaryDirectory(std::string(1, kSeparator) + std::string(599, 'd'));
        const CliOutcome o = run(args);
        EXPECT_EQ(o.code, 1);
        EXPECT_TRUE(startsWith(o.err, "bexen-ports: emu_port.dat in the temporary directory: ")) << o.err;
#ifndef _WIN32
        EXPECT_TRUE(contains(o.err, "600 characters")) << o.err;
#endif
        EXPECT_EQ(o.out, "");
    }
}

TEST_F(PortsCommands, Dump)
{
    struct Row {
        const char *name;
        std::optional<std::string> file; // nullopt: no port file, and none is made
        std::vector<std::string> expectedLines;
    };
    const std::vector<std::string> allDark{"sensors (port 150): 0 = 00000000, no car waiting",
                                           "light 1 (port 160): 0 dark", "light 2 (port 161): 0 dark",
                                           "light 3 (port 162): 0 dark", "light 4 (port 163): 0 dark"};
    const Row rows[] = {
            {"no file yet", std::nullopt, allDark},
            {"all dark, no car", junctionFile(0, 0, 0, 0, 0), allDark},
            {"every light value", junctionFile(1, 1, 2, 3, 4),
             {"sensors (port 150): 1 = 00000001, car waiting at light 1", "light 1 (port 160): 1 red",
              "light 2 (port 161): 2 red and yellow", "light 3 (port 162): 3 yellow",
              "light 4 (port 163): 4 green"}},
            {"two cars, values out of range", junctionFile(5, 5, 255, 128, 0),
             {"sensors (port 150): 5 = 00000101, cars waiting at lights 1 and 3",
              "light 1 (port 160): 5 out of range, shown dark",
              "light 2 (port 161): 255 out of range, shown dark",
              "light 3 (port 162): 128 out of range, shown dark", "light 4 (port 163): 0 dark"}},
            {"every car", junctionFile(15, 4, 1, 4, 1),
             {"sensors (port 150): 15 = 00001111, cars waiting at lights 1, 2, 3 and 4",
              "light 1 (port 160): 4 green", "light 2 (port 161): 1 red", "light 3 (port 162): 4 green",
              "light 4 (port 163): 1 red"}},
            // Bits 4 to 7 are no sensor's: shown, but no car.
            {"high bits only", junctionFile(0xA8, 1, 1, 1, 1),
             {"sensors (port 150): 168 = 10101000, car waiting at light 4", "light 1 (port 160): 1 red",
              "light 2 (port 161): 1 red", "light 3 (port 162): 1 red", "light 4 (port 163): 1 red"}},
            // The panel has written the sensor byte but the emulated program no light yet: the
            // file ends at offset 50 and the lights past its end read 0.
            {"short file", std::string(51, char(2)),
             {"sensors (port 150): 2 = 00000010, car waiting at light 2", "light 1 (port 160): 0 dark",
              "light 2 (port 161): 0 dark", "light 3 (port 162): 0 dark", "light 4 (port 163): 0 dark"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        PrivateTmpDir tmp;
        if (row.file) {
            ASSERT_TRUE(tmp.writePortBytes(*row.file));
        }
        const CliOutcome o = run({"dump"});
        EXPECT_EQ(o.code, 0);
        EXPECT_EQ(o.err, "");
        std::vector<std::string> expected{"port file: " + tmp.portFile()
                                          + (row.file ? "" : " (not there yet: every port reads 0)")};
        expected.insert(expected.end(), row.expectedLines.begin(), row.expectedLines.end());
        expected.emplace_back();
        EXPECT_EQ(split(o.out, '\n'), expected);
        EXPECT_EQ(pathExists(tmp.portFile()), row.file.has_value());
        EXPECT_EQ(tmp.portBytes(), row.file.value_or(""));
    }
}

TEST_F(PortsCommands, WatchPrintsEachChange)
{
    struct Row {
        const char *name;
        std::optional<std::string> file; // nullopt: no port file at the start
        std::vector<std::string> args;
        std::string writes; // port=value@ms, made while the watch runs
        std::vector<std::string> expected;
    };
    const Row rows[] = {
            // The emulator and the panel at work while the watch polls every 100 ms: each change
            // is in the file by the poll at its time. 162=1 is written again with the value it
            // has, and port 170 is no port of the junction: neither is reported.
            {"every change", junctionFile(0, 1, 1, 1, 1), {"watch"},
             "160=2@200 160=4@300 150=2@500 161=9@500 162=1@600 170=4@700",
             {"2026-12-08 14:03:07.412  sensors (port 150): 0 = 00000000, no car waiting",
              "2026-12-08 14:03:07.412  light 1 (port 160): 1 red",
              "2026-12-08 14:03:07.412  light 2 (port 161): 1 red",
              "2026-12-08 14:03:07.412  light 3 (port 162): 1 red",
              "2026-12-08 14:03:07.412  light 4 (port 163): 1 red",
              "2026-12-08 14:03:07.612  light 1 (port 160): 2 red and yellow",
              "2026-12-08 14:03:07.712  light 1 (port 160): 4 green",
              "2026-12-08 14:03:07.912  sensors (port 150): 2 = 00000010, car waiting at light 2",
              "2026-12-08 14:03:07.912  light 2 (port 161): 9 out of range, shown dark", ""}},
            // Polls at 250, 500, 750 ms: a change made just after the first shows at the second.
            {"another interval", std::nullopt, {"watch", "--interval", "250"}, "163=3@260",
             {"2026-12-08 14:03:07.412  sensors (port 150): 0 = 00000000, no car waiting",
              "2026-12-08 14:03:07.412  light 1 (port 160): 0 dark",
              "2026-12-08 14:03:07.412  light 2 (port 161): 0 dark",
              "2026-12-08 14:03:07.412  light 3 (port 162): 0 dark",
              "2026-12-08 14:03:07.412  light 4 (port 163): 0 dark",
              "2026-12-08 14:03:07.912  light 4 (port 163): 3 yellow", ""}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        PrivateTmpDir tmp;
        if (row.file) {
            ASSERT_TRUE(tmp.writePortBytes(*row.file));
        }
        ManualClock clock(kWatchStart);
        WriteTimeline timeline(parseWrites(row.writes));
        clock.onAdvance = [&](ManualClock &c) {
            timeline.apply(c.elapsed(), [&](std::int32_t port, std::uint8_t value) {
                EXPECT_FALSE(bexen::io::writePortByte(port, value, tmp.portFile()));
            });
        };
        const CliOutcome o = runCli(row.args, clock, [&] { return clock.elapsed() >= seconds(1); });

        EXPECT_EQ(o.code, 0);
        EXPECT_EQ(o.err, "");
        EXPECT_EQ(split(o.out, '\n'), row.expected);
        EXPECT_TRUE(timeline.done());
    }
}

TEST_F(PortsCommands, WatchStopsOnCtrlC)
{
    const std::pair<std::vector<std::string>, std::string> rows[] = {
            {{"watch"}, "light 1 (port 160): 4 green\n"},
            // However long the interval, Ctrl-C is answered within a poll of the panel.
            {{"watch", "--interval", "3600000"}, "light 4 (port 163): 0 dark\n"},
            {{"watch", "--check", "--interval", "3600000"}, "summary: 0.300 s checked, no violations\n"},
    };
    for (const auto &[args, seen] : rows) {
        SCOPED_TRACE(join(args, " "));
        PrivateTmpDir tmp;
        const std::string path = tmp.portFile();

        ManualClock clock(kWatchStart);
        clock.onAdvance = [&](ManualClock &c) {
            if (c.elapsed() == milliseconds(200))
                bexen::io::writePortByte(160, 4, path);
            if (c.elapsed() == milliseconds(300))
                requestStop();
            // Were the stop missed, the watch would run on; this change must never be printed.
            if (c.elapsed() == milliseconds(400))
                bexen::io::writePortByte(161, 4, path);
            EXPECT_LT(c.elapsed(), seconds(5));
        };
        const CliOutcome o = runCli(args, clock, [&] { return clock.elapsed() >= seconds(5); });
        clearStopRequest();
        EXPECT_EQ(o.code, 0);
        EXPECT_TRUE(contains(o.out, seen)) << o.out;
        EXPECT_FALSE(contains(o.out, "light 2 (port 161): 4")) << o.out;
        EXPECT_EQ(clock.elapsed(), milliseconds(300));
    }
}

TEST_F(PortsCommands, PortFileBecomesADirectory)
{
    struct Row {
        const char *name;
        std::vector<std::string> args; // "@" stands for the private directory
        int atMs; // when the directory takes the file's place; 0: from the start
        int failsAtMs; // the first access after that
    };
    const Row rows[] = {
            {"watch, from the start", {"watch"}, 0, 0},
            {"watch, during the run", {"watch"}, 300, 300},
            {"watch --check, from the start", {"watch", "--check", "--duration", "1"}, 0, 0},
            {"watch --check, during the run", {"watch", "--check", "--duration", "2"}, 500, 500},
            // The demo reads the sensors at every poll, even while all lights are red.
            {"demo, from the start", {"demo", "--duration", "1"}, 0, 0},
            {"demo, during the run", {"demo"}, 500, 500},
            // The script's second step is due at 1 s.
            {"play, from the start", {"play", "@/s.txt"}, 0, 0},
            {"play, during the run", {"play", "@/s.txt"}, 500, 1000},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        clearStopRequest();
        PrivateTmpDir tmp;
        ASSERT_TRUE(writeFileBytes(tmp.filePath("s.txt"), "0 light 1 1\n1 light 1 2\n"));
        const std::vector<std::string> args = inPrivateDirectory(row.args, tmp);
        const auto plantDirectory = [&] {
            std::error_code ec;
            std::filesystem::remove(tmp.portFile(), ec);
            EXPECT_TRUE(std::filesystem::create_directory(tmp.portFile()));
        };
        if (row.atMs == 0)
            plantDirectory();
        else
            ASSERT_TRUE(tmp.writePortBytes(junctionFile(0, 1, 1, 1, 1)));

        ManualClock clock(kWatchStart);
        clock.onAdvance = [&](ManualClock &c) {
            if (c.elapsed() == milliseconds(row.atMs))
                plantDirectory();
        };
        const CliOutcome o = runCli(args, clock, [&] { return clock.elapsed() >= seconds(3); });
        EXPECT_EQ(o.code, 1);
        EXPECT_TRUE(startsWith(o.err, "bexen-ports: " + tmp.portFile() + ": ")) << o.err;
#ifndef _WIN32
        // Windows says only that access is denied.
        std::string lower = o.err;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_TRUE(contains(lower, "is a directory")) << o.err;
#endif
        EXPECT_EQ(countOf(o.err, '\n'), 1);
        EXPECT_EQ(clock.elapsed(), milliseconds(row.failsAtMs));
        // The directory planted, and no file made beside the script.
        EXPECT_EQ(entriesOf(tmp.path()), (std::vector<std::string>{"emu_port.dat", "s.txt"}));
        EXPECT_TRUE(std::filesystem::is_directory(tmp.portFile()));
    }
}

TEST_F(PortsCommands, Help)
{
    // The whole tool's help, however it is asked for; a word that is no command changes nothing.
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"--help"}, std::vector<std::string>{"-h"},
          std::vector<std::string>{"--help", "nonsense"}, std::vector<std::string>{"nonsense", "--help"}}) {
        SCOPED_TRACE(join(args, " "));
        const CliOutcome o = run(args);
        EXPECT_EQ(o.code, 0);
        EXPECT_EQ(o.err, "");
        EXPECT_TRUE(startsWith(o.out, "Usage: bexen-ports [--file PATH] COMMAND [ARGUMENTS]...\n"));
        // Every command, and every option of every command, one to a line: a manual page is made
        // from this help.
        for (const char *line : {"\n  where ", "\n  get PORT... ", "\n  set PORT VALUE [PORT VALUE]... ",
                                 "\n  dump ", "\n  watch [OPTIONS] ", "\n  demo [OPTIONS] ",
                                 "\n  record [OPTIONS] FILE ", "\n  play SCRIPT ",
                                 "\n  chart [OPTIONS] RECORDING OUT ", "\n  --file PATH ",
                                 "\n  -h, --help ", "\n  --version ", "\n  --interval MS ",
                                 "\n  --check ", "\n  --max-wait S ", "\n  --duration S ",
                                 "\n  --min-green S ", "\n  --max-green S ", "\n  --yellow S ",
                                 "\n  --red-yellow S ", "\n  --all-red S ", "\n  --format F ",
                                 "\n  SCRIPT ", "\n  RECORDING ", "\n  OUT ", "\n  --from S ",
                                 "\n  --to S ", "\nExit status: "})
            EXPECT_TRUE(contains(o.out, line)) << line;
        expectNarrowLines(o.out);
    }
}

TEST_F(PortsCommands, CommandHelp)
{
    struct Row {
        const char *name;
        std::vector<std::string> args;
        std::string usage; // the first line
        std::string option; // a line of the command's options
    };
    // --help wins over the command's own work and over a bad value, wherever it stands.
    const Row rows[] = {
            {"set, after its pairs", {"set", "150", "1", "--help"},
             "Usage: bexen-ports [--file PATH] set PORT VALUE [PORT VALUE]...", ""},
            {"get, after a bad port", {"get", "99", "-h"}, "Usage: bexen-ports [--file PATH] get PORT...", ""},
            {"demo, after a bad value", {"demo", "--yellow", "0.1", "--help"},
             "Usage: bexen-ports [--file PATH] demo [OPTIONS]", "\n  --yellow S "},
            {"watch, before its options", {"watch", "--help", "--interval", "0"},
             "Usage: bexen-ports [--file PATH] watch [OPTIONS]", "\n  --interval MS "},
            {"record, --file after it", {"record", "--help", "--file", "x"},
             "Usage: bexen-ports [--file PATH] record [OPTIONS] FILE", "\n  --format F "},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        PrivateTmpDir tmp;
        const CliOutcome o = run(row.args);
        EXPECT_EQ(o.code, 0);
        EXPECT_EQ(o.err, "");
        EXPECT_EQ(split(o.out, '\n').front(), row.usage);
        EXPECT_TRUE(contains(o.out, row.option)) << o.out;
        EXPECT_TRUE(contains(o.out, "\nExit status: "));
        expectNarrowLines(o.out);
        EXPECT_EQ(entriesOf(tmp.path()), std::vector<std::string>{});
    }
}

TEST_F(PortsCommands, Version)
{
    const CliOutcome o = run({"--version"});
    EXPECT_EQ(o.code, 0);
    EXPECT_TRUE(std::regex_match(o.out, std::regex("bexen-ports \\d+\\.\\d+\\.\\d+\n"))) << o.out;
}
