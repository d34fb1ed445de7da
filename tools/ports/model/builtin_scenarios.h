// SPDX-License-Identifier: MIT
#pragma once

#include <span>
#include <string_view>

namespace bexen::ports {

// The suite `bexen-ports test` runs when given no scenario, as shipped in tools/ports/scenarios/
// and compiled in, so that the program needs no file beside it; in the order it runs them.
struct BuiltinScenario {
    std::string_view file; // "car-at-2.txt"
    std::string_view text;
};

std::span<const BuiltinScenario> builtinScenarios();

} // namespace bexen::ports
