// SPDX-License-Identifier: MIT
#pragma once

#include "model/script.h"
#include "shared/clock.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bexen::ports {

// A light must show `value` at the first poll at or after `at`, or, given `within`, at some poll
// before `at + within`.
struct Expectation {
    Clock::Duration at;
    int line;
    int light;
    std::uint8_t value;
    std::optional<Clock::Duration> within;
};

// `count` cars at lights chosen at random, each arriving at a random moment from `at` to
// `at + within`; the seed of the run chooses, so a run can be repeated.
struct RandomCars {
    Clock::Duration at;
    int line;
    int count;
    Clock::Duration within;
};

// Traffic played at a junction while the controller drives its lights, and what the lights must
// do meanwhile: the scenario file's grammar is play's script with a heading and cars added.
struct Scenario {
    std::string name;
    std::string title;
    int points = 1;
    Clock::Duration duration{};
    std::optional<Clock::Duration> maxWait; // none: the run's --max-wait
    std::vector<PlayStep> steps; // sensors set and cleared, and the cars' arrivals
    std::vector<Expectation> expectations;
    std::vector<RandomCars> randomCars;
    // Who sees its result on Gradescope: visible, hidden, after_due_date or after_published.
    std::string visibility = "visible";
    // The suite it belongs to ("builtin", or its file's stem) and the argument it came from.
    std::string suite = "builtin";
    std::string source;
};

struct ParsedScenario {
    Scenario scenario;
    std::optional<ScriptError> error;
};

// One statement a line, "#" starts a comment:
//   name NAME | title WORDS... | points N | duration S | max-wait S
//   visibility visible|hidden|after_due_date|after_published
//   TIME sensor LIGHT on|off
//   TIME car LIGHT
//   TIME expect light LIGHT STATE [within S]
//   TIME random-cars COUNT within S
// `defaultName` names a scenario that does not name itself; without `duration` it runs until
// 10 s after its last statement.
ParsedScenario parseScenario(std::string_view text, const std::string &defaultName);

// The cars' arrivals and the sensor steps of a run, in time order: the scenario's own with the
// random cars of `seed` among them.
std::vector<PlayStep> stepsOfRun(const Scenario &scenario, std::uint32_t seed);

// "dark", "red", "red-yellow", "yellow", "green": a light's state as a scenario writes it.
std::string_view stateWord(std::uint8_t value);

} // namespace bexen::ports
