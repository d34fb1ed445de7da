// SPDX-License-Identifier: MIT
#pragma once

#include "commands/cli.h"
#include "model/clock.h"
#include "model/junction_ports.h"

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace bexen::ports {

// `bexen-ports play SCRIPT`: sensors (and lights) set on a timeline, from a script or a recording.
class CommandLine;
void addPlayCommand(CommandLine &line);

// One change on the timeline: the bits of `mask` in `port` take the bits of `value`. A sensor
// step changes one bit of port 150 and leaves the other cars as they are; a light step, or a row
// of a recording, sets the whole byte.
struct PlayStep {
    Clock::Duration at;
    int line;
    std::int32_t port;
    std::uint8_t mask;
    std::uint8_t value;
    std::string text; // the step as written, for the log
};

struct ScriptError {
    int line; // 0 when the fault is not on one line
    std::string what;
};

struct ParsedPlay {
    std::vector<PlayStep> steps;
    std::optional<ScriptError> error;
};

// A script, one step a line:
//   TIME sensor LIGHT on|off
//   TIME light LIGHT VALUE
// TIME in seconds from the start ("1.5"), never before the previous step's; LIGHT 1 to 4; VALUE
// 0 to 255. Blanks separate the words; "#" starts a comment; blank lines are skipped.
ParsedPlay parseScript(std::string_view text);
// A CSV recording of `record` (header "time_s,port,value"), replayed as it was recorded.
ParsedPlay parseRecording(std::string_view text);
// Either of the two, told apart by the first line.
ParsedPlay parsePlayText(std::string_view text);

// Reads a script or a recording whole, as play and chart take it; the error names the path and
// says what is wrong with the file.
std::optional<std::string> readPlayFile(const std::string &path, std::string &text);
// "run.csv:7: port "170" is not 150 or 160 to 163"; the path alone when no line is at fault.
std::string describeError(const std::string &path, const ScriptError &error);

struct PlayOutcome {
    std::size_t done = 0; // steps carried out
    bool stopped = false;
};

// Carries out the steps at their times. A step that would change a sensor or a light sooner than
// `hold` after the previous change of that same sensor or light waits until the hold is over;
// later steps keep their order. Throws PortFailure when the port file fails.
PlayOutcome playSteps(JunctionPorts &ports, Clock &clock, const std::vector<PlayStep> &steps,
                      std::ostream &log, const std::function<bool()> &stop,
                      Clock::Duration hold = kShortestShown);

} // namespace bexen::ports
