// SPDX-License-Identifier: MIT
#include "model/scenario.h"

#include "model/junction_ports.h"
#include "shared/words.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <random>
#include <set>

namespace bexen::ports {

namespace {

using namespace std::chrono_literals;

// A scenario without `duration` goes on this long after its last statement, so that the
// controller's answer to it is seen.
constexpr Clock::Duration kRunOn = 10s;
constexpr int kMostPoints = 1000;
constexpr int kMostRandomCars = 1000;

constexpr std::array<std::string_view, 5> kStateWords{"dark", "red", "red-yellow", "yellow", "green"};

std::optional<std::uint8_t> parseState(std::string_view word)
{
    const auto found = std::find(kStateWords.begin(), kStateWords.end(), word);
    if (found != kStateWords.end())
        return static_cast<std::uint8_t>(found - kStateWords.begin());
    return parseWholeNumberAs<std::uint8_t>(word, 0, kGreen);
}

std::optional<std::string> parseWithin(const std::vector<std::string_view> &words, std::size_t at,
                                       Clock::Duration &within)
{
    if (words.size() <= at || words[at] != "within")
        return "expected within S" + std::string(words.size() > at ? ", not " + quoteArgument(words[at]) : "");
    if (words.size() <= at + 1)
        return std::string("within needs a number of seconds");
    const auto seconds = parseSeconds(words[at + 1]);
    if (!seconds || *seconds <= Clock::Duration::zero())
        return "within " + quoteArgument(words[at + 1]) + " is not a number of seconds above 0";
    within = *seconds;
    if (words.size() > at + 2)
        return "unexpected " + quoteArgument(words[at + 2]) + " at the end of the line";
    return std::nullopt;
}

// The parts of a scenario read so far, and when its last statement falls.
struct Reading {
    Scenario scenario;
    Clock::Duration previous{};
    Clock::Duration lastMoment{};
    std::optional<Clock::Duration> duration;
    std::set<std::string_view> headings;
    int lastLine = 0;
};

// Gradescope's words for who sees a test's result, and when.
std::optional<std::string> readVisibility(std::string_view value, Reading &r)
{
    static constexpr std::array<std::string_view, 4> kVisibilities{"visible", "hidden", "after_due_date",
                                                                   "after_published"};
    if (std::find(kVisibilities.begin(), kVisibilities.end(), value) == kVisibilities.end())
        return "visibility " + quoteArgument(value)
                + " is not visible, hidden, after_due_date or after_published";
    r.scenario.visibility = std::string(value);
    return std::nullopt;
}

std::optional<std::string> parseHeading(const std::vector<std::string_view> &words, Reading &r)
{
    const std::string_view keyword = words[0];
    static constexpr std::array<std::string_view, 6> kHeadings{"name", "title", "points", "duration",
                                                               "max-wait", "visibility"};
    if (std::find(kHeadings.begin(), kHeadings.end(), keyword) == kHeadings.end())
        return "unknown statement " + quoteArgument(keyword)
                + "; a line is name, title, points, duration, max-wait, visibility, or a TIME and "
                  "then sensor, car, expect or random-cars";
    if (!r.headings.insert(keyword).second)
        return std::string(keyword) + " given twice";
    if (words.size() < 2)
        return std::string(keyword) + " needs a value";
    if (keyword == "title") {
        r.scenario.title = joinWords({words.begin() + 1, words.end()});
        return std::nullopt;
    }
    if (words.size() > 2)
        return "unexpected " + quoteArgument(words[2]) + " after " + std::string(keyword);
    const std::string_view value = words[1];
    if (keyword == "visibility")
        return readVisibility(value, r);
    if (keyword == "name") {
        // The name is the chart's file name too: nothing a path would read as a directory.
        const bool plain = std::all_of(value.begin(), value.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
        });
        if (!plain || value.front() == '.')
            return "name " + quoteArgument(value)
                    + " may hold only letters, digits, \"-\", \"_\" and \".\" (not first)";
        r.scenario.name = std::string(value);
    } else if (keyword == "points") {
        const auto points = parseWholeNumberAs<int>(value, 0, kMostPoints);
        if (!points)
            return "points " + quoteArgument(value) + " is not a whole number from 0 to "
                    + std::to_string(kMostPoints);
        r.scenario.points = *points;
    } else {
        const auto seconds = parseSeconds(value);
        if (!seconds || *seconds <= Clock::Duration::zero())
            return std::string(keyword) + " " + quoteArgument(value)
                    + " is not a number of seconds above 0";
        (keyword == "duration" ? r.duration : r.scenario.maxWait) = *seconds;
    }
    return std::nullopt;
}

// One timed statement: its words (the TIME first), its line, and its time.
struct Timed {
    const std::vector<std::string_view> &words;
    int line;
    Clock::Duration at;
};

// Reads the statement into `r` and answers what is wrong with it; `lasts` is how long after its
// time it still has a say.
using TimedReader = std::optional<std::string> (*)(const Timed &t, Reading &r, Clock::Duration &lasts);

std::optional<std::string> readSensor(const Timed &t, Reading &r, Clock::Duration &)
{
    PlayStep step{};
    if (auto error = parseScriptStep(t.words, r.previous, step))
        return error;
    step.line = t.line;
    r.scenario.steps.push_back(std::move(step));
    return std::nullopt;
}

std::optional<std::string> readCar(const Timed &t, Reading &r, Clock::Duration &)
{
    const auto &words = t.words;
    if (words.size() < 3)
        return std::string("car needs a light number 1 to 4");
    const auto light = parseWholeNumberAs<int>(words[2], 1, kLightCount);
    if (!light)
        return "light number " + quoteArgument(words[2]) + " is not 1 to 4";
    if (words.size() > 3)
        return "unexpected " + quoteArgument(words[3]) + " after the car's light";
    r.scenario.steps.push_back(
            {t.at, t.line, kSensorPort, sensorMask(*light), sensorMask(*light), joinWords(words), true});
    return std::nullopt;
}

std::optional<std::string> readExpect(const Timed &t, Reading &r, Clock::Duration &lasts)
{
    const auto &words = t.words;
    if (words.size() < 5 || words[2] != "light")
        return std::string("expect needs light LIGHT STATE, the state 0 to 4 or dark, red, "
                           "red-yellow, yellow, green");
    const auto light = parseWholeNumberAs<int>(words[3], 1, kLightCount);
    if (!light)
        return "light number " + quoteArgument(words[3]) + " is not 1 to 4";
    const auto value = parseState(words[4]);
    if (!value)
        return "state " + quoteArgument(words[4])
                + " is not 0 to 4 or dark, red, red-yellow, yellow, green";
    Expectation expectation{t.at, t.line, *light, *value, std::nullopt};
    if (words.size() > 5) {
        Clock::Duration within{};
        if (auto error = parseWithin(words, 5, within))
            return error;
        expectation.within = within;
        lasts = within;
    }
    r.scenario.expectations.push_back(expectation);
    return std::nullopt;
}

std::optional<std::string> readRandomCars(const Timed &t, Reading &r, Clock::Duration &lasts)
{
    const auto &words = t.words;
    if (words.size() < 3)
        return std::string("random-cars needs a number of cars and within S");
    const auto count = parseWholeNumberAs<int>(words[2], 1, kMostRandomCars);
    if (!count)
        return "number of cars " + quoteArgument(words[2]) + " is not a whole number from 1 to "
                + std::to_string(kMostRandomCars);
    Clock::Duration within{};
    if (auto error = parseWithin(words, 3, within))
        return error;
    r.scenario.randomCars.push_back({t.at, t.line, *count, within});
    lasts = within;
    return std::nullopt;
}

struct TimedKeyword {
    std::string_view word;
    TimedReader read;
};

constexpr std::array<TimedKeyword, 4> kTimedKeywords{{
    {"sensor", readSensor},
    {"car", readCar},
    {"expect", readExpect},
    {"random-cars", readRandomCars},
}};

std::optional<std::string> parseTimed(const std::vector<std::string_view> &words, int line,
                                      Reading &r)
{
    Clock::Duration at{};
    if (auto error = parseStepTime(words[0], r.previous, at))
        return error;
    if (words.size() < 2)
        return std::string("the time needs a statement after it: sensor, car, expect or random-cars");
    const std::string_view kind = words[1];
    const auto keyword = std::ranges::find(kTimedKeywords, kind, &TimedKeyword::word);
    if (keyword == kTimedKeywords.end())
        return "unknown step " + quoteArgument(kind) + "; a step is sensor, car, expect or random-cars"
                + (kind == "light" ? " (the lights are the controller's)" : "");
    Clock::Duration lasts{};
    if (auto error = keyword->read({words, line, at}, r, lasts))
        return error;
    r.previous = at;
    if (at + lasts >= r.lastMoment) {
        r.lastMoment = at + lasts;
        r.lastLine = line;
    }
    return std::nullopt;
}

} // namespace

