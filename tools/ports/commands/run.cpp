// SPDX-License-Identifier: MIT
#include "commands/run.h"

#include "commands/command_line.h"
#include "shared/words.h"

#ifdef BEXEN_HAVE_MACHINE
#include "machine.h"

#include <cerrno>
#include <ctime>
#include <fstream>
#include <poll.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <memory>

namespace bexen::ports {

namespace {

constexpr std::string_view kCommand = "run";

#ifdef BEXEN_HAVE_MACHINE

namespace machine = bexen::machine;

// The speed is held to the wall clock slice by slice; a slice is short enough for the panel to
// see every light as the program sets it, long enough to cost next to nothing.
constexpr Clock::Duration kSlice{10};
// As fast as the host can: this many instructions between two looks at Ctrl-C and the clock.
constexpr std::uint64_t kFastSlice = 2'000'000;
// Waits are slept in steps this long, so Ctrl-C ends one at once.
constexpr Clock::Duration kWaitStep{10};
// Nothing bigger can be a program: the file is not read past it.
constexpr std::size_t kLargestFile = 1 << 20;

// The port file as the program's I/O ports, by the panel's rules: port p is byte p - 100, ports
// below 100 read 0 and are not written. A failed access is kept, for the loop to end the run
// with (the machine's hooks cannot carry an exception).
class PortFileBus final : public machine::PortBus {
public:
    explicit PortFileBus(const Context &ctx) : m_ctx(ctx) {}

    std::uint8_t in(std::uint16_t port) override
    {
        if (port < io::kFirstPort || m_failure)
            return 0;
        io::ReadOutcome outcome = m_ctx.read(port, io::WhenMissing::Create);
        if (outcome.error)
            m_failure = std::move(outcome.error);
        return outcome.value;
    }

    void out(std::uint16_t port, std::uint8_t value) override
    {
        if (port < io::kFirstPort || m_failure)
            return;
        m_failure = m_ctx.write(port, value);
    }

    const std::optional<io::AccessError> &failure() const { return m_failure; }

private:
    const Context &m_ctx;
    std::optional<io::AccessError> m_failure;
};

// The wall clock through the context's clock: INT 1Ah, INT 15h and the timer follow it.
class WallTime final : public machine::TimeSource {
public:
    WallTime(Clock &clock, Clock::TimePoint start) : m_clock(clock), m_start(start) {}
    machine::Micros now(std::uint64_t) override { return m_clock.now() - m_start; }

private:
    Clock &m_clock;
    Clock::TimePoint m_start;
};

class ToolConsole final : public machine::Console {
public:
    ToolConsole(Context &ctx, KeyInput &keys, std::string prefix)
        : m_ctx(ctx), m_keys(keys), m_prefix(std::move(prefix))
    {
    }
    void write(std::string_view text) override { m_ctx.out << text; }
    machine::KeyPoll peekKey() override
    {
        std::uint8_t key = 0;
        switch (m_keys.peek(key)) {
        case KeyInput::State::Ready:
            return {machine::KeyPoll::State::Ready, key};
        case KeyInput::State::NotYet:
            return {machine::KeyPoll::State::NotYet, 0};
        case KeyInput::State::Ended:
            break;
        }
        return {machine::KeyPoll::State::Ended, 0};
    }
    void takeKey() override { m_keys.take(); }
    void warn(std::string_view line) override
    {
        m_ctx.out.flush();
        m_ctx.err << m_prefix << "warning: " << line << std::endl;
    }

private:
    Context &m_ctx;
    KeyInput &m_keys;
    std::string m_prefix;
};

// "12.300 s 1000:0142 out 160 <- 3", on stderr beside the program's own text on stdout.
class TraceLines final : public machine::Trace {
public:
    explicit TraceLines(Context &ctx) : m_ctx(ctx) {}
    void portIn(machine::Micros time, machine::Address at, std::uint16_t port,
                std::uint8_t value) override
    {
        line(time, at) << "in " << port << " -> " << int{value} << std::endl;
    }
    void portOut(machine::Micros time, machine::Address at, std::uint16_t port,
                 std::uint8_t value) override
    {
        line(time, at) << "out " << port << " <- " << int{value} << std::endl;
    }
    void interrupt(machine::Micros time, machine::Address at, std::uint8_t number,
                   std::uint16_t ax) override
    {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        std::string text = "int ";
        text += kDigits[number >> 4];
        text += kDigits[number & 0xF];
        text += "h ax=";
        for (int shift = 12; shift >= 0; shift -= 4)
            text += kDigits[(ax >> shift) & 0xF];
        line(time, at) << text << std::endl;
    }

private:
    std::ostream &line(machine::Micros time, machine::Address at)
    {
        m_ctx.out.flush();
        return m_ctx.err << formatSeconds(std::chrono::duration_cast<Clock::Duration>(time))
                         << " s " << machine::addressText(at) << " ";
    }
    Context &m_ctx;
};

// The calendar moment the program starts at: the wall clock in local time, as DOS keeps it.
machine::LocalMoment localStart(Clock &clock)
{
    const auto wall = clock.wallNow();
    const std::time_t since = std::chrono::system_clock::to_time_t(wall);
    std::tm local{};
    localtime_r(&since, &local);
    using namespace std::chrono;
    return local_time<machine::Micros>(duration_cast<machine::Micros>(wall.time_since_epoch())
                                       + seconds(local.tm_gmtoff));
}

class RunLoop {
public:
    RunLoop(Context &ctx, const RunOptions &options, std::string prefix)
        : m_ctx(ctx), m_options(options), m_prefix(std::move(prefix))
    {
    }
    int run(machine::Machine &machine, const PortFileBus &bus);

private:
    // Sleeps until `when`; false when Ctrl-C or the time limit came first.
    bool sleepUntil(Clock::TimePoint when);
    bool timeIsUp() const
    {
        return m_options.maxSeconds && m_ctx.clock.now() - m_start >= *m_options.maxSeconds;
    }
    int timeLimit(const machine::Machine &machine);

