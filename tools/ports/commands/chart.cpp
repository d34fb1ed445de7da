// SPDX-License-Identifier: MIT
#include "commands/chart.h"

#include "commands/command_line.h"
#include "commands/context_ports.h"
#include "commands/recorder.h"
#include "model/checker.h"
#include "reports/chart_svg.h"
#include "reports/output_file.h"
#include "shared/words.h"

#include <algorithm>
#include <filesystem>
#include <memory>

namespace bexen::ports {

namespace {

namespace fs = std::filesystem;

struct ChartOptions {
    std::string recording; // the CSV file
    std::string out; // the SVG file
    Clock::Duration maxWait = kDefaultMaxWait;
    std::optional<Clock::Duration> from; // none: the start of the recording
    std::optional<Clock::Duration> to; // none: its end
};

// What is wrong with OUT, found before any work is done.
std::optional<std::string> checkTarget(const Context &ctx, const std::string &recording,
                                       const std::string &target)
{
    std::vector<KeptFile> kept = keptPortFile(ctx);
    kept.insert(kept.begin(), {recording, "the recording"});
    return checkOutputPath({"OUT", target, "draw the chart", "the chart's file"}, kept);
}

// Checks OUT, reads and replays the recording and writes the chart. A bad OUT or recording is
// one line on ctx.err and kExitBadArguments, with nothing written; an OUT that cannot be written
// is kExitAccessFailed. Prints one line on ctx.out when done.
int chartRecording(Context &ctx, const ChartOptions &options)
{
    constexpr std::string_view command = "chart";
    const std::string &recording = options.recording;
    const std::string &target = options.out;
    const std::optional<Clock::Duration> &from = options.from;
    const std::optional<Clock::Duration> &to = options.to;
    if (auto error = checkTarget(ctx, recording, target))
        return ctx.failUsage(command, *error);

    std::string text;
    if (auto error = readPlayFile(recording, text))
        return ctx.failUsage(command, *error);
    if (text.empty())
        return ctx.failUsage(command, recording + ": is empty; a recording starts with the line "
                                     + std::string(kCsvHeader));
    const ParsedPlay parsed = parseRecording(text);
    if (parsed.error)
        return ctx.failUsage(command, describeError(recording, *parsed.error));

    ChartInput input{fs::path(recording).filename().string(), replayRecording(parsed.steps), {}, {},
                     options.maxWait, {}, {}};
    const Clock::Duration start = input.run.states.front().from;
    const Clock::Duration end = input.run.end();
    if (end <= start)
        return ctx.failUsage(command, recording + ": every row is at " + secondsText(start)
                                     + "; a recording to chart spans some time");
    input.from = std::max(from.value_or(start), start);
    input.to = std::min(to.value_or(end), end);
    if (input.from >= input.to) {
        const std::string cut = from && *from >= end ? "--from " + secondsText(*from)
                                                     : "--to " + secondsText(to.value_or(end));
        return ctx.failUsage(command, recording + ": runs from " + secondsText(start) + " to "
                                     + secondsText(end) + "; " + cut + " leaves nothing of it to chart");
    }
    input.violations = checkRun(input.run, options.maxWait);

    if (auto error = writeFileWhole(target, renderChart(input)))
        return ctx.failAccess(*error);
    const auto shown = std::count_if(input.violations.begin(), input.violations.end(),
                                     [&](const TimedViolation &v) { return v.at >= input.from && v.at <= input.to; });
    ctx.out << "chart: " << target << ": " << secondsText(input.from) << " to " << secondsText(input.to)
            << " of " << recording << ", " << shown << (shown == 1 ? " violation" : " violations")
            << std::endl;
    return kExitOk;
}

} // namespace

void addChartCommand(CommandLine &line)
{
    auto options = std::make_shared<ChartOptions>();
    CLI::App &chart = line.addCommand(
            "chart", "draw a CSV recording as a timing chart in SVG, every violation marked",
            [options](Context &ctx) { return chartRecording(ctx, *options); });
    line.addPath(chart, "RECORDING", options->recording, "a CSV recording made by record",
                 "RECORDING must not be empty", "missing RECORDING, the CSV recording to chart");
    line.addPath(chart, "OUT", options->out,
                 "the SVG file to write: one lane per light and per sensor, and a mark at each "
                 "violation watch --check would have reported",
                 "OUT must not be empty", "missing OUT, the SVG file to draw the chart into");
    line.addSeconds(chart, "--max-wait", options->maxWait,
                    "the longest a car may wait for green, as for watch --check (default)");
    line.addSeconds(chart, "--from", options->from,
                    "start the chart S seconds into the recording (default: its start)");
    line.addSeconds(chart, "--to", options->to,
                    "end it S seconds into the recording (default: its end)");
    line.addCheck(chart, [options]() -> std::optional<std::string> {
        const std::optional<Clock::Duration> &from = options->from;
        const std::optional<Clock::Duration> &to = options->to;
        if (from && to && *from >= *to)
            return "--from " + secondsText(*from) + " must come before --to " + secondsText(*to);
        return std::nullopt;
    });
}

} // namespace bexen::ports
