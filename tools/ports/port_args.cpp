#include "port_args.h"

#include <algorithm>
#include <charconv>

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
    const auto value = parseWholeNumber(text, kLowestPort, kHighestPort);
    if (!value)
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

std::optional<std::uint8_t> parseByteValue(std::string_view text)
{
    const auto value = parseWholeNumber(text, 0, 255);
    if (!value)
        return std::nullopt;
    return static_cast<std::uint8_t>(*value);
}

std::optional<std::uint32_t> parseIntervalMs(std::string_view text)
{
    const auto value = parseWholeNumber(text, 1, kLongestIntervalMs);
    if (!value)
        return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

} // namespace bexen::ports
