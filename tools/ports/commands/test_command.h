// SPDX-License-Identifier: MIT
#pragma once

namespace bexen::ports {

class CommandLine;

// `bexen-ports test [SCENARIO]... [-- COMMAND...]`: plays traffic scenarios against whatever
// drives the lights and gives each a verdict, for a student before handing a controller in and
// for a teacher's autograder.
void addTestCommand(CommandLine &line);

} // namespace bexen::ports
