// SPDX-License-Identifier: MIT
// The machine's behaviour, one table of small programs per behaviour: loading, ports, services,
// time and faults. Expected values are worked out from DOS's and the PC's own numbers.
#include "machine_test_support.h"

namespace bexen::machine::testing {
namespace {

// Every .COM here starts with this: `quit N` ends the program with exit code N.
const std::string kCom = R"(bits 16
org 100h
%macro quit 1
    mov al, %1
    mov ah, 4Ch
    int 21h
%endmacro
)";

struct ProgramCase {
    const char *name;
    std::string source; // after kCom
    std::string input = {};
    int exitCode = 0;
    std::string output = {};
    int warnings = 0;
};

void PrintTo(const ProgramCase &c, std::ostream *os)
{
    *os << c.name;
}

void expectExit(TestMachine &run, const ProgramCase &c)
{
    run.console.input = c.input;
    const LoadOutcome loaded = run.load(kCom + c.source, " a b");
    ASSERT_TRUE(loaded.program) << loaded.error;
    const Stop stop = run.go();
    ASSERT_EQ(stop.reason, Stop::Reason::Exited) << reasonName(stop.reason) << " " << stop.fault;
    EXPECT_EQ(stop.exitCode, c.exitCode);
    EXPECT_EQ(run.console.output, c.output);
    EXPECT_EQ(run.console.warnings.size(), static_cast<std::size_t>(c.warnings));
}

// A .COM starts as DOS starts it; each check that fails ends it with its own code.
const ProgramCase kComStart[] = {
    {"segments are the PSP", "mov ax, cs\ncmp ax, 1000h\njne bad\nmov bx, ds\ncmp ax, bx\njne bad\n"
                             "mov bx, es\ncmp ax, bx\njne bad\nmov bx, ss\ncmp ax, bx\njne bad\nquit 0\nbad: quit 1"},
    {"stack top holds a word 0", "cmp sp, 0FFFEh\njne bad\ncmp word [0FFFEh], 0\njne bad\nquit 0\nbad: quit 1"},
    {"PSP has INT 20h and the memory top", "cmp word [0], 20CDh\njne bad\ncmp word [2], 0A000h\njne bad\nquit 0\nbad: quit 1"},
    {"command tail", "cmp byte [80h], 4\njne bad\ncmp word [81h], 6120h\njne bad\ncmp byte [85h], 0Dh\njne bad\nquit 0\nbad: quit 1"},
    {"interrupts are on", "pushf\npop ax\ntest ax, 200h\njz bad\nquit 0\nbad: quit 1"},
    {"RET ends it with 0", "ret"},
    {"INT 20h ends it with 0", "int 20h"},
    {"function 00h ends it with 0", "mov ah, 0\nint 21h"},
    {"function 4Ch gives AL", "quit 201", {}, 201},
};

class ComStart : public ::testing::TestWithParam<ProgramCase> {};
TEST_P(ComStart, Runs)
{
    TestMachine run;
    expectExit(run, GetParam());
}
INSTANTIATE_TEST_SUITE_P(Loader, ComStart, ::testing::ValuesIn(kComStart));

// An MZ header with the fields the loader reads; the load module follows at 20h.
std::string exe(const std::string &fields, const std::string &relocations, const std::string &code)
{
    return "bits 16\n" + fields + "\n" + relocations + "\ntimes 20h - ($ - $$) db 0\nmodule:\n" + code
            + "\nend:\n";
}
// signature, last page, pages, relocations, header paragraphs, minalloc, maxalloc, SS, SP,
// checksum, IP, CS, relocation table at 1Ch, overlay.
std::string fields(const std::string &pages, const std::string &relocations = "1",
                   const std::string &header = "2", const std::string &minAlloc = "0",
                   const std::string &signature = "'MZ'")
{
    return "db " + signature + "\ndw (end - $$) % 512, " + pages + ", " + relocations + ", " + header
            + ", " + minAlloc + ", 0FFFFh, 10h, 100h, 0, 4, 1, 1Ch, 0";
}
const std::string kPages = "(end - $$ + 511) / 512";
// CS = 1010h + 1 at IP 4, i.e. 16 + 4 bytes into the module; SS:SP = 1020h:0100h; the word at
// module offset 14h is relocated (1010h is added), so AX gets 1010h + 5.
const std::string kExeCode = R"(times 20 db 0
start:
    mov ax, 5
    mov bx, cs
    cmp bx, 1011h
    jne bad
    mov bx, ss
    cmp bx, 1020h
    jne bad
    cmp sp, 100h
    jne bad
    mov bx, ds
    cmp bx, 1000h
    jne bad
    cmp ax, 1015h
    jne bad
    mov ax, 4C00h
    int 21h
bad:
    mov ax, 4C01h
    int 21h)";

