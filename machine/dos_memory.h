// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>

namespace bexen::machine {

// The machine's memory: the real-mode megabyte, nothing past it.
inline constexpr std::size_t kMemorySize = 0x10'0000;

// The program's PSP is at segment 1000h, a .COM's code at 1000:0100, an .EXE's load module
// right after the PSP. (A segment that is a multiple of 64 KiB also keeps the code Unicorn 2.0
// translates where it belongs; see machine.cpp.)
inline constexpr std::uint16_t kPspSegment = 0x1000;
inline constexpr std::uint16_t kPspParagraphs = 0x10;
// Its environment block (no variables, then the program's name) just below it.
inline constexpr std::uint16_t kEnvironmentSegment = 0x0FF0;
// The first paragraph past the program's memory, as the PSP's word at 2 gives it: 640 KiB.
inline constexpr std::uint16_t kMemoryTopSegment = 0xA000;

// The BIOS: one small routine per interrupt vector at F000:n*4, which hands the service over to
// the machine, and its data area at 0040:0000.
inline constexpr std::uint16_t kBiosSegment = 0xF000;
inline constexpr std::uint32_t kBiosDataArea = 0x400;
inline constexpr std::uint32_t kBiosTicks = kBiosDataArea + 0x6C; // dword
inline constexpr std::uint32_t kBiosMidnight = kBiosDataArea + 0x70; // byte

// A .COM is at most what fits between 0100h and the word at FFFEh its stack starts with.
inline constexpr std::size_t kLargestCom = 0x1'0000 - 0x100 - 2;
// The command tail at PSP:80h: a length byte, the text, and a carriage return.
inline constexpr std::size_t kLongestCommandTail = 126;

constexpr std::uint32_t linear(std::uint16_t segment, std::uint16_t offset)
{
    return (static_cast<std::uint32_t>(segment) << 4) + offset;
}

} // namespace bexen::machine
