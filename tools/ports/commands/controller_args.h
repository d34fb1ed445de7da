// SPDX-License-Identifier: MIT
#pragma once

#include "shared/context.h"

#include <optional>
#include <string>
#include <vector>

namespace bexen::ports {

// The words after the "--" of a test command line, taken out of `args`: the controller to start,
// with any "--" of its own. The tool's options before the command are stepped over, each of
// `valueOptions` ("--file") with the word after it unless written "--file=PATH". Any other
// command's "--" stays where it is, an end of its options as usual.
std::optional<std::vector<std::string>> takeControllerCommand(
        Args &args, const std::vector<std::string> &valueOptions);

} // namespace bexen::ports