TEST(Loader, ExeWithRelocation)
{
    TestMachine run;
    const LoadOutcome loaded = run.load(exe(fields(kPages), "dw 15h, 0", kExeCode));
    ASSERT_TRUE(loaded.program) << loaded.error;
    EXPECT_EQ(loaded.program->kind, ProgramKind::Exe);
    // Sliced finely, so that the run restarts at many places of a segment that is no multiple of 64 KiB.
    const Stop stop = run.go(1'000'000, 3);
    EXPECT_EQ(stop.reason, Stop::Reason::Exited) << stop.fault;
    EXPECT_EQ(stop.exitCode, 0);
}

struct RefusedCase {
    const char *name;
    std::string source;
    std::string error;
};
void PrintTo(const RefusedCase &c, std::ostream *os)
{
    *os << c.name;
}
const RefusedCase kRefused[] = {
    {"empty", "", "the file is empty"},
    {"COM too big", "times 65279 db 90h",
     "the file has 65279 bytes, more than a .COM program can have (65278)"},
    {"header cut short", "db 'MZ', 1, 0, 1, 0", "its MZ header is cut short: 6 bytes of the 28 it has"},
    {"ZM header cut short", "db 'ZM', 1, 0", "its MZ header is cut short: 4 bytes of the 28 it has"},
    {"no pages", exe(fields("0"), "", "nop"), "its MZ header counts no pages"},
    {"last page too full", "db 'MZ'\ndw 512, 1, 0, 2\ntimes 40 db 0",
     "its MZ header says the last page holds 512 bytes, more than a page of 512"},
    {"header longer than program", exe(fields(kPages, "0", "10"), "", "nop"),
     "its MZ header says it is 160 bytes long, which does not fit between 28 and the program's 33"},
    {"file shorter than pages", exe(fields("3"), "", "nop"),
     "the file has 33 bytes, fewer than the 1057 its MZ header says"},
    {"relocation table past header", exe(fields(kPages, "2"), "", "nop"),
     "its relocation table (2 entries at byte 28) runs past the header"},
    {"relocation outside", exe(fields(kPages), "dw 0, 1", "nop"),
     "its relocation 1 (0001:0000) lies outside the program"},
    {"too much memory", exe(fields(kPages, "0", "2", "0FFFFh"), "", "nop"),
     "it needs 1048561 bytes of memory, more than the 589568 a program gets"},
};
class Refused : public ::testing::TestWithParam<RefusedCase> {};
TEST_P(Refused, SaysWhy)
{
    TestMachine run;
    const LoadOutcome loaded = run.machine.load(assemble(GetParam().source), {}, "x.exe");
    EXPECT_FALSE(loaded.program);
    EXPECT_EQ(loaded.error, GetParam().error);
}
INSTANTIATE_TEST_SUITE_P(Loader, Refused, ::testing::ValuesIn(kRefused));

TEST(Loader, LargestComAndCommandTail)
{
    TestMachine run;
    EXPECT_TRUE(run.machine.load(std::vector<std::uint8_t>(65278, 0x90), {}, "x.com").program);
    EXPECT_EQ(commandTail({"a", "bc"}).text, " a bc");
    EXPECT_FALSE(commandTail({std::string(125, 'x')}).error);
    EXPECT_EQ(commandTail({std::string(126, 'x')}).error,
              "the arguments make a command tail of 127 characters, more than DOS passes (126)");
}

