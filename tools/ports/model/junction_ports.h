// SPDX-License-Identifier: MIT
#pragma once

#include "model/port_view.h"
#include "port_channel.h"
#include "shared/clock.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace bexen::ports {

// The panel reads the port file every 100 ms. The tool polls at that pace unless told otherwise,
// and shows every light step and sensor change for at least two polls, so none is missed.
inline constexpr Clock::Duration kPanelPoll{100};
inline constexpr Clock::Duration kShortestShown = 2 * kPanelPoll;

// A light moves traffic (or is about to) in red and yellow, green and yellow.
constexpr bool isMoving(std::uint8_t value) { return value >= kRedYellow && value <= kGreen; }

inline std::uint8_t lightOf(const JunctionState &state, int light)
{
    return state.lights[static_cast<std::size_t>(light - 1)];
}

// A failed access to the port file, carried out of the loops so that the command can report the
// path and the reason and end with status 1.
class PortFailure : public std::runtime_error {
public:
    explicit PortFailure(io::AccessError error);
    const io::AccessError &error() const { return m_error; }

private:
    io::AccessError m_error;
};

// The junction's ports as the emulated program and the tools see them, one byte per access.
// Implementations throw PortFailure when an access fails.
class JunctionPorts {
public:
    virtual ~JunctionPorts() = default;
    virtual std::uint8_t read(std::int32_t port) = 0;
    virtual void write(std::int32_t port, std::uint8_t value) = 0;

    std::uint8_t readSensors() { return read(kSensorPort); }
    std::uint8_t readLight(int light) { return read(lightPort(light)); }
    void writeLight(int light, std::uint8_t value) { write(lightPort(light), value); }
    // Five reads, in port order: 150, then 160 to 163.
    JunctionState readState();
};

// Sleeps until `when` in steps of at most one panel poll, so Ctrl-C is answered within one
// however long the wait. Returns false when `stop` answered true first.
bool sleepUntil(Clock &clock, Clock::TimePoint when, const std::function<bool()> &stop);

// Calls `sample` at once and then every `interval`, until `stop` answers true or `length` has
// passed; the last sample falls at the end of `length`. Returns how long it ran.
Clock::Duration sampleEvery(Clock &clock, Clock::Duration interval,
                            std::optional<Clock::Duration> length, const std::function<bool()> &stop,
                            const std::function<void()> &sample);

} // namespace bexen::ports
