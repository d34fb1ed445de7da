// SPDX-License-Identifier: MIT
// `bexen-ports test --program`: the example controller and faulty copies of it graded in virtual
// time, in-process; their ends, the refusals, reports that repeat byte for byte, and one short
// real-time run through `run` that gives the same verdicts at the same times.
#include "machine_test_support.h"

#include "commands/cli.h"
#include "support/private_tmpdir.h"

#include <cmath>
#include <cstdio>
#include <regex>
#include <sstream>

namespace bexen::ports {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> linesOf(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A private directory with the programs and scenario files a case writes into it.
class ProgramGrading : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Short scenarios of the junction's own rules: a car at light 4 comes while the
        // east-west road has held its green since the start.
        writeText("quiet.txt", "name quiet\nduration 10\n");
        writeText("car-at-1.txt", "name car-at-1\nduration 12\nmax-wait 10\n1 car 1\n");
        writeText("car-at-4.txt", "name car-at-4\nduration 20\nmax-wait 15\n1 car 4\n");
        writeText("car-at-2.txt", "name car-at-2\nduration 20\nmax-wait 15\n1 car 2\n");
    }
    std::string writeText(const std::string &name, const std::string &text)
    {
        std::ofstream(m_dir / name, std::ios::binary) << text;
        return (m_dir / name).string();
    }
    std::string writeProgram(const std::string &name, const std::string &source)
    {
        const auto bytes = machine::testing::assemble(source);
        return writeText(name, std::string(bytes.begin(), bytes.end()));
    }
    std::vector<std::string> shortScenarios() const
    {
        std::vector<std::string> paths;
        for (const char *name : {"quiet", "car-at-1", "car-at-4", "car-at-2"})
            paths.push_back((m_dir / (std::string(name) + ".txt")).string());
        return paths;
    }
    int grade(const Args &args)
    {
        m_out.str({});
        m_err.str({});
        ManualClock unused;
        return runTool(args, m_out, m_err, unused);
    }

    bexen::testing::PrivateTmpDir m_tmp;
    const fs::path m_dir = fs::u8path(m_tmp.path());
    std::ostringstream m_out;
    std::ostringstream m_err;
};

std::string exampleSource()
{
    return readText(BEXEN_EXAMPLE_SOURCE);
}

// The example with one line changed, and the verdicts it gets on quiet, car-at-1, car-at-4 and
// car-at-2 in turn: each fault shows when the north-south road must take its turn at 1.0 s and
// is seen at the next poll; car-at-2 then finds that road green.
struct FaultCase {
    const char *name;
    const char *from;
    const char *to;
    std::string carAt4;
    std::string carAt2 = "PASS car-at-2 (20.0 s)";
};
void PrintTo(const FaultCase &c, std::ostream *os)
{
    *os << c.name;
}

const FaultCase kFaults[] = {
    {"skips yellow", ".give_way:\n        mov     al, YELLOW", ".give_way:\n        mov     al, RED",
     "FAIL car-at-4: at 1.1 s: illegal change: light 1 (port 160) went from 4 green to 1 red"},
    {"both roads green", ".give_way:\n        mov     al, YELLOW", ".give_way:\n        ret\n        mov al, YELLOW",
     "FAIL car-at-4: at 2.1 s: both roads moving: ",
     "FAIL car-at-2: at 0.0 s: both roads moving: "},
    {"never serves light 4", "CARS_NORTH_SOUTH equ 1010b", "CARS_NORTH_SOUTH equ 0010b",
     "FAIL car-at-4: at 16.2 s: the car at light 4 waited 15.2 s and its light never turned green"},
    {"a value out of range", ".give_way:\n        mov     al, YELLOW", ".give_way:\n        mov     al, 7",
     "FAIL car-at-4: at 1.1 s: value out of range: light 1 (port 160) holds 7"},
};

class FaultyProgram : public ProgramGrading, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultyProgram, FailsTheRuleItBreaksAndPassesTheRest)
{
    const FaultCase &c = GetParam();
    std::string source = exampleSource();
    const std::size_t at = source.find(c.from);
    ASSERT_NE(at, std::string::npos);
    source.replace(at, std::string(c.from).size(), c.to);
    Args args{"test", "--program", writeProgram("faulty.com", source)};
    for (const std::string &scenario : shortScenarios())
        args.push_back(scenario);
    EXPECT_EQ(grade(args), kExitViolations) << m_err.str();
    const std::vector<std::string> lines = linesOf(m_out.str());
    ASSERT_EQ(lines.size(), 5u) << m_out.str();
    EXPECT_EQ(lines[0], "PASS quiet (10.0 s)");
    EXPECT_EQ(lines[1], "PASS car-at-1 (12.0 s)");
    EXPECT_EQ(lines[2].substr(0, c.carAt4.size()), c.carAt4);
    EXPECT_EQ(lines[3].substr(0, c.carAt2.size()), c.carAt2);
}
INSTANTIATE_TEST_SUITE_P(Faults, FaultyProgram, ::testing::ValuesIn(kFaults));

