// SPDX-License-Identifier: MIT
#pragma once

// Small programs for the machine, assembled by nasm when a test runs, and the machine's devices
// as a test plays them: ports in memory, stdin and stdout as strings, virtual time.

#include "machine.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace bexen::machine::testing {

// `source` as nasm makes a flat binary of it (a .COM when it starts with "org 100h").
inline std::vector<std::uint8_t> assemble(const std::string &source)
{
    namespace fs = std::filesystem;
    static int count = 0;
    const fs::path dir = fs::temp_directory_path()
            / ("bexen-machine-test-" + std::to_string(::getpid()) + "-" + std::to_string(++count));
    fs::create_directories(dir);
    std::ofstream(dir / "program.asm") << source << '\n';
    const std::string command = std::string(BEXEN_NASM) + " -f bin -o '" + (dir / "program.bin").string()
            + "' '" + (dir / "program.asm").string() + "' 2>'" + (dir / "errors.txt").string() + "'";
    const int status = std::system(command.c_str());
    std::ifstream errors(dir / "errors.txt");
    const std::string said{std::istreambuf_iterator<char>(errors), {}};
    std::ifstream in(dir / "program.bin", std::ios::binary);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    fs::remove_all(dir);
    EXPECT_EQ(status, 0) << "nasm refused the program: " << said << source;
    return bytes;
}

struct PortAccess {
    bool out;
    std::uint16_t port;
    std::uint8_t value;
    friend bool operator==(const PortAccess &, const PortAccess &) = default;
};

class MemoryPorts final : public PortBus {
public:
    std::uint8_t in(std::uint16_t port) override
    {
        log.push_back({false, port, bytes[port]});
        return bytes[port];
    }
    void out(std::uint16_t port, std::uint8_t value) override
    {
        log.push_back({true, port, value});
        bytes[port] = value;
    }
    std::array<std::uint8_t, 0x10000> bytes{};
    std::vector<PortAccess> log;
};

class StringConsole final : public Console {
public:
    void write(std::string_view text) override { output += text; }
    KeyPoll peekKey() override
    {
        if (next < input.size())
            return {KeyPoll::State::Ready, static_cast<std::uint8_t>(input[next])};
        return {KeyPoll::State::Ended, 0};
    }
    void takeKey() override { ++next; }
    void warn(std::string_view line) override { warnings.emplace_back(line); }

    std::string input;
    std::size_t next = 0;
    std::string output;
    std::vector<std::string> warnings;
};

// Saturday 1 June 2024, 12:00:00 local time: where every test's time 0 falls.
inline LocalMoment testStart()
{
    using namespace std::chrono;
    return local_days{year{2024} / June / 1} + hours{12};
}

// A machine on those devices, run slice by slice in virtual time until the program ends or the
// budget of instructions is spent; each wait skips the clock to its end.
struct TestMachine {
    explicit TestMachine(std::uint64_t speed = 100'000)
        : time(speed)
        , machine({ports, time, console, nullptr}, testStart())
    {
    }

    LoadOutcome load(const std::string &source, const std::string &tail = {})
    {
        return machine.load(assemble(source), tail, "test.com");
    }

    Stop go(std::uint64_t budget = 1'000'000, std::uint64_t slice = 10'000)
    {
        Stop stop;
        while (machine.instructions() < budget) {
            stop = machine.run(std::min(slice, budget - machine.instructions()));
            if (stop.reason == Stop::Reason::Waiting)
                time.skipTo(stop.until, machine.instructions());
            else if (stop.reason != Stop::Reason::SliceDone)
                return stop;
        }
        return stop;
    }

    MemoryPorts ports;
    VirtualTime time;
    StringConsole console;
    Machine machine;
};

inline const char *reasonName(Stop::Reason reason)
{
    switch (reason) {
    case Stop::Reason::SliceDone:
        return "slice done";
    case Stop::Reason::Waiting:
        return "waiting";
    case Stop::Reason::Exited:
        return "exited";
    case Stop::Reason::Fault:
        return "fault";
    }
    return "?";
}

} // namespace bexen::machine::testing
