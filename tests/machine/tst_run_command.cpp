// SPDX-License-Identifier: MIT
// `bexen-ports run` in-process on a manual clock, against a port file in a private directory:
// its exit statuses and lines, the port file's rules, the trace, Ctrl-C and the time limit.
#include "machine_test_support.h"

#include "commands/cli.h"
#include "commands/run.h"
#include "support/private_tmpdir.h"

#include <sstream>

namespace bexen::ports {
namespace {

namespace fs = std::filesystem;

struct RunCase {
    const char *name;
    std::string source; // a .COM, after "org 100h"; empty: no program is written
    std::vector<std::string> words; // after "run"; "P" stands for the program's path
    int status;
    std::string err; // a line on stderr; empty: stderr stays empty
    std::vector<std::pair<std::size_t, std::uint8_t>> bytes = {}; // of the port file afterwards
};
void PrintTo(const RunCase &c, std::ostream *os)
{
    *os << c.name;
}

const RunCase kRuns[] = {
    {"ends with 0 and leaves its lights", "mov al, 3\nout 160, al\nmov dx, 163\nmov ax, 4\nout dx, ax\nret",
     {"P"}, kExitOk, "", {{60, 3}, {63, 4}, {64, 0}}},
    {"ends with another code", "mov ax, 4C07h\nint 21h", {"P"}, kExitProgramFailed,
     "bexen-ports: run: p.com: ended with exit code 7"},
    {"faults", "db 0Fh, 0FFh", {"P"}, kExitProgramFault,
     "bexen-ports: run: p.com: invalid opcode 0F FF at 1000:0100"},
    {"reads the sensors from the file", "in al, 150\nout 161, al\nret", {"P"}, kExitOk, "", {{61, 9}}},
    {"runs until the time limit", "jmp $", {"--max-seconds", "2", "P"}, kExitTimeLimit,
     "bexen-ports: run: p.com: time limit of 2 s reached after 200000 instructions (100000 a "
     "second while running, 0.000 s waiting)"},
    {"holds its speed", "mov ah, 86h\nmov cx, 0Fh\nmov dx, 4240h\nint 15h\nagain: jmp again",
     {"--speed", "5000", "--max-seconds", "3", "P"}, kExitTimeLimit,
     "bexen-ports: run: p.com: time limit of 3 s reached after 10000 instructions (5000 a "
     "second while running, 1.000 s waiting)"},
    {"traces", "mov ah, 86h\nmov cx, 0Fh\nmov dx, 4240h\nint 15h\nmov al, 3\nout 160, al\nret",
     {"--trace", "P"}, kExitOk, "1.010 s 1000:010C out 160 <- 3"},
    {"ports below 100 stay out of the file", "out 99, al\nin al, 20\nmov ah, 0\nint 21h", {"P"}, kExitOk, ""},
    {"an unknown function is said once", "mov ah, 3Dh\nint 21h\nmov ah, 3Dh\nint 21h\nret", {"P"}, kExitOk,
     "bexen-ports: run: p.com: warning: INT 21h function 3Dh is not provided (carry set, AX = 1), "
     "first at 1000:0102"},
    {"a key after the end of stdin", "mov ah, 8\nint 21h", {"P"}, kExitProgramFault,
     "bexen-ports: run: p.com: INT 21h function 08h wants a key after the end of stdin at 1000:0102"},
    {"no program", "", {}, kExitBadArguments, "bexen-ports: run: missing PROGRAM to run"},
    {"a program that is not there", "", {"P"}, kExitBadArguments,
     "bexen-ports: run: \"p.com\" cannot be read"},
    {"a program that cannot be loaded", "db 'MZ', 0", {"P"}, kExitBadArguments,
     "bexen-ports: run: p.com: its MZ header is cut short: 3 bytes of the 28 it has"},
    {"a command tail too long", "ret", {"P", std::string(130, 'x')}, kExitBadArguments,
     "bexen-ports: run: the arguments make a command tail of 131 characters, more than DOS passes (126)"},
    {"a speed that is no number", "ret", {"--speed", "fast", "P"}, kExitBadArguments,
     "bexen-ports: run: --speed \"fast\" is not a whole number from 0 to 1000000000"},
};

class RunCommand : public ::testing::TestWithParam<RunCase> {
protected:
    bexen::testing::PrivateTmpDir m_tmp;
    const fs::path m_dir = fs::u8path(m_tmp.path());
    const std::string m_file = m_tmp.portFile();
};

bool hasLine(const std::string &text, const std::string &wanted)
{
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line == wanted)
            return true;
    return false;
}

TEST_P(RunCommand, EndsAsItSays)
{
    const RunCase &c = GetParam();
    {
        std::ofstream ports(m_file, std::ios::binary);
        ports << std::string(50, '\0') << '\x09' << std::string(13, '\0');
    }
    const std::string program = (m_dir / "p.com").string();
    if (!c.source.empty())
        std::ofstream(program, std::ios::binary) << std::string(
                [&] {
                    const auto bytes = machine::testing::assemble("org 100h\n" + c.source);
                    return std::string(bytes.begin(), bytes.end());
                }());
    Args args{"--file", m_file, "run"};
    for (const std::string &word : c.words)
        args.push_back(word == "P" ? program : word);
    std::ostringstream out;
    std::ostringstream err;
    ManualClock clock;
    const fs::path here = fs::current_path();
    fs::current_path(m_dir); // "p.com" is named as the user gave it
    args = [&] {
        Args named = args;
        std::replace(named.begin(), named.end(), program, std::string("p.com"));
        return named;
    }();
    const int status = runTool(args, out, err, clock);
    fs::current_path(here);
    EXPECT_EQ(status, c.status) << err.str();
    if (c.err.empty())
        EXPECT_EQ(err.str(), "");
    else
        EXPECT_TRUE(hasLine(err.str(), c.err)) << err.str();
    std::ifstream ports(m_file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(ports), {}};
    for (const auto &[offset, value] : c.bytes)
        EXPECT_EQ(static_cast<std::uint8_t>(bytes.at(offset)), value) << "byte " << offset;
}
INSTANTIATE_TEST_SUITE_P(Run, RunCommand, ::testing::ValuesIn(kRuns));

TEST(RunCommandStop, CtrlCEndsAWaitAndLeavesTheLights)
{
    const bexen::testing::PrivateTmpDir tmp;
    const fs::path dir = fs::u8path(tmp.path());
    const auto bytes = machine::testing::assemble(
            "org 100h\nmov al, 4\nout 160, al\nmov ah, 86h\nmov cx, 0FFFFh\nint 15h\nret");
    std::ofstream((dir / "p.com").string(), std::ios::binary)
            << std::string(bytes.begin(), bytes.end());
    ManualClock clock;
    std::ostringstream out;
    std::ostringstream err;
    const std::string file = (dir / "emu_port.dat").string();
    const int status = runTool({"--file", file, "run", (dir / "p.com").string()}, out, err, clock,
                               [&] { return clock.elapsed() >= Clock::Duration(5'000); });
    EXPECT_EQ(status, kExitInterrupted);
    EXPECT_EQ(clock.elapsed(), Clock::Duration(5'000));
    std::ifstream ports(file, std::ios::binary);
    const std::string left{std::istreambuf_iterator<char>(ports), {}};
    EXPECT_EQ(left.at(60), '\x04');
}

} // namespace
} // namespace bexen::ports
