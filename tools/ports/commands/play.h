// SPDX-License-Identifier: MIT
#pragma once

#include "model/junction_ports.h"
#include "model/script.h"
#include "shared/clock.h"

#include <functional>
#include <ostream>
#include <vector>

namespace bexen::ports {

class CommandLine;

// `bexen-ports play SCRIPT`: sensors (and lights) set on a timeline, from a script or a recording.
void addPlayCommand(CommandLine &line);

struct PlayOutcome {
    std::size_t done = 0; // steps carried out
    bool stopped = false;
};

// Carries out the steps at their times, held as StepTimeline holds them. Throws PortFailure when
// the port file fails.
PlayOutcome playSteps(JunctionPorts &ports, Clock &clock, const std::vector<PlayStep> &steps,
                      std::ostream &log, const std::function<bool()> &stop);

} // namespace bexen::ports
