// SPDX-License-Identifier: MIT
#pragma once

#include "commands/cli.h"
#include "model/clock.h"
#include "model/junction_ports.h"

#include <functional>
#include <map>
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
    // A scenario's car: its sensor goes on here, and off once its light has been green a while.
    bool carArrives = false;
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

// The steps still to come, in order, each due at its time from the start; one that would change
// a sensor bit or a light sooner than kShortestShown after that signal's previous change is due
// when the hold is over, and the steps after it keep their order. play runs one to its end; test
// adds the departures of its cars while it runs.
class StepTimeline {
public:
    explicit StepTimeline(std::vector<PlayStep> steps);

    bool done() const { return m_next == m_steps.size(); }
    const PlayStep &next() const { return m_steps[m_next]; }
    // When the next step may be carried out, from the start; never before the one before it.
    Clock::Duration nextDue() const;
    // Writes the next step `now` (from the start) and answers the byte written; throws
    // PortFailure when the port file fails.
    std::uint8_t carryOut(JunctionPorts &ports, Clock::Duration now);
    // A step that was not known in advance, after those of its time or earlier still to come.
    void insert(PlayStep step);

private:
    struct SignalHistory {
        std::uint8_t value;
        Clock::Duration changedAt;
    };
    // A light is one signal (bit -1); each bit of the sensor port is a signal of its own, so two
    // cars arriving together are not held apart.
    using Signal = std::pair<std::int32_t, int>;
    std::vector<std::pair<Signal, std::uint8_t>> signalsOf(const PlayStep &step) const;

    std::vector<PlayStep> m_steps;
    std::size_t m_next = 0;
    Clock::Duration m_previousDue{};
    std::map<Signal, SignalHistory> m_history;
};

struct PlayOutcome {
    std::size_t done = 0; // steps carried out
    bool stopped = false;
};

// Carries out the steps at their times, held as StepTimeline holds them. Throws PortFailure when
// the port file fails.
PlayOutcome playSteps(JunctionPorts &ports, Clock &clock, const std::vector<PlayStep> &steps,
                      std::ostream &log, const std::function<bool()> &stop);

} // namespace bexen::ports
