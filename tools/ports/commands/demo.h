// SPDX-License-Identifier: MIT
#pragma once

#include "commands/cli.h"
#include "model/junction_ports.h"
#include "shared/clock.h"

#include <functional>
#include <optional>
#include <ostream>

namespace bexen::ports {

class CommandLine;

// `bexen-ports demo`: a correct controller in place of the emulated program.
void addDemoCommand(CommandLine &line);

struct DemoTimes {
    Clock::Duration minGreen{5'000};
    std::optional<Clock::Duration> maxGreen; // none: green lasts while no car waits across
    Clock::Duration yellow{2'000};
    Clock::Duration redYellow{1'000};
    Clock::Duration allRed{1'000};
    // The emulated program reads the sensors this often. Every phase lasts at least
    // kShortestShown, so neither the panel nor a checker can miss a light's step.
    Clock::Duration poll = kPanelPoll;
};

// Runs the two roads in turn through red, red and yellow, green, yellow, red, with every light red
// between them. A road keeps green while no car waits on the other road, and gives way after its
// minimum green once one does. When `stop` answers true the running phase ends safely: a road at
// red and yellow gets its green, a green road goes through yellow, and all four lights end red.
class JunctionDemo {
public:
    JunctionDemo(JunctionPorts &ports, Clock &clock, const DemoTimes &times,
                 std::function<bool()> stop, std::ostream &log);

    // Throws PortFailure when the port file fails; the lights are then as far as the run got.
    void run();

private:
    enum class GreenEnd { CarAcross, Longest, Stopping };

    void takeOver();
    void serve(Road road);
    GreenEnd holdGreen(Road road, Clock::Duration &held);
    void show(Road road, std::uint8_t value, std::string_view why = {});
    void hold(Clock::Duration length, bool endWhenStopping);
    void pollSensors();
    bool carWaitingOn(Road road) const;
    void note(std::string_view text);

    JunctionPorts &m_ports;
    Clock &m_clock;
    DemoTimes m_times;
    std::function<bool()> m_stop;
    std::ostream &m_log;
    std::uint8_t m_sensors = 0;
    bool m_stopping = false;
};

} // namespace bexen::ports
