// SPDX-License-Identifier: MIT
#pragma once

#include "model/junction_ports.h"
#include "shared/clock.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bexen::ports {

// The rules a controller of the junction must keep.
enum class Rule {
    ValueOutOfRange, // a light byte outside 0..4
    BothRoadsMoving, // a light of each road at red and yellow, green or yellow
    IllegalChange, // a light jumping where its cycle does not go
    CarLeftWaiting, // a sensor set too long without its light turning green
};
inline constexpr std::size_t kRuleCount = 4;

std::string_view ruleName(Rule rule);

// The changes a light may make between two samples: 1 to 2, 2 to 4, 4 to 3, 3 to 1, 0 to 1, and
// any value to 0 (switched off). Staying the same is not a change.
bool isLegalChange(std::uint8_t from, std::uint8_t to);

struct Violation {
    Rule rule;
    std::string detail; // the lights and their values
    int light = 0; // the light a car waits at; 0 for the other rules
};

// Judges a run of samples of the junction's ports. Each violation is reported once, when it
// starts: a conflict that lasts ten samples is one violation, not ten.
class ConflictChecker {
public:
    explicit ConflictChecker(Clock::Duration maxWait);

    std::vector<Violation> observe(const JunctionState &state, Clock::TimePoint at);

    int count(Rule rule) const { return m_counts[static_cast<std::size_t>(rule)]; }
    int total() const;

private:
    void checkValues(const JunctionState &state, std::vector<Violation> &found);
    void checkRoads(const JunctionState &state, std::vector<Violation> &found);
    void checkWaits(const JunctionState &state, Clock::TimePoint at, std::vector<Violation> &found);

    Clock::Duration m_maxWait;
    std::optional<JunctionState> m_previous;
    bool m_roadsInConflict = false;
    std::array<std::optional<Clock::TimePoint>, kLightCount> m_waitingSince{};
    std::array<bool, kLightCount> m_waitReported{};
    std::array<int, kRuleCount> m_counts{};
};

// A car may wait this long for green unless a run says otherwise.
inline constexpr Clock::Duration kDefaultMaxWait{60'000};

} // namespace bexen::ports