// The example passes the whole built-in suite, and two runs write the same reports byte for byte.
TEST_F(ProgramGrading, ExamplePassesTheSuiteAndItsReportsRepeat)
{
    std::string reports[2];
    for (std::string &report : reports) {
        const std::string junit = (m_dir / "junit.xml").string();
        const std::string results = (m_dir / "results.json").string();
        ASSERT_EQ(grade({"test", "--program", BEXEN_EXAMPLE_PROGRAM, "--junit", junit,
                         "--gradescope", results}),
                  kExitOk)
                << m_out.str() << m_err.str();
        EXPECT_NE(m_out.str().find("8 of 8 scenarios passed; score 16 of 16"), std::string::npos);
        report = readText(junit) + readText(results);
    }
    EXPECT_EQ(reports[0], reports[1]);
    // 260 s of scenarios (20 + 4 x 25 + 35 + 45 + 60), to the tenth.
    EXPECT_NE(reports[0].find("time=\"260.0\""), std::string::npos) << reports[0];
}

// A program that ends fails the scenario it ends in at the poll after, and those after it as
// the program having stopped; what it printed comes out as a controller's output.
struct EndCase {
    const char *name;
    std::string last; // after "Hi" is printed and 2.5 s waited
    std::string reason;
};
const EndCase kEnds[] = {
    {"faults", "db 0Fh, 0FFh", "FAIL quiet: at 2.6 s: invalid opcode 0F FF at 1000:0111"},
    {"exits with a code", "mov ax, 4C03h\nint 21h", "FAIL quiet: at 2.6 s: the program ended (exit code 3)"},
};

class ProgramEnd : public ProgramGrading, public ::testing::WithParamInterface<EndCase> {};

TEST_P(ProgramEnd, FailsItsScenarioAndTheRest)
{
    const EndCase &c = GetParam();
    const std::string program = writeProgram(
            "end.com", "org 100h\nmov ah, 9\nmov dx, text\nint 21h\nmov ah, 86h\nmov cx, 26h\n"
                       "mov dx, 25A0h\nint 15h\n" + c.last + "\ntext: db 'Hi', 13, 10, '$'");
    const std::string junit = (m_dir / "junit.xml").string();
    EXPECT_EQ(grade({"test", "--program", program, "--junit", junit, shortScenarios()[0],
                     shortScenarios()[1]}),
              kExitViolations);
    EXPECT_EQ(linesOf(m_out.str()),
              (std::vector<std::string>{c.reason, "FAIL car-at-1: the program had stopped",
                                        "0 of 2 scenarios passed; score 0 of 2"}));
    // Kept apart from the verdicts, in the report of the scenario it was printed in.
    EXPECT_NE(readText(junit).find("<system-out>Hi&#13;\n</system-out>"), std::string::npos)
            << readText(junit);
}
INSTANTIATE_TEST_SUITE_P(Ends, ProgramEnd, ::testing::ValuesIn(kEnds));

