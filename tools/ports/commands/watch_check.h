// SPDX-License-Identifier: MIT
#pragma once

#include "model/checker.h"
#include "model/junction_ports.h"
#include "shared/clock.h"
#include "shared/context.h"

#include <optional>

namespace bexen::ports {

// `watch --check`: the checker run live on the port file.
struct CheckOptions {
    Clock::Duration interval = kPanelPoll;
    Clock::Duration maxWait = kDefaultMaxWait;
    std::optional<Clock::Duration> duration; // none: until stopped
};

// Samples the junction every interval, printing each violation as a timed line and a summary at
// the end; returns kExitOk when the run was clean, kExitViolations otherwise.
// A failed access throws PortFailure after the summary of the run so far.
int checkJunction(JunctionPorts &ports, Context &ctx, const CheckOptions &options);

} // namespace bexen::ports
