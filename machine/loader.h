// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace bexen::machine {

enum class ProgramKind { Com, Exe };

// The registers DOS starts a program with.
struct StartRegisters {
    std::uint16_t cs = 0;
    std::uint16_t ip = 0;
    std::uint16_t ss = 0;
    std::uint16_t sp = 0;
    std::uint16_t ds = 0; // the PSP, as ES
};

struct LoadedProgram {
    ProgramKind kind = ProgramKind::Com;
    StartRegisters start;
};

struct LoadOutcome {
    std::optional<LoadedProgram> program;
    std::string error; // when there is no program: what is wrong with the file, for "FILE: ..."
};

// The command tail DOS passes a program: its arguments after a blank each, or why they do not fit.
struct CommandTail {
    std::string text;
    std::optional<std::string> error;
};
CommandTail commandTail(const std::vector<std::string> &arguments);

// Places a program file into `memory` (the machine's megabyte, zeroed) as DOS loads it: an MZ
// .EXE (told by its signature, not its name) with its relocations applied, or anything else as
// a .COM at 0100h, each after its PSP and environment.
LoadOutcome loadProgram(std::span<const std::uint8_t> file, std::string_view tail,
                        std::string_view name, std::span<std::uint8_t> memory);

} // namespace bexen::machine
