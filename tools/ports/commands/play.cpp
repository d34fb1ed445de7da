// SPDX-License-Identifier: MIT
#include "commands/play.h"

#include "commands/command_line.h"
#include "commands/context_ports.h"
#include "model/step_timeline.h"
#include "shared/words.h"

#include <memory>
#include <string>

namespace bexen::ports {

PlayOutcome playSteps(JunctionPorts &ports, Clock &clock, const std::vector<PlayStep> &steps,
                      std::ostream &log, const std::function<bool()> &stop)
{
    PlayOutcome outcome;
    StepTimeline timeline(steps);
    const Clock::TimePoint start = clock.now();
    while (!timeline.done()) {
        const PlayStep &step = timeline.next();
        const Clock::Duration due = timeline.nextDue();
        if (!sleepUntil(clock, start + due, stop) || (stop && stop())) {
            outcome.stopped = true;
            log << formatSeconds(clock.now() - start) << " s  stopped before line " << step.line
                << std::endl;
            return outcome;
        }
        const PlayStep done = step; // the timeline moves on past it
        const Clock::Duration late = due - done.at;
        const std::uint8_t byte = timeline.carryOut(ports, clock.now() - start);
        log << formatSeconds(clock.now() - start) << " s  line " << done.line << ": " << done.text
            << "; port " << done.port << " = " << static_cast<int>(byte);
        if (late > Clock::Duration::zero())
            log << " (" << formatSeconds(late) << " s late, so the change before it is held "
                << formatSeconds(kShortestShown) << " s)";
        log << std::endl;
        ++outcome.done;
    }
    return outcome;
}

namespace {

int runPlay(Context &ctx, const std::string &path)
{
    constexpr std::string_view command = "play";

    // Nothing is written until the whole script has been read and found sound.
    std::string text;
    if (auto error = readPlayFile(path, text))
        return ctx.failUsage(command, *error);
    const ParsedPlay parsed = parsePlayText(text);
    if (parsed.error)
        return ctx.failUsage(command, describeError(path, *parsed.error));

    const io::PortFileLocation portFile = ctx.portFile();
    if (portFile.error)
        return ctx.failAccess(*portFile.error);
    ctx.out << "play: " << parsed.steps.size() << (parsed.steps.size() == 1 ? " step" : " steps")
            << " from " << path << " on " << portFile.path << std::endl;
    ContextPorts ports(ctx, io::WhenMissing::Create);
    playSteps(ports, ctx.clock, parsed.steps, ctx.out, [&] { return ctx.stopping(); });
    return kExitOk;
}

} // namespace

void addPlayCommand(CommandLine &line)
{
    auto script = std::make_shared<std::string>();
    CLI::App &play = line.addCommand(
            "play", "set sensors and lights on a timeline from SCRIPT, or replay a CSV recording",
            [script](Context &ctx) { return runPlay(ctx, *script); });
    line.addPath(play, "SCRIPT", *script,
                 "one step a line, TIME in seconds from the start:\n"
                 "  TIME sensor LIGHT on|off  a car arrives at (leaves) light LIGHT\n"
                 "  TIME light LIGHT VALUE    light LIGHT (1 to 4) shows VALUE\n"
                 "\"#\" starts a comment. Each change is held at least "
                         + formatShortSeconds(kShortestShown)
                         + " s; a step that comes sooner waits. A CSV file made by record is "
                           "replayed as it was recorded.",
                 "missing SCRIPT to play", "missing SCRIPT to play");
}

} // namespace bexen::ports