    Context &m_ctx;
    const RunOptions &m_options;
    std::string m_prefix;
    Clock::TimePoint m_start{};
    // Time the program spent waiting, when no instruction is due.
    Clock::Duration m_waited{0};
};

int RunLoop::run(machine::Machine &machine, const PortFileBus &bus)
{
    m_start = m_ctx.clock.now();
    const std::uint64_t speed = m_options.speed;
    for (;;) {
        if (m_ctx.stopping())
            return kExitInterrupted;
        // Once the time is up, the instructions due by the limit still run.
        const bool last = timeIsUp();
        const Clock::TimePoint now = last ? m_start + *m_options.maxSeconds : m_ctx.clock.now();
        const Clock::Duration running = now - m_start - m_waited;
        std::uint64_t budget = kFastSlice;
        if (speed != 0) {
            // The instructions due by now on the absolute schedule, less those run.
            const auto due = speed * static_cast<std::uint64_t>(running.count()) / 1000;
            budget = due > machine.instructions() ? due - machine.instructions() : 0;
        }
        const machine::Stop stop = budget > 0 ? machine.run(budget) : machine::Stop{};
        m_ctx.out.flush();
        if (bus.failure())
            return m_ctx.failAccess(*bus.failure());
        switch (stop.reason) {
        case machine::Stop::Reason::SliceDone:
            if (last)
                return timeLimit(machine);
            if (speed != 0)
                sleepUntil(m_start + m_waited + (running / kSlice + 1) * kSlice);
            break;
        case machine::Stop::Reason::Waiting: {
            if (last)
                return timeLimit(machine);
            const Clock::TimePoint before = m_ctx.clock.now();
            sleepUntil(m_start + std::chrono::ceil<Clock::Duration>(stop.until));
            m_waited += m_ctx.clock.now() - before;
            break;
        }
        case machine::Stop::Reason::Exited:
            if (stop.exitCode == 0)
                return kExitOk;
            m_ctx.err << m_prefix << "ended with exit code " << stop.exitCode << std::endl;
            return kExitProgramFailed;
        case machine::Stop::Reason::Fault:
            m_ctx.err << m_prefix << stop.fault << std::endl;
            return kExitProgramFault;
        }
    }
}

bool RunLoop::sleepUntil(Clock::TimePoint when)
{
    while (m_ctx.clock.now() < when) {
        if (m_ctx.stopping() || timeIsUp())
            return false;
        m_ctx.clock.sleepFor(std::min(kWaitStep, when - m_ctx.clock.now()));
    }
    return true;
}

int RunLoop::timeLimit(const machine::Machine &machine)
{
    const Clock::Duration running = m_ctx.clock.now() - m_start - m_waited;
    m_ctx.err << m_prefix << "time limit of " << formatShortSeconds(*m_options.maxSeconds)
              << " s reached after " << machine.instructions() << " instructions";
    if (running.count() > 0)
        m_ctx.err << " (" << machine.instructions() * 1000 / static_cast<std::uint64_t>(running.count())
                  << " a second while running, " << formatSeconds(m_waited) << " s waiting)";
    m_ctx.err << std::endl;
    return kExitTimeLimit;
}

// The tool's stdin, a byte a key, looked at without blocking. A terminal gives its keys a line
// at a time, as it does to any program that has not asked for raw input.
class StdinKeys final : public KeyInput {
public:
    State peek(std::uint8_t &key) override
    {
        if (!m_have && !m_ended) {
            pollfd input{STDIN_FILENO, POLLIN, 0};
            const int ready = ::poll(&input, 1, 0);
            if (ready == 0)
                return State::NotYet;
            char byte = 0;
            const ssize_t got = ready > 0 ? ::read(STDIN_FILENO, &byte, 1) : -1;
            if (got == 1) {
                m_have = true;
                m_key = static_cast<std::uint8_t>(byte);
            } else if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
                return State::NotYet;
            } else {
                m_ended = true;
            }
        }
        key = m_key;
        return m_have ? State::Ready : State::Ended;
    }
    void take() override { m_have = false; }

private:
    bool m_have = false;
    bool m_ended = false;
    std::uint8_t m_key = 0;
};

int startRun(Context &ctx, const RunOptions &options)
{
    StdinKeys keys;
    return runProgram(ctx, options, keys);
}

#else

int startRun(Context &ctx, const RunOptions &)
{
    return ctx.failUsage(kCommand, "this build of bexen-ports has no machine to run a DOS program "
                                   "on (Unicorn is not built for Windows); run it on Linux");
}

#endif

} // namespace

