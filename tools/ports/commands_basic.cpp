#include "commands_basic.h"

#include "checker.h"
#include "port_args.h"
#include "port_view.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

namespace bexen::ports {

namespace {

bool looksLikeOption(const std::string &arg)
{
    return arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9');
}

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
    if (looksLikeOption(first))
        return ctx.failUsage(command, "unknown option " + quoteArgument(first));
    return ctx.failUsage(command, "takes no arguments, but got " + quoteArgument(first));
}

// Sleeps until `deadline` in steps short enough that Ctrl-C is answered within one panel tick,
// however long the interval the user chose.
void sleepUntil(Context &ctx, Clock::TimePoint deadline)
{
    constexpr Clock::Duration kLongestStep{100};
    while (!ctx.stopping()) {
        const Clock::TimePoint now = ctx.clock.now();
        if (now >= deadline)
            return;
        ctx.clock.sleepFor(std::min(deadline - now, kLongestStep));
    }
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
        if (looksLikeOption(arg))
            return ctx.failUsage("get", "unknown option " + quoteArgument(arg));
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
        if (looksLikeOption(portArg))
            return ctx.failUsage("set", "unknown option " + quoteArgument(portArg));
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
    const JunctionRead junction = readJunction(ctx);
    if (junction.error)
        return ctx.failAccess(*junction.error);

    ctx.out << "port file: " << location.path;
    std::error_code ec;
    if (std::filesystem::symlink_status(location.path, ec).type()
        == std::filesystem::file_type::not_found)
        ctx.out << " (not there yet: every port reads 0)";
    ctx.out << '\n';
    for (std::int32_t port : kJunctionPorts)
        ctx.out << describePort(port, junction.state) << '\n';
    return kExitOk;
}

int runWatch(Context &ctx, const Args &args)
{
    if (std::find(args.begin(), args.end(), "--check") != args.end())
        return runCheckedWatch(ctx, args);

    std::uint32_t intervalMs = kDefaultIntervalMs;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        std::string text;
        if (arg == "--interval") {
            if (i + 1 >= args.size())
                return ctx.failUsage("watch", "--interval needs a number of milliseconds");
            text = args[++i];
        } else if (arg.starts_with("--interval=")) {
            text = arg.substr(std::string_view("--interval=").size());
        } else if (looksLikeOption(arg)) {
            return ctx.failUsage("watch", "unknown option " + quoteArgument(arg));
        } else {
            return ctx.failUsage("watch", "unexpected argument " + quoteArgument(arg));
        }
        const auto parsed = parseIntervalMs(text);
        if (!parsed)
            return ctx.failUsage("watch", "interval " + quoteArgument(text)
                                         + " is not a whole number of milliseconds from 1 to "
                                         + std::to_string(kLongestIntervalMs));
        intervalMs = *parsed;
    }
    const Clock::Duration interval{intervalMs};

    JunctionRead seen = readJunction(ctx);
    if (seen.error)
        return ctx.failAccess(*seen.error);
    const std::string startStamp = formatTimestamp(ctx.clock.wallNow());
    for (std::int32_t port : kJunctionPorts)
        ctx.out << startStamp << "  " << describePort(port, seen.state) << '\n';
    ctx.out.flush();

    Clock::TimePoint nextPoll = ctx.clock.now();
    while (!ctx.stopping()) {
        nextPoll += interval;
        sleepUntil(ctx, nextPoll);
        if (ctx.stopping())
            break;
        // After a suspended machine or a stalled disk, carry on from now instead of racing
        // through the missed polls.
        if (ctx.clock.now() - nextPoll >= interval)
            nextPoll = ctx.clock.now();

        const JunctionRead now = readJunction(ctx);
        if (now.error)
            return ctx.failAccess(*now.error);
        if (now.state == seen.state)
            continue;
        const std::string stamp = formatTimestamp(ctx.clock.wallNow());
        for (std::int32_t port : kJunctionPorts) {
            if (now.state.byteOf(port) != seen.state.byteOf(port))
                ctx.out << stamp << "  " << describePort(port, now.state) << '\n';
        }
        ctx.out.flush();
        seen = now;
    }
    return kExitOk;
}

} // namespace bexen::ports