ParsedScenario parseScenario(std::string_view text, const std::string &defaultName)
{
    Reading r;
    const auto lines = splitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        const auto words = scriptWords(lines[i]);
        if (words.empty())
            continue;
        const bool timed = std::isdigit(static_cast<unsigned char>(words[0].front())) != 0;
        auto error = timed ? parseTimed(words, number, r) : parseHeading(words, r);
        if (error)
            return {{}, ScriptError{number, std::move(*error)}};
    }
    Scenario &s = r.scenario;
    if (s.steps.empty() && s.expectations.empty() && s.randomCars.empty() && !r.duration)
        return {{}, ScriptError{0, "holds no step and no duration"}};
    if (r.duration && *r.duration < r.lastMoment)
        return {{}, ScriptError{r.lastLine, "falls at " + secondsText(r.lastMoment)
                                                    + ", after the scenario's duration of "
                                                    + secondsText(*r.duration)}};
    s.duration = r.duration.value_or(r.lastMoment + kRunOn);
    if (s.name.empty())
        s.name = defaultName;
    return {std::move(s), std::nullopt};
}

std::vector<PlayStep> stepsOfRun(const Scenario &scenario, std::uint32_t seed)
{
    std::vector<PlayStep> steps = scenario.steps;
    // minstd_rand's numbers are the same on every platform, which the standard's distributions
    // are not: the cars are placed from its raw numbers, at the panel's 100 ms.
    std::minstd_rand random(seed == 0 ? 1u : seed);
    for (const RandomCars &cars : scenario.randomCars) {
        const auto slots = static_cast<std::uint32_t>(cars.within / kPanelPoll);
        for (int i = 0; i < cars.count; ++i) {
            const int light = static_cast<int>(random() % kLightCount) + 1;
            const Clock::Duration at = cars.at + kPanelPoll * (slots == 0 ? 0 : random() % slots);
            steps.push_back({at, cars.line, kSensorPort, sensorMask(light), sensorMask(light),
                             formatSeconds(at) + " car " + std::to_string(light) + " (random-cars)", true});
        }
    }
    std::stable_sort(steps.begin(), steps.end(),
                     [](const PlayStep &a, const PlayStep &b) { return a.at < b.at; });
    return steps;
}

std::string_view stateWord(std::uint8_t value)
{
    return value < kStateWords.size() ? kStateWords[value] : "out of range";
}

} // namespace bexen::ports
