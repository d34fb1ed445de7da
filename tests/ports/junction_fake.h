// SPDX-License-Identifier: MIT
#pragma once

#include "shared/clock.h"
#include "model/junction_ports.h"
#include "ports_test_support.h"

#include <optional>
#include <vector>

// The junction's five bytes in memory, with every write kept and the time it was made, so a
// test can follow what a controller did without a port file.
class FakeJunction final : public bexen::ports::JunctionPorts {
public:
    explicit FakeJunction(bexen::ports::ManualClock &clock)
        : m_clock(clock)
    {
    }

    std::uint8_t read(std::int32_t port) override
    {
        countAccess();
        return m_state.byteOf(port);
    }

    void write(std::int32_t port, std::uint8_t value) override
    {
        countAccess();
        bexen::ports::setPortByte(m_state, port, value);
        writes.push_back({m_clock.elapsed(), port, value});
    }

    bexen::ports::JunctionState &state() { return m_state; }
    const bexen::ports::JunctionState &state() const { return m_state; }
    std::uint8_t light(int number) const { return bexen::ports::lightOf(m_state, number); }
    void setCar(int light, bool waiting)
    {
        const auto mask = bexen::ports::sensorMask(light);
        m_state.sensors = static_cast<std::uint8_t>(waiting ? m_state.sensors | mask
                                                            : m_state.sensors & ~mask);
    }

    // The accesses after this many fail, as a port file that vanished behind a directory would.
    std::optional<int> failAfter;
    std::vector<TimedWrite> writes;

private:
    void countAccess()
    {
        if (failAfter && m_accesses >= *failAfter)
            throw bexen::ports::PortFailure({"/fake/emu_port.dat", "Is a directory"});
        ++m_accesses;
    }

    bexen::ports::ManualClock &m_clock;
    bexen::ports::JunctionState m_state;
    int m_accesses = 0;
};
