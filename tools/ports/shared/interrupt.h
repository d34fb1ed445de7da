// SPDX-License-Identifier: MIT
#pragma once

namespace bexen::ports {

// Ctrl-C (SIGINT, and SIGTERM or a hangup, SIGHUP) asks the running command to stop at its next
// step instead of killing it, so a recording is completed and the demo leaves the lights red.
void installStopHandler();
bool stopRequested();
void requestStop(); // as the handler does; for tests
void clearStopRequest();

} // namespace bexen::ports
