// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>

namespace bexen::ports {

// One argument of a Windows command line, quoted so that the started program's C runtime splits
// it back into the same text: backslashes count only before a double quote.
inline std::string quotedArgument(const std::string &arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string text = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        text.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        text += c;
    }
    text.append(2 * backslashes, '\\');
    return text + "\"";
}

} // namespace bexen::ports
