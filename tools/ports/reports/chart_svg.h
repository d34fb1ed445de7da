// SPDX-License-Identifier: MIT
#pragma once

#include "model/recorded_run.h"
#include "shared/clock.h"

#include <string>
#include <vector>

namespace bexen::ports {

// The spacing of the time axis's ticks: the shortest of 1, 2, 5 times a power of ten (up to
// 10 s), then 15 s, 30 s, 1, 2, 5, 10, 15, 30 minutes and whole hours, that cuts a window of
// this length into at most twelve steps.
Clock::Duration tickSpacing(Clock::Duration length);

struct ChartInput {
    std::string name; // the recording, as the chart's heading names it
    RecordedRun run;
    std::vector<TimedViolation> violations; // of the whole run
    std::vector<TimedNote> failedExpectations; // of a test's scenario, marked with the violations
    Clock::Duration maxWait;
    Clock::Duration from; // the window shown, within the run
    Clock::Duration to;
};

// The chart as a whole SVG document: one lane per light and per sensor, a mark at each violation
// and at each failed expectation.
std::string renderChart(const ChartInput &input);

} // namespace bexen::ports
