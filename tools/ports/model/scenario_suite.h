// SPDX-License-Identifier: MIT
#pragma once

#include "model/scenario.h"

#include <optional>
#include <string>
#include <vector>

namespace bexen::ports {

// The built-in scenarios, in the order test runs them.
std::vector<Scenario> builtinSuite();

// The scenarios named, built-in ones by name (unless a file of that name is there) and the others
// read from their files, into `loaded`; none named is the built-in suite. The first fault is the
// one error line.
std::optional<std::string> loadScenarios(const std::vector<std::string> &named,
                                         std::vector<Scenario> &loaded);

} // namespace bexen::ports
