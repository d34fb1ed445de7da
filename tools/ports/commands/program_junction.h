// SPDX-License-Identifier: MIT
#pragma once

#include "commands/controller.h"
#include "model/junction_ports.h"
#include "shared/clock.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace bexen::ports {

struct ProgramSettings {
    std::string path; // its file's name goes into its environment and its warnings
    std::vector<std::uint8_t> file;
    std::uint32_t speed = 0; // instructions a virtual second, at least 1
    std::size_t outputKept = ControllerLimits{}.outputKept;
};

// `test --program`: a student's DOS program on the machine, graded in virtual time. The junction's
// ports are bytes in memory that the program and the grader both reach, and the grader's clock
// is the machine's: sleeping d on it runs the program for d of virtual time (d x speed
// instructions, less what its waits skip), so a sleep never takes longer than the instructions it
// runs, and a program that never waits is bounded by them all the same. The same program and
// scenarios give the same run on every host. The calendar is fixed (Saturday 1 June 2024, 12:00
// local time and UTC alike at the first scenario's start), so DOS's clock, the BIOS ticks and
// the reports' timestamps repeat too.
class ProgramJunction {
public:
    // The program loaded, or nothing and what is wrong with the file in `error`.
    static std::unique_ptr<ProgramJunction> load(const ProgramSettings &settings, std::string &error);
    ~ProgramJunction();
    ProgramJunction(const ProgramJunction &) = delete;
    ProgramJunction &operator=(const ProgramJunction &) = delete;

    JunctionPorts &ports();
    Clock &clock();
    // Ended once the program exits ("the program ended (exit code 3)") or faults (the fault's
    // line); each is said once, and "the program had stopped" after it.
    GradedController &controller();

private:
    struct Parts;
    explicit ProgramJunction(std::unique_ptr<Parts> parts);
    std::unique_ptr<Parts> m_parts;
};

} // namespace bexen::ports
