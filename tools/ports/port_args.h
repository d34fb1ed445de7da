#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace bexen::ports {

// The port file starts at port 100; 65535 is the highest port an emulated machine can address.
inline constexpr std::int32_t kLowestPort = 100;
inline constexpr std::int32_t kHighestPort = 65535;

inline constexpr std::uint32_t kDefaultIntervalMs = 100; // the panel's own poll period
inline constexpr std::uint32_t kLongestIntervalMs = 3'600'000;

// Each parser takes the whole text as a plain decimal number (digits only: no sign, no blanks, no
// base prefix, nothing after it) and answers nothing when it does not fit the range.
std::optional<std::int32_t> parsePort(std::string_view text);
std::optional<std::uint8_t> parseByteValue(std::string_view text);
std::optional<std::uint32_t> parseIntervalMs(std::string_view text);

// Any whole number from `lowest` to `highest` under the same rules, for the other commands' options.
std::optional<std::uint64_t> parseWholeNumber(std::string_view text, std::uint64_t lowest,
                                              std::uint64_t highest);

} // namespace bexen::ports
