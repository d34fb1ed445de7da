#pragma once

#include "cli.h"
#include "clock.h"
#include "junction_ports.h"

#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <optional>
#include <sstream>
#include <vector>

// The junction's five bytes in memory, with every write kept and the time it was made, so a
// test can follow what a controller did without a port file.
class FakeJunction final : public bexen::ports::JunctionPorts {
public:
    struct Write {
        std::chrono::milliseconds at;
        std::int32_t port;
        std::uint8_t value;
        bool operator==(const Write &) const = default;
    };

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
    std::vector<Write> writes;

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

struct CliOutcome {
    int code = -1;
    QString out;
    QString err;
};

// The whole tool in-process, on the test's clock.
inline CliOutcome runCli(const QStringList &args, bexen::ports::ManualClock &clock,
                         std::function<bool()> stopWhen = {})
{
    bexen::ports::Args list;
    for (const QString &a : args)
        list.push_back(a.toStdString());
    std::ostringstream out;
    std::ostringstream err;
    CliOutcome o;
    o.code = bexen::ports::runTool(list, out, err, clock, std::move(stopWhen));
    o.out = QString::fromStdString(out.str());
    o.err = QString::fromStdString(err.str());
    return o;
}
