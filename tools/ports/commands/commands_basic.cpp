// SPDX-License-Identifier: MIT
#include "commands/commands_basic.h"

#include "commands/command_line.h"
#include "commands/context_ports.h"
#include "commands/watch_check.h"
#include "model/checker.h"
#include "model/junction_ports.h"
#include "model/port_view.h"
#include "shared/words.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

namespace bexen::ports {

namespace {

int runWhere(Context &ctx)
{
    const io::PortFileLocation location = ctx.portFile();
    if (location.error)
        return ctx.failAccess(*location.error);
    ctx.out << location.path << '\n';
    return kExitOk;
}

int runGet(Context &ctx, const std::vector<std::int32_t> &ports)
{
    // All reads first: a script must not take half an answer for a whole one.
    std::vector<std::uint8_t> values;
    for (std::int32_t port : ports) {
        const io::ReadOutcome outcome = ctx.read(port, io::WhenMissing::ReadZero);
        if (outcome.error)
            return ctx.failAccess(*outcome.error);
        values.push_back(outcome.value);
    }
    for (std::uint8_t value : values)
        ctx.out << static_cast<unsigned>(value) << '\n';
    return kExitOk;
}

// `portValues` holds each port followed by its value.
int runSet(Context &ctx, const std::vector<std::int32_t> &portValues)
{
    for (std::size_t i = 0; i + 1 < portValues.size(); i += 2) {
        const auto value = static_cast<std::uint8_t>(portValues[i + 1]);
        if (auto error = ctx.write(portValues[i], value))
            return ctx.failAccess(*error);
    }
    return kExitOk;
}

int runDump(Context &ctx)
{
    const io::PortFileLocation location = ctx.portFile();
    if (location.error)
        return ctx.failAccess(*location.error);
    const JunctionState state = ContextPorts(ctx, io::WhenMissing::ReadZero).readState();

    ctx.out << "port file: " << location.path;
    std::error_code ec;
    if (std::filesystem::symlink_status(location.path, ec).type()
        == std::filesystem::file_type::not_found)
        ctx.out << " (not there yet: every port reads 0)";
    ctx.out << '\n';
    for (std::int32_t port : kJunctionPorts)
        ctx.out << describePort(port, state) << '\n';
    return kExitOk;
}

int runWatch(Context &ctx, Clock::Duration interval)
{
    // The first sample prints every port; later ones only the ports that changed.
    ContextPorts ports(ctx, io::WhenMissing::ReadZero);
    std::optional<JunctionState> seen;
    const auto sample = [&] {
        const JunctionState now = ports.readState();
        if (seen == now)
            return;
        const std::string stamp = formatTimestamp(ctx.clock.wallNow());
        for (std::int32_t port : kJunctionPorts) {
            if (!seen || now.byteOf(port) != seen->byteOf(port))
                ctx.out << stamp << "  " << describePort(port, now) << '\n';
        }
        ctx.out.flush();
        seen = now;
    };
    sampleEvery(ctx.clock, interval, std::nullopt, [&] { return ctx.stopping(); }, sample);
    return kExitOk;
}

} // namespace

void addWhereCommand(CommandLine &line)
{
    line.addCommand("where", "print the path of the port file", runWhere);
}

void addGetCommand(CommandLine &line)
{
    auto ports = std::make_shared<std::vector<std::int32_t>>();
    CLI::App &get = line.addCommand("get", "print each port's byte in decimal, one per line",
                                    [ports](Context &ctx) { return runGet(ctx, *ports); });
    line.addPorts(get, "PORT", *ports, "", "missing PORT");
}

void addSetCommand(CommandLine &line)
{
    auto writes = std::make_shared<std::vector<std::int32_t>>();
    CLI::App &set = line.addCommand("set", "store each byte, creating the port file if it is missing",
                                    [writes](Context &ctx) { return runSet(ctx, *writes); });
    const CLI::Option *pairs =
            line.addPortValues(set, "PORT VALUE", *writes, "", "missing PORT VALUE");
    // Nothing is written unless every port has its value.
    line.addCheck(set, [pairs]() -> std::optional<std::string> {
        const auto &words = pairs->results();
        if (words.size() % 2 == 0)
            return std::nullopt;
        return "missing VALUE for port " + words.back();
    });
}

void addDumpCommand(CommandLine &line)
{
    line.addCommand("dump", "show the sensors (port 150) and the four lights (ports 160 to 163)",
                    runDump);
}

void addWatchCommand(CommandLine &line)
{
    struct Options {
        bool check = false;
        CheckOptions checking;
    };
    auto options = std::make_shared<Options>();
    CLI::App &watch = line.addCommand(
            "watch", "print a timed line whenever the sensors or a light change, until Ctrl-C",
            [options](Context &ctx) {
                if (!options->check)
                    return runWatch(ctx, options->checking.interval);
                ContextPorts ports(ctx, io::WhenMissing::ReadZero);
                return checkJunction(ports, ctx, options->checking);
            });
    line.setLabel(watch, [options] { return options->check ? "watch --check" : "watch"; });
    line.addMilliseconds(watch, "--interval", options->checking.interval,
                         "poll every MS milliseconds (default, as the panel does)");
    CLI::Option *check = watch.add_flag(
            "--check", options->check,
            "report only the junction's violations, as they happen: a light value outside 0..4, "
            "both roads moving, a light changing where its cycle does not go, a car left "
            "waiting; a summary at the end, exit status 3 when anything was violated");
    line.addSeconds(watch, "--max-wait", options->checking.maxWait,
                    "with --check: the longest a car may wait for green (default)")
            ->needs(check);
    line.addSeconds(watch, "--duration", options->checking.duration,
                    "with --check: stop after S seconds")
            ->needs(check);
}

} // namespace bexen::ports
