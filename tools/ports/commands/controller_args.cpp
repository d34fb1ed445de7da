// SPDX-License-Identifier: MIT
#include "commands/controller_args.h"

#include <algorithm>

namespace bexen::ports {

std::optional<std::vector<std::string>> takeControllerCommand(
        Args &args, const std::vector<std::string> &valueOptions)
{
    std::size_t i = 0;
    while (i < args.size() && args[i].starts_with("-")) {
        const bool takesNext = std::ranges::find(valueOptions, args[i]) != valueOptions.end();
        i += takesNext ? 2 : 1;
    }
    if (i >= args.size() || args[i] != "test")
        return std::nullopt;
    const auto dashes = std::find(args.begin() + static_cast<std::ptrdiff_t>(i), args.end(), "--");
    if (dashes == args.end())
        return std::nullopt;
    std::vector<std::string> command(dashes + 1, args.end());
    args.erase(dashes, args.end());
    return command;
}

} // namespace bexen::ports
