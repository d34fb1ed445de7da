// SPDX-License-Identifier: MIT
#include "commands/program_junction.h"

#ifdef BEXEN_HAVE_MACHINE

#include "machine.h"

#include <algorithm>
#include <array>
#include <filesystem>

namespace bexen::ports {

namespace {

namespace machine = bexen::machine;
using namespace std::chrono;

constexpr auto kStartDay = year{2024} / June / 1;
constexpr hours kStartHour{12};

// The junction's ports by the panel's rules: port p from 100 up is a byte the program and the
// grader share, ports below 100 read 0 and keep nothing.
class MemoryPorts final : public JunctionPorts, public machine::PortBus {
public:
    std::uint8_t read(std::int32_t port) override
    {
        return kept(port) ? m_bytes[static_cast<std::size_t>(port)] : 0;
    }
    void write(std::int32_t port, std::uint8_t value) override
    {
        if (kept(port))
            m_bytes[static_cast<std::size_t>(port)] = value;
    }
    std::uint8_t in(std::uint16_t port) override { return read(port); }
    void out(std::uint16_t port, std::uint8_t value) override { write(port, value); }

private:
    static bool kept(std::int32_t port) { return port >= io::kFirstPort && port <= 0xFFFF; }
    std::array<std::uint8_t, 0x10000> m_bytes{};
};

// What the program prints, kept for the grader as a child's pipes are; its keyboard is as empty
// as a child's /dev/null.
class ProgramConsole final : public machine::Console {
public:
    ProgramConsole(std::string name, std::size_t kept) : m_name(std::move(name)), m_kept(kept) {}

    void write(std::string_view text) override { keep(m_output.out, m_output.outDropped, text); }
    machine::KeyPoll peekKey() override { return {machine::KeyPoll::State::Ended, 0}; }
    void takeKey() override {}
    void warn(std::string_view line) override
    {
        keep(m_output.err, m_output.errDropped, m_name + ": warning: " + std::string(line) + "\n");
    }

    ControllerOutput take() { return std::exchange(m_output, {}); }

private:
    void keep(std::string &to, std::size_t &dropped, std::string_view text) const
    {
        const std::size_t room = m_kept - std::min(m_kept, to.size());
        to.append(text.substr(0, room));
        dropped += text.size() - std::min(room, text.size());
    }

    std::string m_name;
    std::size_t m_kept;
    ControllerOutput m_output;
};

} // namespace

struct ProgramJunction::Parts final : public Clock, public GradedController {
    Parts(const ProgramSettings &settings, const std::string &name)
        : speed(std::max<std::uint32_t>(settings.speed, 1))
        , time(speed)
        , console(name, settings.outputKept)
        , cpu({ports, time, console, nullptr}, local_days{kStartDay} + kStartHour)
    {
    }

    TimePoint now() override { return m_now; }
    std::chrono::system_clock::time_point wallNow() override
    {
        return sys_days{kStartDay} + kStartHour + m_now.time_since_epoch();
    }
    void sleepFor(Duration d) override
    {
        if (d <= Duration::zero())
            return;
        m_now += d;
        runUntil(duration_cast<machine::Micros>(m_now.time_since_epoch()));
    }

    std::optional<std::string> ended() override
    {
        if (!m_stop)
            return std::nullopt;
        if (m_told)
            return "the program had stopped";
        m_told = true;
        if (m_stop->reason == machine::Stop::Reason::Exited)
            return "the program ended (exit code " + std::to_string(m_stop->exitCode) + ")";
        return m_stop->fault;
    }
    // A DOS program has no signal to leave its lights by: it is simply run no further.
    void stop() override {}
    ControllerOutput takeOutput() override { return console.take(); }

    void runUntil(machine::Micros target);

    std::uint64_t speed;
    MemoryPorts ports;
    machine::VirtualTime time;
    ProgramConsole console;
    machine::Machine cpu;

private:
    TimePoint m_now{};
    std::optional<machine::Stop> m_stop;
    bool m_told = false;
};

// Runs the program on until its time reaches `target`: the instructions due by then at its speed,
// its waits skipped on to their end (or to `target`, when they end later).
void ProgramJunction::Parts::runUntil(machine::Micros target)
{
    constexpr std::uint64_t kMicrosPerSecond = 1'000'000;
    while (!m_stop) {
        const std::uint64_t ran = cpu.instructions();
        const machine::Micros at = time.now(ran);
        if (at >= target)
            return;
        // The first count of instructions whose time reaches the target, split so that the
        // product cannot overflow.
        const auto running = static_cast<std::uint64_t>((target - time.waited()).count());
        const std::uint64_t due = running / kMicrosPerSecond * speed
                + (running % kMicrosPerSecond * speed + kMicrosPerSecond - 1) / kMicrosPerSecond;
        const machine::Stop stop = cpu.run(due - ran);
        switch (stop.reason) {
        case machine::Stop::Reason::SliceDone:
            break;
        case machine::Stop::Reason::Waiting:
            // A wait that is already over and ran nothing would come round again for ever.
            time.skipTo(stop.until > at || cpu.instructions() != ran ? std::min(stop.until, target)
                                                                      : target,
                        cpu.instructions());
            break;
        case machine::Stop::Reason::Exited:
        case machine::Stop::Reason::Fault:
            m_stop = stop;
            break;
        }
    }
}

ProgramJunction::ProgramJunction(std::unique_ptr<Parts> parts) : m_parts(std::move(parts)) {}
ProgramJunction::~ProgramJunction() = default;

std::unique_ptr<ProgramJunction> ProgramJunction::load(const ProgramSettings &settings,
                                                       std::string &error)
{
    const std::string name = std::filesystem::path(settings.path).filename().string();
    auto parts = std::make_unique<Parts>(settings, name);
    const machine::LoadOutcome loaded = parts->cpu.load(settings.file, {}, name);
    if (!loaded.program) {
        error = name + ": " + loaded.error;
        return nullptr;
    }
    return std::unique_ptr<ProgramJunction>(new ProgramJunction(std::move(parts)));
}

JunctionPorts &ProgramJunction::ports()
{
    return m_parts->ports;
}

Clock &ProgramJunction::clock()
{
    return *m_parts;
}

GradedController &ProgramJunction::controller()
{
    return *m_parts;
}

} // namespace bexen::ports

#endif
