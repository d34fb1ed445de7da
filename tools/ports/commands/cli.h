// SPDX-License-Identifier: MIT
#pragma once

#include "shared/clock.h"
#include "shared/context.h"

#include <functional>
#include <ostream>

namespace bexen::ports {

// Runs one invocation (the arguments after the program name). The streams, clock and stop hook
// come from the caller, so tests run the whole tool in-process.
int runTool(const Args &args, std::ostream &out, std::ostream &err, Clock &clock,
            std::function<bool()> stopWhen = {});

// The program's entry point: the real streams, the wall clock and Ctrl-C as a stop request.
int runMain(int argc, char **argv);

} // namespace bexen::ports