TEST_F(ProgramGrading, RefusesWhatCannotBeGraded)
{
    const std::string mz = writeText("mz.com", std::string("MZ\0", 3));
    const struct {
        Args args;
        std::string line;
    } cases[] = {
        {{"test", "--program", BEXEN_EXAMPLE_PROGRAM, "--", "true"},
         "bexen-ports: test: --program and -- COMMAND cannot be given together: the program is the controller"},
        {{"--file", (m_dir / "emu_port.dat").string(), "test", "--program", BEXEN_EXAMPLE_PROGRAM},
         "bexen-ports: test: --program uses no port file (the program's ports are in memory); leave out --file"},
        {{"test", "--program", (m_dir / "none.com").string()},
         "bexen-ports: test: \"" + (m_dir / "none.com").string() + "\" cannot be read"},
        {{"test", "--program", mz}, "bexen-ports: test: mz.com: its MZ header is cut short: 3 bytes of the 28 it has"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(grade(c.args), kExitBadArguments) << c.line;
        EXPECT_EQ(m_err.str(), c.line + "\n");
        EXPECT_EQ(m_out.str(), "");
    }
    EXPECT_FALSE(fs::exists(m_dir / "emu_port.dat"));
}

// "FAIL name: at 2.4 s: what" as the verdict, the time and what, its own times left out (a
// car's wait is as long as the poll that judges it is late).
struct Verdict {
    std::string head;
    double at = 0;
    std::string what;
};
std::vector<Verdict> verdictsOf(const std::string &text)
{
    static const std::regex failure("(FAIL [^:]+): at ([0-9.]+) s: ([^:(]+).*");
    std::vector<Verdict> verdicts;
    for (const std::string &line : linesOf(text)) {
        std::smatch m;
        if (std::regex_match(line, m, failure))
            verdicts.push_back({m[1], std::stod(m[2]),
                                std::regex_replace(m[3].str(), std::regex("[0-9.]+ s"), "N s")});
        else if (line.rfind("PASS ", 0) == 0)
            verdicts.push_back({line, 0, {}});
    }
    return verdicts;
}

std::string shellQuoted(const std::string &word)
{
    return "'" + word + "'";
}

// Virtual time is real time: the same program graded both ways, the real run through `run` on
// a private port file, fails the same scenarios with the same reasons within a poll.
TEST_F(ProgramGrading, VirtualTimeAgreesWithRealTime)
{
    // Red and yellow at 1 s by INT 15h, green 0.5 s later, then 0.7 s of counted instructions
    // (two loops of 35 000) before red straight from green.
    const std::string program = writeProgram(
            "timed.com", "org 100h\nmov al, 1\nmov dx, 160\nall: out dx, al\ninc dx\ncmp dx, 164\njb all\n"
                         "mov ah, 86h\nmov cx, 0Fh\nmov dx, 4240h\nint 15h\nmov al, 2\nout 160, al\n"
                         "mov ah, 86h\nmov cx, 7h\nmov dx, 0A120h\nint 15h\nmov al, 4\nout 160, al\n"
                         "mov cx, 35000\nloop $\nmov cx, 35000\nloop $\nmov al, 1\nout 160, al\n"
                         "idle: mov ah, 86h\nmov cx, 0Fh\nmov dx, 4240h\nint 15h\njmp idle");
    const std::vector<std::string> scenarios{
            writeText("a.txt", "name steps\nduration 3\n"),
            writeText("b.txt", "name waits\nduration 2\nmax-wait 1\n0.5 car 2\n"),
            writeText("c.txt", "name holds\nduration 1\n")};
    Args args{"test", "--program", program};
    args.insert(args.end(), scenarios.begin(), scenarios.end());
    EXPECT_EQ(grade(args), kExitViolations);
    const std::vector<Verdict> inVirtualTime = verdictsOf(m_out.str());

    const std::string file = (m_dir / "emu_port.dat").string();
    std::string command = shellQuoted(BEXEN_PORTS_TOOL) + " --file " + shellQuoted(file) + " test";
    for (const std::string &scenario : scenarios)
        command += " " + shellQuoted(scenario);
    command += " -- " + shellQuoted(BEXEN_PORTS_TOOL) + " --file " + shellQuoted(file) + " run "
            + shellQuoted(program) + " 2>&1";
    FILE *pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string said;
    for (int c = 0; (c = std::fgetc(pipe)) != EOF;)
        said += static_cast<char>(c);
    EXPECT_NE(::pclose(pipe), -1);
    const std::vector<Verdict> inRealTime = verdictsOf(said);

    ASSERT_EQ(inVirtualTime.size(), 3u) << m_out.str();
    ASSERT_EQ(inRealTime.size(), 3u) << said;
    EXPECT_EQ(inVirtualTime[0].what, "illegal change");
    EXPECT_EQ(inVirtualTime[1].what, "the car at light 2 waited N s and its light never turned green ");
    EXPECT_EQ(inVirtualTime[2].head, "PASS holds (1.0 s)");
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(inRealTime[i].head, inVirtualTime[i].head) << said;
        EXPECT_EQ(inRealTime[i].what, inVirtualTime[i].what) << said;
        EXPECT_LE(std::abs(inRealTime[i].at - inVirtualTime[i].at), 0.1 + 1e-9) << said;
    }
}

} // namespace
} // namespace bexen::ports
