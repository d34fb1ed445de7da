// SPDX-License-Identifier: MIT
#include "loader.h"

#include "dos_memory.h"

#include <algorithm>
#include <cctype>

namespace bexen::machine {

namespace {

constexpr std::size_t kMzHeaderSize = 0x1C;
constexpr std::size_t kPage = 512;
constexpr std::size_t kParagraph = 16;

std::uint16_t word(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

void putWord(std::span<std::uint8_t> memory, std::uint32_t at, std::uint16_t value)
{
    memory[at] = static_cast<std::uint8_t>(value & 0xFF);
    memory[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::string hex4(unsigned value)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(4, '0');
    for (int i = 3; i >= 0; --i, value >>= 4)
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    return text;
}

// The PSP's fields a program looks at: INT 20h at 0 (a .COM's RET lands there), the top of its
// memory at 2, its environment at 2Ch, the command tail at 80h.
void writePsp(std::span<std::uint8_t> memory, std::string_view tail, std::string_view name)
{
    const std::uint32_t psp = linear(kPspSegment, 0);
    memory[psp] = 0xCD;
    memory[psp + 1] = 0x20;
    putWord(memory, psp + 2, kMemoryTopSegment);
    putWord(memory, psp + 0x2C, kEnvironmentSegment);
    memory[psp + 0x80] = static_cast<std::uint8_t>(tail.size());
    std::copy(tail.begin(), tail.end(), memory.begin() + psp + 0x81);
    memory[psp + 0x81 + tail.size()] = 0x0D;

    // No variables (an empty string ends the list), one more string, and the program's path in
    // DOS's own letters.
    std::string path = "C:\\";
    for (char c : name.substr(0, 64))
        path += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::uint32_t at = linear(kEnvironmentSegment, 0);
    memory[at++] = 0;
    memory[at++] = 0;
    putWord(memory, at, 1);
    at += 2;
    std::copy(path.begin(), path.end(), memory.begin() + at);
}

LoadOutcome failed(std::string why)
{
    return {std::nullopt, std::move(why)};
}

LoadOutcome loadCom(std::span<const std::uint8_t> file, std::span<std::uint8_t> memory)
{
    if (file.empty())
        return failed("the file is empty");
    if (file.size() > kLargestCom)
        return failed("the file has " + std::to_string(file.size())
                      + " bytes, more than a .COM program can have (65278)");
    std::copy(file.begin(), file.end(), memory.begin() + linear(kPspSegment, 0x100));
    // The word 0 on top of the stack: a RET from the program goes to the PSP's INT 20h.
    putWord(memory, linear(kPspSegment, 0xFFFE), 0);
    LoadedProgram program{ProgramKind::Com, {kPspSegment, 0x100, kPspSegment, 0xFFFE, kPspSegment}};
    return {program, {}};
}

// The fields of an MZ header the loader uses, at their offsets.
struct MzHeader {
    std::uint16_t lastPage;
    std::uint16_t pages;
    std::uint16_t relocations;
    std::uint16_t headerParagraphs;
    std::uint16_t minAlloc;
    std::uint16_t ss;
    std::uint16_t sp;
    std::uint16_t ip;
    std::uint16_t cs;
    std::uint16_t relocationTable;
};

MzHeader mzHeader(std::span<const std::uint8_t> file)
{
    return {word(file, 2),    word(file, 4),    word(file, 6),    word(file, 8),    word(file, 0x0A),
            word(file, 0x0E), word(file, 0x10), word(file, 0x14), word(file, 0x16), word(file, 0x18)};
}

LoadOutcome loadExe(std::span<const std::uint8_t> file, std::span<std::uint8_t> memory)
{
    if (file.size() < kMzHeaderSize)
        return failed("its MZ header is cut short: " + std::to_string(file.size())
                      + " bytes of the 28 it has");
    const auto [lastPage, pages, relocations, headerParagraphs, minAlloc, ss, sp, ip, cs,
                relocationTable] = mzHeader(file);

    if (pages == 0)
        return failed("its MZ header counts no pages");
    if (lastPage >= kPage)
        return failed("its MZ header says the last page holds " + std::to_string(lastPage)
                      + " bytes, more than a page of 512");
    const std::size_t end = pages * kPage - (lastPage == 0 ? 0 : kPage - lastPage);
    const std::size_t headerSize = headerParagraphs * kParagraph;
    if (headerSize < kMzHeaderSize || headerSize > end)
        return failed("its MZ header says it is " + std::to_string(headerSize)
                      + " bytes long, which does not fit between 28 and the program's "
                      + std::to_string(end));
    if (end > file.size())
        return failed("the file has " + std::to_string(file.size()) + " bytes, fewer than the "
                      + std::to_string(end) + " its MZ header says");
    if (relocationTable + relocations * std::size_t{4} > headerSize)
        return failed("its relocation table (" + std::to_string(relocations)
                      + " entries at byte " + std::to_string(relocationTable)
                      + ") runs past the header");

    const std::size_t moduleSize = end - headerSize;
    const std::uint16_t loadSegment = kPspSegment + kPspParagraphs;
    const std::size_t room = (kMemoryTopSegment - loadSegment) * kParagraph;
    const std::size_t needed = moduleSize + minAlloc * kParagraph;
    if (needed > room)
        return failed("it needs " + std::to_string(needed) + " bytes of memory, more than the "
                      + std::to_string(room) + " a program gets");

    const std::uint32_t base = linear(loadSegment, 0);
    std::copy(file.begin() + static_cast<std::ptrdiff_t>(headerSize),
              file.begin() + static_cast<std::ptrdiff_t>(end), memory.begin() + base);
    for (std::size_t i = 0; i < relocations; ++i) {
        const std::size_t entry = relocationTable + i * 4;
        const std::uint16_t offset = word(file, entry);
        const std::uint16_t segment = word(file, entry + 2);
        const std::size_t at = std::size_t{segment} * kParagraph + offset;
        if (at + 2 > moduleSize)
            return failed("its relocation " + std::to_string(i + 1) + " (" + hex4(segment) + ":"
                          + hex4(offset) + ") lies outside the program");
        const std::uint32_t target = base + static_cast<std::uint32_t>(at);
        putWord(memory, target,
                static_cast<std::uint16_t>(memory[target] + (memory[target + 1] << 8) + loadSegment));
    }
    LoadedProgram program{ProgramKind::Exe,
                          {static_cast<std::uint16_t>(loadSegment + cs), ip,
                           static_cast<std::uint16_t>(loadSegment + ss), sp, kPspSegment}};
    return {program, {}};
}

} // namespace

CommandTail commandTail(const std::vector<std::string> &arguments)
{
    CommandTail tail;
    for (const std::string &argument : arguments) {
        if (argument.find('\r') != std::string::npos)
            return {{}, "an argument holds a carriage return, which ends a DOS command line"};
        tail.text += ' ' + argument;
    }
    if (tail.text.size() > kLongestCommandTail)
        tail = {{}, "the arguments make a command tail of " + std::to_string(tail.text.size())
                            + " characters, more than DOS passes (126)"};
    return tail;
}

LoadOutcome loadProgram(std::span<const std::uint8_t> file, std::string_view tail,
                        std::string_view name, std::span<std::uint8_t> memory)
{
    const bool mz = file.size() >= 2
            && ((file[0] == 'M' && file[1] == 'Z') || (file[0] == 'Z' && file[1] == 'M'));
    LoadOutcome outcome = mz ? loadExe(file, memory) : loadCom(file, memory);
    if (outcome.program)
        writePsp(memory, tail.substr(0, kLongestCommandTail), name);
    return outcome;
}

} // namespace bexen::machine
