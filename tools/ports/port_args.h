// SPDX-License-Identifier: MIT
#pragma once

#include "cli.h"
#include "clock.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bexen::ports {

// The port file starts at port 100; 65535 is the highest port an emulated machine can address.
inline constexpr std::int32_t kLowestPort = 100;
inline constexpr std::int32_t kHighestPort = 65535;

inline constexpr std::uint32_t kLongestIntervalMs = 3'600'000;

// Each parser takes the whole text as a plain decimal number (digits only: no sign, no blanks, no
// base prefix, nothing after it) and answers nothing when it does not fit the range.
std::optional<std::int32_t> parsePort(std::string_view text);
std::optional<std::uint8_t> parseByteValue(std::string_view text);
std::optional<std::uint32_t> parseIntervalMs(std::string_view text);

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

// Where a command takes port numbers, "-150" is read as a number out of range, not as an
// option, so the error names the port; the basic commands keep that reading throughout.
enum class DashNumber { IsOption, IsArgument };
// "--all", "-x": a word that asks for an option rather than giving an argument.
bool looksLikeOption(std::string_view arg, DashNumber dashNumber = DashNumber::IsOption);
// "unknown option "--x"" for an option, else "unexpected argument "x"": what a command says of a
// word it has no place for.
std::string unknownOption(std::string_view arg);
std::string strayArgument(std::string_view arg, DashNumber dashNumber = DashNumber::IsOption);

enum class OptionMatch { Other, Taken, MissingValue };
// When args[i] is the option `name` ("--yellow 2" or "--yellow=2"), stores its value and leaves
// i on the last argument it used.
OptionMatch takeOption(const Args &args, std::size_t &i, std::string_view name, std::string &value);

// An option with a value at args[i]: `matched` when args[i] is that option; `error` says what is
// wrong with its value, else the target holds it. A command tries its options in turn until one
// matches.
struct ParsedOption {
    bool matched = false;
    std::optional<std::string> error;
};
// "--yellow 2": seconds as parseSeconds takes them.
ParsedOption takeSecondsOption(const Args &args, std::size_t &i, std::string_view name,
                               Clock::Duration &target);
ParsedOption takeSecondsOption(const Args &args, std::size_t &i, std::string_view name,
                               std::optional<Clock::Duration> &target);
// "--interval MS": whole milliseconds, as watch takes them.
ParsedOption takeIntervalOption(const Args &args, std::size_t &i, Clock::Duration &target);

} // namespace bexen::ports