// IN and OUT of bytes and words, by immediate port and by DX, as single-byte accesses.
struct PortCase {
    const char *name;
    std::string source;
    std::vector<PortAccess> log;
};
void PrintTo(const PortCase &c, std::ostream *os)
{
    *os << c.name;
}
const PortCase kPorts[] = {
    {"IN byte immediate", "in al, 150\nout 160, al", {{false, 150, 0x05}, {true, 160, 0x05}}},
    {"OUT byte by DX", "mov dx, 163\nmov al, 4\nout dx, al", {{true, 163, 4}}},
    {"OUT word immediate", "mov ax, 0201h\nout 160, ax", {{true, 160, 1}, {true, 161, 2}}},
    {"IN word by DX", "mov dx, 150\nin ax, dx\nmov dx, 0FFFFh\nout dx, ax",
     {{false, 150, 0x05}, {false, 151, 0x77}, {true, 0xFFFF, 0x05}, {true, 0, 0x77}}},
    {"ports below 100 reach the bus", "in al, 20h\nout 61h, al", {{false, 0x20, 0}, {true, 0x61, 0}}},
};
class Ports : public ::testing::TestWithParam<PortCase> {};
TEST_P(Ports, OneByteAtATime)
{
    TestMachine run;
    run.ports.bytes[150] = 0x05;
    run.ports.bytes[151] = 0x77;
    ASSERT_TRUE(run.load(kCom + GetParam().source + "\nquit 0").program);
    EXPECT_EQ(run.go().reason, Stop::Reason::Exited);
    EXPECT_EQ(run.ports.log, GetParam().log);
}
INSTANTIATE_TEST_SUITE_P(Machine, Ports, ::testing::ValuesIn(kPorts));

// Each service with its effect; results come back as the exit code or the output.
const ProgramCase kServices[] = {
    {"02h prints DL", "mov ah, 2\nmov dl, 'x'\nint 21h\nquit 0", {}, 0, "x"},
    {"09h prints to $", "mov ah, 9\nmov dx, text\nint 21h\nquit 0\ntext: db 'hi', 13, 10, '$'", {}, 0, "hi\r\n"},
    {"40h writes to handle 1", "mov ah, 40h\nmov bx, 1\nmov cx, 3\nmov dx, text\nint 21h\njc bad\nquit al\nbad: quit 99\ntext: db 'abc'",
     {}, 3, "abc"},
    {"40h refuses a file", "mov ah, 40h\nmov bx, 5\nmov cx, 3\nint 21h\njnc bad\nquit al\nbad: quit 99", {}, 6, {}, 1},
    {"10h 0Eh prints AL", "mov ax, 0E41h\nint 10h\nquit 0", {}, 0, "A"},
    {"01h reads and echoes", "mov ah, 1\nint 21h\nquit al", "k", 'k', "k"},
    {"07h and 08h read silently", "mov ah, 7\nint 21h\nmov bl, al\nmov ah, 8\nint 21h\nsub al, bl\nquit al", "ac", 2},
    {"a line feed is Enter", "mov ah, 8\nint 21h\nquit al", "\n", 13},
    {"06h with no key sets ZF", "mov ah, 6\nmov dl, 0FFh\nint 21h\njnz bad\nquit al\nbad: quit 99", {}, 0},
    {"06h with a key clears ZF", "mov ah, 6\nmov dl, 0FFh\nint 21h\njz bad\nquit al\nbad: quit 99", "q", 'q'},
    {"06h prints DL", "mov ah, 6\nmov dl, '!'\nint 21h\nquit 0", {}, 0, "!"},
    {"0Bh says a key is ready", "mov ah, 0Bh\nint 21h\nquit al", "z", 0xFF},
    {"0Bh says none is", "mov ah, 0Bh\nint 21h\nquit al", {}, 0},
    {"0Ch does the function in AL", "mov ax, 0C08h\nint 21h\nquit al", "m", 'm'},
    {"16h 00h waits for a key", "mov ah, 0\nint 16h\nquit al", "w", 'w'},
    {"16h 01h peeks", "mov ah, 1\nint 16h\njz bad\nmov ah, 0\nint 16h\nquit al\nbad: quit 99", "p", 'p'},
    {"16h 01h with none sets ZF", "mov ah, 1\nint 16h\njnz bad\nquit 0\nbad: quit 99", {}, 0},
    {"25h and 35h", "mov ax, 2560h\nmov dx, 1234h\nint 21h\nmov ax, 3560h\nint 21h\ncmp bx, 1234h\njne bad\nmov ax, es\ncmp ax, 1000h\njne bad\nquit 0\nbad: quit 1"},
    {"a handler installed for INT 60h", "mov ax, 2560h\nmov dx, handler\nint 21h\nint 60h\nquit bl\nhandler: mov bl, 7\niret", {}, 7},
    {"2Ah date", "mov ah, 2Ah\nint 21h\ncmp cx, 2024\njne bad\ncmp dx, 0601h\njne bad\nquit al\nbad: quit 99", {}, 6},
    {"2Ch time", "mov ah, 2Ch\nint 21h\ncmp cx, 0C00h\njne bad\nquit dl\nbad: quit 99", {}, 0},
    {"30h says DOS 5", "mov ah, 30h\nint 21h\nquit al", {}, 5},
    {"other functions fail once said",
     "mov ah, 3Dh\nint 21h\njnc bad\nmov ah, 3Dh\nint 21h\nmov ah, 10h\nint 21h\nmov ah, 0\nint 10h\nquit al\nbad: quit 99",
     {}, 1, {}, 3},
    {"a chained handler keeps the service's flags",
     "mov ax, 3521h\nint 21h\nmov [old], bx\nmov [old+2], es\nmov ax, 2521h\nmov dx, hook\nint 21h\n"
     "mov ah, 3Dh\nint 21h\njnc bad\nquit al\nbad: quit 99\nhook: jmp far [cs:old]\nold: dd 0",
     {}, 1, {}, 1},
};
class Services : public ::testing::TestWithParam<ProgramCase> {};
TEST_P(Services, Effect)
{
    TestMachine run;
    expectExit(run, GetParam());
}
INSTANTIATE_TEST_SUITE_P(Machine, Services, ::testing::ValuesIn(kServices));

