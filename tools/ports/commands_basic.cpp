// SPDX-License-Identifier: MIT
#include "commands_basic.h"

#include "checker.h"
#include "junction_ports.h"
#include "port_args.h"
#include "port_view.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

namespace bexen::ports {

namespace {

// These commands take port numbers, so "-150" is a port out of range; the others follow suit.
constexpr DashNumber kDashNumber = DashNumber::IsArgument;

std::string badPort(const std::string &arg)
{
    return "port " + quoteArgument(arg) + " is not a whole number from "
            + std::to_string(kLowestPort) + " to " + std::to_string(kHighestPort);
}

std::string badValue(const std::string &arg)
{
    return "value " + quoteArgument(arg) + " is not a whole number from 0 to 255";
}

int refuseArguments(Context &ctx, std::string_view command, const Args &args)
{
    const std::string &first = args.front();
    if (looksLikeOption(first, kDashNumber))
        return ctx.failUsage(command, unknownOption(first));
    return ctx.failUsage(command, "takes no arguments, but got " + quoteArgument(first));
}

} // namespace

int runWhere(Context &ctx, const Args &args)
{
    if (!args.empty())
        return refuseArguments(ctx, "where", args);
    const io::PortFileLocation location = ctx.portFile();
    if (location.error)
        return ctx.failAccess(*location.error);
    ctx.out << location.path << '\n';
    return kExitOk;
}

int runGet(Context &ctx, const Args &args)
{
    if (args.empty())
        return ctx.failUsage("get", "missing PORT");
    std::vector<std::int32_t> ports;
    for (const std::string &arg : args) {
        if (looksLikeOption(arg, kDashNumber))
            return ctx.failUsage("get", unknownOption(arg));
        const auto port = parsePort(arg);
        if (!port)
            return ctx.failUsage("get", badPort(arg));
        ports.push_back(*port);
    }

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

int runSet(Context &ctx, const Args &args)
{
    if (args.empty())
        return ctx.failUsage("set", "missing PORT VALUE");
    std::vector<std::pair<std::int32_t, std::uint8_t>> writes;
    for (std::size_t i = 0; i < args.size(); i += 2) {
        const std::string &portArg = args[i];
        if (looksLikeOption(portArg, kDashNumber))
            return ctx.failUsage("set", unknownOption(portArg));
        const auto port = parsePort(portArg);
        if (!port)
            return ctx.failUsage("set", badPort(portArg));
        if (i + 1 >= args.size())
            return ctx.failUsage("set", "missing VALUE for port " + portArg);
        const std::string &valueArg = args[i + 1];
        const auto value = parseByteValue(valueArg);
        if (!value)
            return ctx.failUsage("set", badValue(valueArg));
        writes.emplace_back(*port, *value);
    }

    for (const auto &[port, value] : writes) {
        if (auto error = ctx.write(port, value))
            return ctx.failAccess(*error);
    }
    return kExitOk;
}

int runDump(Context &ctx, const Args &args)
{
    if (!args.empty())
        return refuseArguments(ctx, "dump", args);
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

int runWatch(Context &ctx, const Args &args)
{
    if (std::find(args.begin(), args.end(), "--check") != args.end())
        return runCheckedWatch(ctx, args);

    Clock::Duration interval = kPanelPoll;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const ParsedOption o = takeIntervalOption(args, i, interval);
        if (!o.matched)
            return ctx.failUsage("watch", strayArgument(args[i], kDashNumber));
        if (o.error)
            return ctx.failUsage("watch", *o.error);
    }

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

} // namespace bexen::ports
