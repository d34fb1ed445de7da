// SPDX-License-Identifier: MIT
#pragma once

#include "port_channel.h"
#include "shared/clock.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace bexen::ports {

// The tool's exit status, as scripts around it test it.
inline constexpr int kExitOk = 0;
inline constexpr int kExitAccessFailed = 1; // the port file could not be read or written
inline constexpr int kExitBadArguments = 2; // nothing was touched
inline constexpr int kExitViolations = 3; // watch --check saw a rule broken; a test's scenario failed

// Each status as help lists it.
struct ExitStatus {
    int code;
    std::string_view meaning;
};
inline constexpr ExitStatus kExitStatuses[] = {
    {kExitOk, "done"},
    {kExitAccessFailed, "the port file could not be accessed"},
    {kExitBadArguments, "bad arguments (nothing touched)"},
    {kExitViolations, "watch --check saw a violation, or a scenario of test failed"},
};

inline constexpr std::string_view kToolName = "bexen-ports";

// What every command gets: where to write, what time it is, and the port file. The file is
// located afresh at each access (the emulator may replace it, and TMPDIR names it) unless
// `--file PATH` fixed it.
struct Context {
    std::ostream &out;
    std::ostream &err;
    Clock &clock;
    std::string fileOverride; // empty: emu_port.dat in the temporary directory
    // A test's way to end a loop after a chosen number of steps; Ctrl-C ends it in any case.
    std::function<bool()> stopWhen;
    // test's controller: the words after its "--", when it was given one.
    std::optional<std::vector<std::string>> controller;

    io::PortFileLocation portFile() const;
    // Reading never creates the file by default: a tool that only looks leaves no trace.
    io::ReadOutcome read(std::int32_t port,
                         io::WhenMissing whenMissing = io::WhenMissing::ReadZero) const;
    // Creates the file as the panel does when it is missing.
    std::optional<io::AccessError> write(std::int32_t port, std::uint8_t value) const;

    bool stopping() const;

    // One line on `err` naming the path and the reason; returns kExitAccessFailed.
    int failAccess(const io::AccessError &error) const;
    // One line on `err` naming the command and what is wrong; returns kExitBadArguments.
    int failUsage(std::string_view command, std::string_view what) const;
};

// BEXEN_PORT_FILE, which a test gives the controller it starts, stands for --file where none is
// given: the port file's path, or empty.
std::string portFileFromEnvironment();

// "bexen-ports: watch: --interval needs a number of milliseconds", without its line end; the
// command is left out when empty.
std::string usageLine(std::string_view command, std::string_view what);

using Args = std::vector<std::string>;

} // namespace bexen::ports