#ifdef BEXEN_HAVE_MACHINE

std::optional<std::string> readProgramFile(const std::string &path, std::vector<std::uint8_t> &file)
{
    std::ifstream in(path, std::ios::binary);
    std::error_code ec;
    if (!in || std::filesystem::is_directory(path, ec))
        return quoteArgument(path) + " cannot be read";
    file.resize(kLargestFile + 1);
    in.read(reinterpret_cast<char *>(file.data()), static_cast<std::streamsize>(file.size()));
    file.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        return quoteArgument(path) + " cannot be read";
    return std::nullopt;
}

int runProgram(Context &ctx, const RunOptions &options, KeyInput &keys)
{
    const std::string name = std::filesystem::path(options.program).filename().string();
    const std::string prefix = usageLine(kCommand, name) + ": ";
    const machine::CommandTail tail = machine::commandTail(options.arguments);
    if (tail.error)
        return ctx.failUsage(kCommand, *tail.error);

    std::vector<std::uint8_t> file;
    if (auto error = readProgramFile(options.program, file))
        return ctx.failUsage(kCommand, *error);

    const io::PortFileLocation location = ctx.portFile();
    if (location.error)
        return ctx.failAccess(*location.error);

    PortFileBus bus(ctx);
    WallTime time(ctx.clock, ctx.clock.now());
    ToolConsole console(ctx, keys, prefix);
    TraceLines trace(ctx);
    machine::Machine machine({bus, time, console, options.trace ? &trace : nullptr},
                             localStart(ctx.clock));
    const machine::LoadOutcome loaded = machine.load(file, tail.text, name);
    if (!loaded.program) {
        ctx.err << prefix << loaded.error << std::endl;
        return kExitBadArguments;
    }
    RunLoop loop(ctx, options, prefix);
    return loop.run(machine, bus);
}

#endif

void addRunCommand(CommandLine &line)
{
    auto options = std::make_shared<RunOptions>();
    CLI::App &run = line.addCommand(
            std::string(kCommand),
            "run a student's DOS program (.COM or .EXE) on the port file, as the emulator would",
            [options](Context &ctx) { return startRun(ctx, *options); });
#ifndef BEXEN_HAVE_MACHINE
    // Not listed where it cannot run; asked for, it says why.
    run.group("");
#endif
    line.addWholeNumber(run, "--speed", options->speed, 1'000'000'000,
                        "run IPS instructions a second, held to the wall clock in slices of "
                        "10 ms (default; 0: as fast as the host can). Delay loops take longer "
                        "the lower it is; INT 15h waits and INT 1Ah's ticks follow the wall clock")
            ->type_name("IPS");
    run.add_flag("--trace", options->trace,
                 "print a line on stderr for every port access and interrupt: its time, CS:IP "
                 "and what it did (\"12.300 s 1000:0142 out 160 <- 3\")");
    line.addSeconds(run, "--max-seconds", options->maxSeconds, "end the run after S seconds");
    line.addPath(run, "PROGRAM", options->program,
                 "the program: an MZ .EXE, or else a .COM (the file's first bytes tell, not its "
                 "name)",
                 "PROGRAM must not be empty", "missing PROGRAM to run");
    run.add_option("ARGUMENTS", options->arguments,
                   "its command tail (put -- before one that starts with -)");
    run.footer("The program's text goes to stdout and its keys come from stdin; a line of its "
               "own on stderr names a service it used that the machine does not provide. Exit "
               "status: 0 the program ended with code 0, 4 it ended with another code, 5 it "
               "faulted (the line says what and where, e.g. \"invalid opcode 0F FF at "
               "1000:0123\"), 1 the port file could not be used, 2 bad arguments or a program "
               "that cannot be loaded, 124 --max-seconds passed, 130 Ctrl-C. The lights stay as "
               "the program left them.");
}

} // namespace bexen::ports
