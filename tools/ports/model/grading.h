// SPDX-License-Identifier: MIT
#pragma once

#include "model/checker.h"
#include "model/junction_ports.h"
#include "model/recorded_run.h"
#include "model/scenario.h"
#include "shared/clock.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace bexen::ports {

struct GradeFailure {
    Clock::Duration at;
    std::string what; // "the car at light 4 waited 30.1 s and its light never turned green (...)"
};

// What a scenario's run came to: every failure in time order (the first is its verdict's reason),
// and the run as the panel saw it, for its chart.
struct ScenarioResult {
    std::string name;
    std::string title;
    int points = 1;
    std::string visibility = "visible"; // the scenario's, as Gradescope reads it
    std::string suite = "builtin"; // the scenario's
    Clock::Duration planned{}; // the scenario's duration
    Clock::Duration elapsed{};
    std::vector<GradeFailure> failures;
    RecordedRun run;
    std::vector<TimedViolation> violations;
    std::vector<TimedNote> failedExpectations;
    Clock::Duration maxWait{};
    bool ran = true; // false: it never started, and its one failure has no time
    // What the controller printed while this scenario ran, each stream capped, with a line
    // saying how much was left out; for the reports, never mixed into the verdicts.
    std::string controllerOut;
    std::string controllerErr;
    // Someone else wrote port 150 on a file others share: the run was not the test's to grade.
    std::optional<std::string> foreignWriter;

    bool passed() const { return failures.empty(); }
    // "at 32.1 s: the car at light 4 ...", with how many more followed.
    std::string reason() const;
    // "PASS car-at-1 (25.0 s)" or "FAIL car-at-2: " and the reason.
    std::string verdict() const;
};

// What a run of scenarios came to: "3 of 4 scenarios passed; score 6 of 8".
struct Tally {
    int passed = 0;
    int score = 0;
    int points = 0;
};
Tally tally(const std::vector<ScenarioResult> &results);
// "3 of 4 scenarios passed; score 6 of 8", the line that ends a run.
std::string summaryLine(const std::vector<ScenarioResult> &results);

// A scenario that never ran: the controller had ended, or the run was stopped before it.
ScenarioResult notRun(const Scenario &scenario, std::string why);

// What the run around a scenario can tell the grader at each poll.
struct GradeHooks {
    std::function<bool()> stop; // Ctrl-C
    std::function<std::optional<std::string>()> controllerEnded; // "the controller exited (status 1)"
    std::function<void(Clock::Duration elapsed, const JunctionState &state)> progress;
    // The port file is the run's own, shared with the controller alone: a byte on port 150 the
    // grader did not write is the controller's fault, and the grader puts its own back.
    bool privateFile = false;
};

// Plays the scenario at the panel's poll, from every sensor clear, and judges the junction at
// each poll: the rules of watch --check, the cars' waits and the expectations. Port 150 is read
// back at every poll: on a private file a byte the grader did not write fails the scenario and is
// put right; on a shared one it ends the run. Sensors are clear again
// at the end, however it ends. Throws PortFailure when the port file fails.
ScenarioResult gradeScenario(JunctionPorts &ports, Clock &clock, const Scenario &scenario,
                             Clock::Duration defaultMaxWait, std::uint32_t seed,
                             const GradeHooks &hooks);

// "40.0": seconds to the tenth, as verdicts give them.
std::string tenths(Clock::Duration d);

} // namespace bexen::ports
