// SPDX-License-Identifier: MIT
#include "model/junction_ports.h"

#include <algorithm>

namespace bexen::ports {

PortFailure::PortFailure(io::AccessError error)
    : std::runtime_error(error.message())
    , m_error(std::move(error))
{
}

JunctionState JunctionPorts::readState()
{
    JunctionState state;
    state.sensors = readSensors();
    for (int light = 1; light <= kLightCount; ++light)
        state.lights[static_cast<std::size_t>(light - 1)] = readLight(light);
    return state;
}

bool sleepUntil(Clock &clock, Clock::TimePoint when, const std::function<bool()> &stop)
{
    while (clock.now() < when) {
        if (stop && stop())
            return false;
        clock.sleepFor(std::min(kPanelPoll, when - clock.now()));
    }
    return true;
}

Clock::Duration sampleEvery(Clock &clock, Clock::Duration interval,
                            std::optional<Clock::Duration> length, const std::function<bool()> &stop,
                            const std::function<void()> &sample)
{
    const Clock::TimePoint start = clock.now();
    const std::optional<Clock::TimePoint> end =
            length ? std::optional(start + *length) : std::nullopt;
    const auto stopping = [&] { return stop && stop(); };

    sample();
    Clock::TimePoint nextPoll = start;
    while (!stopping() && (!end || clock.now() < *end)) {
        nextPoll += interval;
        if (end)
            nextPoll = std::min(nextPoll, *end);
        sleepUntil(clock, nextPoll, stop);
        if (stopping())
            break;
        // After a suspended machine or a stalled disk, carry on from now instead of racing
        // through the missed polls.
        if (clock.now() - nextPoll >= interval)
            nextPoll = clock.now();
        sample();
    }
    return clock.now() - start;
}

} // namespace bexen::ports
