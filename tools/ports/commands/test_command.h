// SPDX-License-Identifier: MIT
#pragma once

#include "commands/cli.h"

#include <optional>
#include <string>
#include <vector>

namespace bexen::ports {

class CommandLine;

// `bexen-ports test [SCENARIO]... [-- COMMAND...]`: plays traffic scenarios against whatever
// drives the lights and gives each a verdict, for a student before handing a controller in and
// for a teacher's autograder.
void addTestCommand(CommandLine &line);

// The words after the "--" of a test command line, taken out of `args`: the controller to start.
// Any other command's "--" stays where it is, an end of its options as usual.
std::optional<std::vector<std::string>> takeControllerCommand(Args &args);

} // namespace bexen::ports
