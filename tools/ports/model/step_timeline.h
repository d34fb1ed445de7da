// SPDX-License-Identifier: MIT
#pragma once

#include "model/junction_ports.h"
#include "model/script.h"
#include "shared/clock.h"

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace bexen::ports {

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

} // namespace bexen::ports
