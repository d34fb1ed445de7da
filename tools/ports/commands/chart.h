// SPDX-License-Identifier: MIT
#pragma once

#include "commands/cli.h"
#include "model/checker.h"
#include "model/clock.h"

#include <optional>
#include <string>

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

// Checks OUT, reads and replays the recording and writes the chart. A bad OUT or recording is
// one line on ctx.err and kExitBadArguments, with nothing written; an OUT that cannot be written
// is kExitAccessFailed. Prints one line on ctx.out when done.
int chartRecording(Context &ctx, const ChartOptions &options);

} // namespace bexen::ports
