// SPDX-License-Identifier: MIT
#include "port_args.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace bexen::ports {

std::optional<std::uint64_t> parseWholeNumber(std::string_view text, std::uint64_t lowest,
                                              std::uint64_t highest)
{
    // "0x10", "+160" or " 160" mean something to their writer that this tool does not read, so
    // they are refused whole rather than read in part.
    if (text.empty() || !std::all_of(text.begin(), text.end(),
                                     [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if (value < lowest || value > highest)
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> parsePort(std::string_view text)
{
    return parseWholeNumberAs<std::int32_t>(text, kLowestPort, kHighestPort);
}

std::optional<std::uint8_t> parseByteValue(std::string_view text)
{
    return parseWholeNumberAs<std::uint8_t>(text, 0, 255);
}

std::optional<std::uint32_t> parseIntervalMs(std::string_view text)
{
    return parseWholeNumberAs<std::uint32_t>(text, 1, kLongestIntervalMs);
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

bool looksLikeOption(std::string_view arg, DashNumber dashNumber)
{
    if (arg.size() < 2 || arg[0] != '-')
        return false;
    return dashNumber == DashNumber::IsOption || arg[1] < '0' || arg[1] > '9';
}

std::string unknownOption(std::string_view arg)
{
    return "unknown option " + quoteArgument(arg);
}

std::string strayArgument(std::string_view arg, DashNumber dashNumber)
{
    if (looksLikeOption(arg, dashNumber))
        return unknownOption(arg);
    return "unexpected argument " + quoteArgument(arg);
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

ParsedOption takeSecondsOption(const Args &args, std::size_t &i, std::string_view name,
                               std::optional<Clock::Duration> &target)
{
    Clock::Duration seconds{};
    const ParsedOption parsed = takeSecondsOption(args, i, name, seconds);
    if (parsed.matched && !parsed.error)
        target = seconds;
    return parsed;
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

} // namespace bexen::ports
