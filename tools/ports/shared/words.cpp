// SPDX-License-Identifier: MIT
#include "shared/words.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace bexen::ports {

std::string quoteArgument(std::string_view arg)
{
    std::string text = "\"";
    for (char c : arg) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            text += escaped;
        } else {
            text += c;
        }
    }
    text += '"';
    return text;
}

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

std::optional<Clock::Duration> parseSeconds(std::string_view text)
{
    constexpr std::int64_t maxSeconds = 1'000'000;
    const auto point = text.find('.');
    const std::string_view fraction = point == std::string_view::npos ? std::string_view{}
                                                                      : text.substr(point + 1);
    // The whole seconds read as any whole number is; the decimals, when there is a point, are
    // digits too.
    const auto seconds = parseWholeNumber(text.substr(0, point), 0, maxSeconds);
    if (!seconds || (point != std::string_view::npos && fraction.empty())
        || !std::ranges::all_of(fraction, [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;

    // Milliseconds from the first three decimals, rounded by the fourth.
    std::int64_t millis = 0;
    for (std::size_t i = 0; i < 3; ++i)
        millis = millis * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    if (fraction.size() > 3 && fraction[3] >= '5')
        ++millis;
    const auto total = static_cast<std::int64_t>(*seconds) * 1000 + millis;
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

std::string secondsText(Clock::Duration d)
{
    return formatSeconds(d) + " s";
}

std::string formatShortSeconds(Clock::Duration d)
{
    std::string text = formatSeconds(d);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.ends_with('.'))
        text.pop_back();
    return text;
}

} // namespace bexen::ports
