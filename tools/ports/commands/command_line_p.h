// SPDX-License-Identifier: MIT
#pragma once

// What command_line.cpp, which defines the options, and command_line_errors.cpp, which turns
// CLI11's refusals into the tool's error lines, share.

#include "shared/context.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <string>
#include <string_view>

namespace bexen::ports {

inline constexpr std::string_view kSeeHelp = "; see bexen-ports --help";

// A value refused by one of the tool's own checks, with the words of its error line. CLI11 only
// catches its ValidationError inside a check, so this one reaches the failure message whole.
class Refusal : public CLI::ParseError {
public:
    Refusal(const CLI::Option &option, const std::string &what)
        : CLI::ParseError("Refusal", what, kExitBadArguments), m_option(option)
    {
    }
    const CLI::Option &option() const { return m_option; }

private:
    const CLI::Option &m_option;
};

// "--all" or "-x" asks for an option; "-5" is a word, such as a port out of range.
inline bool looksLikeOption(std::string_view word)
{
    return word.size() >= 2 && word[0] == '-' && !std::isdigit(static_cast<unsigned char>(word[1]));
}

} // namespace bexen::ports
