// SPDX-License-Identifier: MIT
#include "model/step_timeline.h"

#include <algorithm>

namespace bexen::ports {

StepTimeline::StepTimeline(std::vector<PlayStep> steps)
    : m_steps(std::move(steps))
{
}

std::vector<std::pair<StepTimeline::Signal, std::uint8_t>>
StepTimeline::signalsOf(const PlayStep &step) const
{
    std::vector<std::pair<Signal, std::uint8_t>> signals;
    if (step.port != kSensorPort) {
        signals.push_back({{step.port, -1}, step.value});
        return signals;
    }
    for (int bit = 0; bit < 8; ++bit) {
        if (step.mask >> bit & 1u)
            signals.push_back({{step.port, bit}, static_cast<std::uint8_t>(step.value >> bit & 1u)});
    }
    return signals;
}

Clock::Duration StepTimeline::nextDue() const
{
    const PlayStep &step = next();
    Clock::Duration due = std::max(step.at, m_previousDue);
    for (const auto &[key, value] : signalsOf(step)) {
        const auto it = m_history.find(key);
        if (it != m_history.end() && it->second.value != value)
            due = std::max(due, it->second.changedAt + kShortestShown);
    }
    return due;
}

std::uint8_t StepTimeline::carryOut(JunctionPorts &ports, Clock::Duration now)
{
    const PlayStep &step = next();
    const Clock::Duration due = nextDue();
    std::uint8_t byte = step.value;
    if (step.mask != kWholeByte)
        byte = static_cast<std::uint8_t>((ports.read(step.port) & ~step.mask) | step.value);
    ports.write(step.port, byte);
    for (const auto &[key, value] : signalsOf(step)) {
        const auto [it, first] = m_history.try_emplace(key, SignalHistory{value, now});
        if (!first && it->second.value != value)
            it->second = SignalHistory{value, now};
    }
    m_previousDue = due;
    ++m_next;
    return byte;
}

void StepTimeline::insert(PlayStep step)
{
    auto at = std::find_if(m_steps.begin() + static_cast<std::ptrdiff_t>(m_next), m_steps.end(),
                           [&](const PlayStep &s) { return s.at > step.at; });
    m_steps.insert(at, std::move(step));
}

} // namespace bexen::ports