// Time in virtual time: 100 000 instructions a second from 12:00:00 on 1 June 2024, when the
// BIOS has counted 43 200 s x 1 193 182 / 65 536 = 786 521 ticks (C0059h).
const ProgramCase kTime[] = {
    {"1Ah 00h at the start", "mov ah, 0\nint 1Ah\ncmp cx, 0Ch\njne bad\ncmp dx, 59h\njne bad\nquit 0\nbad: quit 1"},
    {"0040:006Ch at the start", "mov ax, 40h\nmov es, ax\ncmp word [es:6Ch], 59h\njne bad\nquit 0\nbad: quit 1"},
    {"15h 86h waits 90 s", "mov ah, 86h\nmov cx, 055Dh\nmov dx, 4A80h\nint 15h\njc bad\nmov ah, 2Ch\nint 21h\ncmp cl, 1\njne bad\nquit dh\nbad: quit 99",
     {}, 30},
    {"HLT waits a tick each", "mov ah, 0\nint 1Ah\nmov bx, dx\nhlt\nhlt\nhlt\nmov ah, 0\nint 1Ah\nsub dx, bx\nquit dl", {}, 3},
    {"a 1Ch handler gets 18 ticks in a second",
     "mov ax, 251Ch\nmov dx, tick\nint 21h\nmov ah, 0\nint 1Ah\nmov bx, dx\nagain: cmp byte [count], 18\njb again\n"
     "mov ah, 0\nint 1Ah\nsub dx, bx\nquit dl\ntick: inc byte [cs:count]\niret\ncount: db 0", {}, 18},
    {"an 08h handler that chains",
     "mov ax, 3508h\nint 21h\nmov [old], bx\nmov [old+2], es\nmov ax, 2508h\nmov dx, tick\nint 21h\n"
     "again: hlt\ncmp byte [count], 5\njb again\nquit [count]\n"
     "tick: inc byte [cs:count]\njmp far [cs:old]\nold: dd 0\ncount: db 0", {}, 5},
};
class Time : public ::testing::TestWithParam<ProgramCase> {};
TEST_P(Time, Virtual)
{
    TestMachine run;
    expectExit(run, GetParam());
}
INSTANTIATE_TEST_SUITE_P(Machine, Time, ::testing::ValuesIn(kTime));

