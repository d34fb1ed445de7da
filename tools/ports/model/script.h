// SPDX-License-Identifier: MIT
#pragma once

#include "model/junction_ports.h"
#include "shared/clock.h"

#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace bexen::ports {

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
    // A scenario's car: its sensor goes on here, and off once its light has been green a while.
    bool carArrives = false;
};

// The mask of a step that sets the whole byte.
inline constexpr std::uint8_t kWholeByte = 0xff;

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
// CSV, one row per change, the first five rows the state at the start, the last one the sensors'
// byte again at the time the recording ended, so a reader knows how long it ran:
//   time_s,port,value
//   0.000,150,0
//   ...
//   12.300,160,4
//   60.000,150,0
inline constexpr std::string_view kCsvHeader = "time_s,port,value";

// A CSV recording of `record` (header "time_s,port,value"), replayed as it was recorded.
ParsedPlay parseRecording(std::string_view text);
// Either of the two, told apart by the first line.
ParsedPlay parsePlayText(std::string_view text);

// The pieces of the script grammar that a scenario file extends: its lines, the words of one line
// (the comment cut off), a step's TIME (never before `previous`), and a sensor or light step
// (`words` begin with its TIME; the step's text is the words joined). Each error says what is
// wrong with the line.
std::vector<std::string_view> splitLines(std::string_view text);
std::vector<std::string_view> scriptWords(std::string_view line);
std::optional<std::string> parseStepTime(std::string_view word, Clock::Duration previous,
                                         Clock::Duration &at);
std::optional<std::string> parseScriptStep(const std::vector<std::string_view> &words,
                                           Clock::Duration previous, PlayStep &step);
// "1.5 sensor 2 on": the words joined by one blank.
std::string joinWords(const std::vector<std::string_view> &words);

// Reads a script or a recording whole, as play and chart take it; the error names the path and
// says what is wrong with the file.
std::optional<std::string> readPlayFile(const std::string &path, std::string &text);
// "run.csv:7: port "170" is not 150 or 160 to 163"; the path alone when no line is at fault.
std::string describeError(const std::string &path, const ScriptError &error);

} // namespace bexen::ports
