// SPDX-License-Identifier: MIT
#pragma once

#include "commands/cli.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bexen::ports {

class CommandLine;

// `bexen-ports run`: a student's DOS program on the machine, driving the port file in real time as
// the emulator would. Where the tool is built without the machine (Windows), `run` is left out of
// help and says so in one line.
void addRunCommand(CommandLine &line);

// How a run ended, beyond the tool's own statuses.
inline constexpr int kExitProgramFailed = 4; // the program ended with an exit code other than 0
inline constexpr int kExitProgramFault = 5; // the program did what no PC lets it
inline constexpr int kExitTimeLimit = 124; // --max-seconds passed, as timeout(1) says it
inline constexpr int kExitInterrupted = 130; // Ctrl-C, as a shell says it

inline constexpr std::uint32_t kDefaultSpeed = 100'000;

struct RunOptions {
    std::uint32_t speed = kDefaultSpeed; // instructions a second; 0: as fast as the host can
    bool trace = false;
    std::optional<Clock::Duration> maxSeconds;
    std::string program;
    std::vector<std::string> arguments;
};

// The keyboard the program reads: the tool's stdin, or a test's keys.
class KeyInput {
public:
    enum class State { Ready, NotYet, Ended };
    virtual ~KeyInput() = default;
    virtual State peek(std::uint8_t &key) = 0;
    virtual void take() = 0;
};

// Reads a program's file, no further than the largest a program can be; the line saying why
// when it cannot be read.
std::optional<std::string> readProgramFile(const std::string &path, std::vector<std::uint8_t> &file);

// Runs the program as `run` does, with its keys from `keys`; the exit status.
int runProgram(Context &ctx, const RunOptions &options, KeyInput &keys);

} // namespace bexen::ports
