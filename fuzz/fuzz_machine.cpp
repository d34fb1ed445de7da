// SPDX-License-Identifier: MIT
// libFuzzer target over the machine: an input is a program file, a .COM or (with the MZ
// signature) an .EXE header and what follows it, run as the student's program is. Its port
// reads and its keys come from the input's own bytes. Whatever the bytes, the machine must end
// each call of run() with one of its stops within the instructions it was given, say a fault in
// one non-empty line, and stay within its budget of instructions and waits.

#include "machine.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

namespace {

using namespace bexen::machine;

// Code that writes over itself is translated afresh at every instruction, a thousand times slower
// under the sanitizers than a plain loop: the budget is kept small enough for that.
constexpr std::uint64_t kBudget = 30'000;
constexpr std::uint64_t kSlice = 1'000;
constexpr int kMostCalls = 200;

[[noreturn]] void broken(const char *what)
{
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
}

class InputPorts final : public PortBus {
public:
    explicit InputPorts(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    std::uint8_t in(std::uint16_t port) override
    {
        return m_bytes.empty() ? 0 : m_bytes[(port + m_reads++) % m_bytes.size()];
    }
    void out(std::uint16_t, std::uint8_t) override {}

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_reads = 0;
};

class InputConsole final : public Console {
public:
    explicit InputConsole(std::span<const std::uint8_t> keys) : m_keys(keys) {}
    void write(std::string_view text) override { m_written += text.size(); }
    KeyPoll peekKey() override
    {
        // Every third key is not typed yet, as from a terminal.
        if (m_next >= m_keys.size())
            return {KeyPoll::State::Ended, 0};
        if (m_keys[m_next] % 3 == 0 && !m_asked) {
            m_asked = true;
            return {KeyPoll::State::NotYet, 0};
        }
        return {KeyPoll::State::Ready, m_keys[m_next]};
    }
    void takeKey() override
    {
        ++m_next;
        m_asked = false;
    }
    void warn(std::string_view line) override
    {
        if (line.empty() || line.find('\n') != std::string_view::npos)
            broken("a warning is one line");
    }

private:
    std::span<const std::uint8_t> m_keys;
    std::size_t m_next = 0;
    bool m_asked = false;
    std::size_t m_written = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::span<const std::uint8_t> file(data, size);
    InputPorts ports(file);
    InputConsole console(file.subspan(size / 2));
    VirtualTime time(100'000);
    Machine machine({ports, time, console, nullptr}, LocalMoment{} + std::chrono::hours(24 * 19'000));
    if (!machine.load(file, " fuzz", "fuzz.com").program)
        return 0;
    for (int call = 0; call < kMostCalls && machine.instructions() < kBudget; ++call) {
        const std::uint64_t before = machine.instructions();
        const Stop stop = machine.run(kSlice);
        if (machine.instructions() - before > kSlice)
            broken("a slice ran more instructions than it was given");
        switch (stop.reason) {
        case Stop::Reason::SliceDone:
            if (machine.instructions() - before != kSlice)
                broken("a slice ended early without saying why");
            break;
        case Stop::Reason::Waiting:
            time.skipTo(stop.until, machine.instructions());
            break;
        case Stop::Reason::Exited:
            if (stop.exitCode < 0 || stop.exitCode > 255)
                broken("an exit code is a byte");
            return 0;
        case Stop::Reason::Fault:
            if (stop.fault.empty() || stop.fault.find('\n') != std::string::npos)
                broken("a fault is one line");
            if (machine.run(kSlice).fault != stop.fault)
                broken("a fault stays");
            return 0;
        }
    }
    return 0;
}
