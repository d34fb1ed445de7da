// SPDX-License-Identifier: MIT
#pragma once

#include "model/checker.h"
#include "model/junction_ports.h"
#include "model/script.h"
#include "shared/clock.h"

#include <string>
#include <vector>

namespace bexen::ports {

// The junction from one moment of a recording on, until the next.
struct RecordedState {
    Clock::Duration from;
    JunctionState state;
};

struct RecordedRun {
    std::vector<RecordedState> states; // in time order, each at a time of its own
    // The time of the last row: record ends its CSV with one, at the moment it stopped.
    Clock::Duration end() const { return states.empty() ? Clock::Duration{} : states.back().from; }
};

// The rows of a recording, all rows of one time taken together: record writes the changes of one
// sample with one time, and they landed in the port file at once, not one after the other.
RecordedRun replayRecording(const std::vector<PlayStep> &rows);

struct TimedViolation {
    Clock::Duration at;
    Violation violation;
};

// Something else that went wrong at a moment of a run: an expectation a test found unmet.
struct TimedNote {
    Clock::Duration at;
    std::string text;
};

// What `watch --check` would have reported of the run: its checker, sampling at every recorded
// change and at the panel's poll in between, so a car's wait is judged on the same timeline.
std::vector<TimedViolation> checkRun(const RecordedRun &run, Clock::Duration maxWait);

} // namespace bexen::ports
