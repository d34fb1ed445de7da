#include "junction_ports.h"

#include "port_args.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace bexen::ports {

std::string_view roadName(Road road)
{
    return road == Road::EastWest ? "east-west" : "north-south";
}

void setPortByte(JunctionState &state, std::int32_t port, std::uint8_t value)
{
    if (port == kSensorPort)
        state.sensors = value;
    else if (port >= lightPort(1) && port <= lightPort(kLightCount))
        state.lights[static_cast<std::size_t>(port - lightPort(1))] = value;
}

std::string lightLabel(int light)
{
    return "light " + std::to_string(light) + " (port " + std::to_string(lightPort(light)) + ")";
}

PortFailure::PortFailure(io::AccessError error)
    : std::runtime_error(error.message())
    , m_error(std::move(error))
{
}

JunctionState JunctionPorts::readState()
{
    JunctionState state;
    state.sensors = readSensors();
    for (int light = 1; light <= kLightCount; ++light)
        state.lights[static_cast<std::size_t>(light - 1)] = readLight(light);
    return state;
}

ContextPorts::ContextPorts(const Context &ctx, io::WhenMissing whenMissing)
    : m_ctx(ctx)
    , m_whenMissing(whenMissing)
{
}

std::uint8_t ContextPorts::read(std::int32_t port)
{
    io::ReadOutcome outcome = m_ctx.read(port, m_whenMissing);
    if (outcome.error)
        throw PortFailure(std::move(*outcome.error));
    return outcome.value;
}

void ContextPorts::write(std::int32_t port, std::uint8_t value)
{
    if (auto error = m_ctx.write(port, value))
        throw PortFailure(std::move(*error));
}

std::optional<Clock::Duration> parseSeconds(std::string_view text)
{
    constexpr std::int64_t maxSeconds = 1'000'000;
    const auto point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view{}
                                                                      : text.substr(point + 1);
    const auto allDigits = [](std::string_view s) {
        for (char c : s)
            if (c < '0' || c > '9')
                return false;
        return true;
    };
    if (whole.empty() || !allDigits(whole) || !allDigits(fraction))
        return std::nullopt;
    if (point != std::string_view::npos && fraction.empty())
        return std::nullopt;

    std::int64_t seconds = 0;
    const auto [end, ec] = std::from_chars(whole.data(), whole.data() + whole.size(), seconds);
    if (ec != std::errc{} || end != whole.data() + whole.size() || seconds > maxSeconds)
        return std::nullopt;

    // Milliseconds from the first three decimals, rounded by the fourth.
    std::int64_t millis = 0;
    for (std::size_t i = 0; i < 3; ++i)
        millis = millis * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    if (fraction.size() > 3 && fraction[3] >= '5')
        ++millis;
    const std::int64_t total = seconds * 1000 + millis;
    if (total > maxSeconds * 1000)
        return std::nullopt;
    return Clock::Duration{total};
}

std::string formatSeconds(Clock::Duration d)
{
    const auto ms = d.count();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%s%lld.%03lld", ms < 0 ? "-" : "",
                  static_cast<long long>((ms < 0 ? -ms : ms) / 1000),
                  static_cast<long long>((ms < 0 ? -ms : ms) % 1000));
    return buffer;
}

OptionMatch takeOption(const Args &args, std::size_t &i, std::string_view name, std::string &value)
{
    const std::string_view arg = args[i];
    if (arg == name) {
        if (i + 1 >= args.size())
            return OptionMatch::MissingValue;
        value = args[++i];
        return OptionMatch::Taken;
    }
    if (arg.size() > name.size() && arg.starts_with(name) && arg[name.size()] == '=') {
        value = std::string(arg.substr(name.size() + 1));
        return OptionMatch::Taken;
    }
    return OptionMatch::Other;
}

bool looksLikeOptionArg(std::string_view arg)
{
    return arg.size() > 1 && arg[0] == '-';
}

ParsedOption takeSecondsOption(const Args &args, std::size_t &i, std::string_view name,
                               Clock::Duration &target)
{
    std::string value;
    switch (takeOption(args, i, name, value)) {
    case OptionMatch::Other:
        return {};
    case OptionMatch::MissingValue:
        return {true, std::string(name) + " needs a number of seconds"};
    case OptionMatch::Taken:
        break;
    }
    const auto seconds = parseSeconds(value);
    if (!seconds) {
        return {true, std::string(name) + " " + quoteArgument(value)
                              + " is not a number of seconds (digits, optionally a point and"
                                " decimals; at most 1000000)"};
    }
    target = *seconds;
    return {true, std::nullopt};
}

ParsedOption takeIntervalOption(const Args &args, std::size_t &i, Clock::Duration &target)
{
    std::string value;
    switch (takeOption(args, i, "--interval", value)) {
    case OptionMatch::Other:
        return {};
    case OptionMatch::MissingValue:
        return {true, "--interval needs a number of milliseconds"};
    case OptionMatch::Taken:
        break;
    }
    const auto ms = parseIntervalMs(value);
    if (!ms) {
        return {true, "interval " + quoteArgument(value)
                              + " is not a whole number of milliseconds from 1 to "
                              + std::to_string(kLongestIntervalMs)};
    }
    target = Clock::Duration{*ms};
    return {true, std::nullopt};
}

Clock::Duration sampleEvery(Clock &clock, Clock::Duration interval,
                            std::optional<Clock::Duration> length, const std::function<bool()> &stop,
                            const std::function<void()> &sample)
{
    const Clock::TimePoint start = clock.now();
    const std::optional<Clock::TimePoint> end =
            length ? std::optional(start + *length) : std::nullopt;
    const auto stopping = [&] { return stop && stop(); };

    sample();
    Clock::TimePoint nextPoll = start;
    while (!stopping() && (!end || clock.now() < *end)) {
        nextPoll += interval;
        if (end)
            nextPoll = std::min(nextPoll, *end);
        if (nextPoll > clock.now())
            clock.sleepFor(nextPoll - clock.now());
        if (stopping())
            break;
        // After a suspended machine, carry on from now instead of racing through missed polls.
        if (clock.now() - nextPoll >= interval)
            nextPoll = clock.now();
        sample();
    }
    return clock.now() - start;
}

} // namespace bexen::ports
