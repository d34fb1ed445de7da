// SPDX-License-Identifier: MIT
#pragma once

#include "bios_time.h"
#include "devices.h"
#include "loader.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace bexen::machine {

// What the machine is plugged into; each outlives it.
struct Devices {
    PortBus &ports;
    TimeSource &time;
    Console &console;
    Trace *trace = nullptr;
};

// Why Machine::run returned.
struct Stop {
    enum class Reason {
        SliceDone, // the instructions given have run
        Waiting, // the program waits (INT 15h 86h, HLT, a key not typed yet) until `until`
        Exited, // the program ended with `exitCode`
        Fault, // the program did what no PC lets it; `fault` says what and where
    };
    Reason reason = Reason::SliceDone;
    Micros until{0};
    int exitCode = 0;
    std::string fault; // "invalid opcode 0F FF at 1000:0123"
};

// A 16-bit real-mode PC with DOS, running one program on Unicorn: its megabyte, the ports
// through Devices::ports and the DOS and BIOS services a program of the junction uses. The same
// program, the same devices' answers and the same times give the same run, instruction for
// instruction.
class Machine {
public:
    // `start` is the calendar moment at which the program's time 0 falls (its clock, date and
    // BIOS ticks count from there).
    Machine(Devices devices, LocalMoment start);
    ~Machine();
    Machine(const Machine &) = delete;
    Machine &operator=(const Machine &) = delete;

    // Puts the program in memory with the command tail (commandTail()); `name` is its file's
    // name, for its environment. Only once, before run.
    LoadOutcome load(std::span<const std::uint8_t> file, std::string_view tail,
                     std::string_view name);

    // Runs at most `instructions` instructions, or until the program waits, ends or faults.
    // After a Waiting stop call again once the time has come (or earlier: it answers Waiting
    // again). After Exited or Fault it answers the same stop again.
    Stop run(std::uint64_t instructions);

    // How many instructions have run since the start.
    std::uint64_t instructions() const;
    // Where the program is now.
    Address where() const;

private:
    class Cpu;
    std::unique_ptr<Cpu> m_cpu;
};

// "1000:0123"
std::string addressText(Address at);

} // namespace bexen::machine
