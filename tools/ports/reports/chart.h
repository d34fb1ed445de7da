// SPDX-License-Identifier: MIT
#pragma once

#include "commands/cli.h"
#include "model/checker.h"
#include "model/clock.h"
#include "model/junction_ports.h"
#include "model/script.h"

#include <optional>
#include <string>
#include <vector>

namespace bexen::ports {

class CommandLine;

// `bexen-ports chart RECORDING OUT`: a timing chart in SVG of a run that record wrote to CSV.
// Its options fill ChartOptions, and chartRecording draws the chart.
void addChartCommand(CommandLine &line);

struct ChartOptions {
    std::string recording; // the CSV file
    std::string out; // the SVG file
    Clock::Duration maxWait = CheckOptions{}.maxWait;
    std::optional<Clock::Duration> from; // none: the start of the recording
    std::optional<Clock::Duration> to; // none: its end
};

// Checks OUT, reads and replays the recording and writes the chart. A bad option, OUT or
// recording is one line on ctx.err and kExitBadArguments, with nothing written; an OUT that
// cannot be written is kExitAccessFailed. Prints one line on ctx.out when done.
int chartRecording(Context &ctx, const ChartOptions &options);

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

// What `watch --check` would have reported of the run: its checker, sampling at every recorded
// change and at the panel's poll in between, so a car's wait is judged on the same timeline.
std::vector<TimedViolation> checkRun(const RecordedRun &run, Clock::Duration maxWait);

// The spacing of the time axis's ticks: the shortest of 1, 2, 5 times a power of ten (up to
// 10 s), then 15 s, 30 s, 1, 2, 5, 10, 15, 30 minutes and whole hours, that cuts a window of
// this length into at most twelve steps.
Clock::Duration tickSpacing(Clock::Duration length);

struct ChartInput {
    std::string name; // the recording, as the chart's heading names it
    RecordedRun run;
    std::vector<TimedViolation> violations; // of the whole run
    Clock::Duration maxWait;
    Clock::Duration from; // the window shown, within the run
    Clock::Duration to;
};

// The chart as a whole SVG document.
std::string renderChart(const ChartInput &input);

} // namespace bexen::ports
