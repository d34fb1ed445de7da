// SPDX-License-Identifier: MIT
#pragma once

#include "shared/clock.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bexen::ports {

// A user's argument as an error line shows it: in double quotes, with control characters and
// quotes escaped so a stray byte cannot play tricks on the terminal.
std::string quoteArgument(std::string_view arg);

// The port file starts at port 100; 65535 is the highest port an emulated machine can address.
inline constexpr std::int32_t kLowestPort = 100;
inline constexpr std::int32_t kHighestPort = 65535;

inline constexpr std::uint32_t kLongestIntervalMs = 3'600'000;

// Each parser takes the whole text as a plain decimal number (digits only: no sign, no blanks, no
// base prefix, nothing after it) and answers nothing when it does not fit the range.
std::optional<std::int32_t> parsePort(std::string_view text);
std::optional<std::uint8_t> parseByteValue(std::string_view text);

// Any whole number from `lowest` to `highest` under the same rules, for the other commands' options.
std::optional<std::uint64_t> parseWholeNumber(std::string_view text, std::uint64_t lowest,
                                              std::uint64_t highest);
// The same, as the type the range fits in.
template<typename Number>
std::optional<Number> parseWholeNumberAs(std::string_view text, std::uint64_t lowest,
                                         std::uint64_t highest)
{
    const auto value = parseWholeNumber(text, lowest, highest);
    return value ? std::optional<Number>(static_cast<Number>(*value)) : std::nullopt;
}

// Seconds as the user writes them on the command line and in scripts: digits, optionally a point
// and more digits ("5", "0.25", "12.5"). No sign, exponent, blank, "nan" or "inf"; at most
// 1,000,000 s. The result is rounded to the millisecond; empty when the text is not such a number.
std::optional<Clock::Duration> parseSeconds(std::string_view text);
// "12.345"
std::string formatSeconds(Clock::Duration d);
// "5", "0.25": as a user writes them, without the zeros after the last digit that counts.
std::string formatShortSeconds(Clock::Duration d);
// "12.345 s"
std::string secondsText(Clock::Duration d);

} // namespace bexen::ports