TEST(Time, WaitsAreTheirLengthAndTicksFollowTheCalendar)
{
    TestMachine run;
    ASSERT_TRUE(run.load(kCom + "mov ah, 86h\nmov cx, 0Fh\nmov dx, 4240h\nint 15h\nquit 0").program);
    EXPECT_EQ(run.go().reason, Stop::Reason::Exited);
    EXPECT_EQ(run.time.waited(), Micros(1'000'000));
    // The first tick after noon: tick 786 522 at ceil(786 522 x 65 536 / 1 193 182 s).
    EXPECT_EQ(nextTick(testStart()) - testStart(), Micros(36'367));
    EXPECT_EQ(ticksSinceMidnight(testStart() + std::chrono::hours(12)), 0U);
}

// The same program sliced differently: the same port accesses at the same instruction counts.
TEST(Time, SlicesDoNotChangeTheRun)
{
    const std::string program = kCom + "mov ax, 251Ch\nmov dx, tick\nint 21h\nagain: in al, 150\n"
            "mov al, [count]\nout 160, al\ncmp al, 40\njb again\nquit 0\ntick: inc byte [cs:count]\niret\ncount: db 0";
    std::vector<std::pair<std::vector<PortAccess>, std::uint64_t>> runs;
    for (const std::uint64_t slice : {7, 1000, 1'000'000}) {
        TestMachine run;
        ASSERT_TRUE(run.load(program).program);
        EXPECT_EQ(run.go(10'000'000, slice).reason, Stop::Reason::Exited);
        runs.emplace_back(run.ports.log, run.machine.instructions());
    }
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_EQ(runs[0], runs[2]);
}

struct FaultCase {
    const char *name;
    std::string source;
    std::string fault;
};
void PrintTo(const FaultCase &c, std::ostream *os)
{
    *os << c.name;
}
const FaultCase kFaults[] = {
    {"invalid opcode", "nop\ndb 0Fh, 0FFh", "invalid opcode 0F FF at 1000:0101"},
    {"divide error", "xor ax, ax\ndiv al", "divide error at 1000:0102"},
    {"beyond 1 MiB", "mov ax, 0FFFFh\nmov ds, ax\nmov al, [0FFF0h]", "access beyond 1 MiB (linear 10FFE0) at 1000:0105"},
    {"IP past FFFFh", "mov di, 0FFF0h\nmov cx, 16\nmov al, 90h\nrep stosb\nmov bx, 0FFF0h\njmp bx",
     "IP runs past FFFFh at 1000:FFF0"},
    {"HLT with interrupts off", "cli\nhlt", "HLT with interrupts off at 1000:0101"},
    {"a key after the end of stdin", "mov ah, 1\nint 21h", "INT 21h function 01h wants a key after the end of stdin at 1000:0102"},
    {"a handler's stack beyond 1 MiB", "mov ax, 2560h\nint 21h\nmov ax, 0FFFFh\nmov ss, ax\nmov sp, 20h\nint 60h",
     "stack beyond 1 MiB (linear 10000E) at 1000:010D"},
};
class Faults : public ::testing::TestWithParam<FaultCase> {};
TEST_P(Faults, OneLine)
{
    TestMachine run;
    ASSERT_TRUE(run.load(kCom + GetParam().source).program);
    const Stop stop = run.go();
    EXPECT_EQ(stop.reason, Stop::Reason::Fault) << reasonName(stop.reason);
    EXPECT_EQ(stop.fault, GetParam().fault);
    EXPECT_EQ(run.machine.run(100).fault, GetParam().fault);
}
INSTANTIATE_TEST_SUITE_P(Machine, Faults, ::testing::ValuesIn(kFaults));

TEST(Faults, HandlersTakeExceptions)
{
    TestMachine run;
    ASSERT_TRUE(run.load(kCom + "mov ax, 2500h\nmov dx, handler\nint 21h\nxor cx, cx\ndiv cl\nquit 0\n"
                         "handler: quit 3").program);
    EXPECT_EQ(run.go().exitCode, 3);
}

} // namespace
} // namespace bexen::machine::testing
