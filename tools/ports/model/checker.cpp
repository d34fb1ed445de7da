// SPDX-License-Identifier: MIT
#include "model/checker.h"

#include "shared/words.h"

#include <algorithm>
#include <numeric>

namespace bexen::ports {

namespace {

struct LightStep {
    std::uint8_t from;
    std::uint8_t to;
};

// The cycle of one light: red, red and yellow, green, yellow, red; a dark light comes on at red.
constexpr std::array<LightStep, 5> kLightCycle{{
    {kRed, kRedYellow},
    {kRedYellow, kGreen},
    {kGreen, kYellow},
    {kYellow, kRed},
    {kDark, kRed},
}};

constexpr std::array<std::string_view, kRuleCount> kRuleNames{
    "value out of range",
    "both roads moving",
    "illegal change",
    "car left waiting",
};

std::string allowedAfter(std::uint8_t from)
{
    std::string text;
    for (const LightStep &step : kLightCycle) {
        if (step.from == from)
            text += std::to_string(step.to) + " or ";
    }
    return "from " + std::to_string(from) + " only " + text + "0 may follow";
}

std::string movingLights(const JunctionState &state, Road road)
{
    std::string text(roadName(road));
    const char *separator = " ";
    for (int light : lightsOf(road)) {
        if (isMoving(lightOf(state, light))) {
            text += separator + lightLabel(light) + " " + lightValueText(lightOf(state, light));
            separator = ", ";
        }
    }
    return text;
}

bool roadMoving(const JunctionState &state, Road road)
{
    const auto lights = lightsOf(road);
    return std::any_of(lights.begin(), lights.end(),
                       [&](int light) { return isMoving(lightOf(state, light)); });
}

} // namespace

std::string_view ruleName(Rule rule)
{
    return kRuleNames[static_cast<std::size_t>(rule)];
}

bool isLegalChange(std::uint8_t from, std::uint8_t to)
{
    if (from == to || to == kDark)
        return true;
    return std::any_of(kLightCycle.begin(), kLightCycle.end(),
                       [&](const LightStep &step) { return step.from == from && step.to == to; });
}

ConflictChecker::ConflictChecker(Clock::Duration maxWait)
    : m_maxWait(maxWait)
{
}

int ConflictChecker::total() const
{
    return std::accumulate(m_counts.begin(), m_counts.end(), 0);
}

std::vector<Violation> ConflictChecker::observe(const JunctionState &state, Clock::TimePoint at)
{
    std::vector<Violation> found;
    checkValues(state, found);
    checkRoads(state, found);
    checkWaits(state, at, found);
    m_previous = state;
    for (const Violation &v : found)
        ++m_counts[static_cast<std::size_t>(v.rule)];
    return found;
}

void ConflictChecker::checkValues(const JunctionState &state, std::vector<Violation> &found)
{
    for (int light = 1; light <= kLightCount; ++light) {
        const std::uint8_t now = lightOf(state, light);
        const std::optional<std::uint8_t> before =
                m_previous ? std::optional(lightOf(*m_previous, light)) : std::nullopt;
        if (before == now)
            continue;
        if (now > kGreen) {
            // The out-of-range value is the fault; the jump into it is not counted a second time.
            found.push_back({Rule::ValueOutOfRange,
                             lightLabel(light) + " holds " + std::to_string(now) + ", outside 0..4"});
        } else if (before && !isLegalChange(*before, now)) {
            found.push_back({Rule::IllegalChange,
                             lightLabel(light) + " went from " + lightValueText(*before) + " to "
                                     + lightValueText(now) + " (" + allowedAfter(*before) + ")"});
        }
    }
}

void ConflictChecker::checkRoads(const JunctionState &state, std::vector<Violation> &found)
{
    const bool conflict = roadMoving(state, Road::EastWest) && roadMoving(state, Road::NorthSouth);
    if (conflict && !m_roadsInConflict) {
        found.push_back({Rule::BothRoadsMoving, movingLights(state, Road::EastWest) + "; "
                                 + movingLights(state, Road::NorthSouth)});
    }
    m_roadsInConflict = conflict;
}

void ConflictChecker::checkWaits(const JunctionState &state, Clock::TimePoint at,
                                 std::vector<Violation> &found)
{
    for (int light = 1; light <= kLightCount; ++light) {
        const auto i = static_cast<std::size_t>(light - 1);
        if (!carWaiting(state.sensors, light) || lightOf(state, light) == kGreen) {
            m_waitingSince[i].reset();
            m_waitReported[i] = false;
            continue;
        }
        if (!m_waitingSince[i])
            m_waitingSince[i] = at;
        const Clock::Duration waited = at - *m_waitingSince[i];
        if (waited > m_maxWait && !m_waitReported[i]) {
            m_waitReported[i] = true;
            found.push_back({Rule::CarLeftWaiting,
                             lightLabel(light) + ": a car has waited " + formatSeconds(waited)
                                     + " s without green (at most " + formatSeconds(m_maxWait)
                                     + " s), light at " + lightValueText(lightOf(state, light)),
                             light});
        }
    }
}

} // namespace bexen::ports
