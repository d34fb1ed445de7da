// SPDX-License-Identifier: MIT
// The DOS and BIOS services a student's program calls, done where the CPU's interrupt hook finds
// its INT: with the program's registers and memory, its console and its time.
#include "cpu_p.h"

#include "dos_memory.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace bexen::machine {

namespace {

// A key not typed yet is asked for again this much later.
constexpr Micros kKeyPoll{10'000};

} // namespace

void Machine::Cpu::setFlag(std::uint32_t flag, bool on)
{
    const std::uint32_t flags = reg32(m_uc, UC_X86_REG_EFLAGS);
    setReg(m_uc, UC_X86_REG_EFLAGS, on ? flags | flag : flags & ~flag);
    if (m_inBiosRoutine) {
        const std::uint32_t stacked = linear(reg16(m_uc, UC_X86_REG_SS),
                                             static_cast<std::uint16_t>(reg16(m_uc, UC_X86_REG_SP) + 4));
        const std::uint16_t saved = wordAt(stacked);
        putWord(stacked, static_cast<std::uint16_t>(on ? saved | flag : saved & ~flag));
    }
}

void Machine::Cpu::notProvided(std::uint8_t number, std::optional<std::uint8_t> function,
                               std::string_view effect)
{
    // Each function once; an interrupt without functions once as a whole.
    const std::uint32_t key = function ? (std::uint32_t{number} << 8) | *function : 0x1'0000U + number;
    if (!m_warned.insert(key).second)
        return;
    std::string line = "INT " + hex(number, 2) + "h";
    if (function)
        line += " function " + hex(*function, 2) + "h";
    line += " is not provided (" + std::string(effect) + "), first at " + addressText(lastAt());
    m_devices.console.warn(line);
}

void Machine::Cpu::service(std::uint8_t number, std::uint16_t returnIp)
{
    switch (number) {
    case 0x20:
        end({Stop::Reason::Exited, {}, 0, {}});
        break;
    case 0x21:
        dos(returnIp);
        break;
    case 0x10:
        video();
        break;
    case 0x16:
        keyboard(returnIp);
        break;
    case 0x1A:
        timeOfDay();
        break;
    case 0x15:
        system(returnIp);
        break;
    case 0x08:
        if (!isDefault(0x1C))
            enterHandler(0x1C, reg16(m_uc, UC_X86_REG_CS), returnIp);
        break;
    case 0x11:
        setAx(wordAt(kBiosDataArea + 0x10));
        break;
    case 0x12:
        setAx(wordAt(kBiosDataArea + 0x13));
        break;
    case 0x01: // the BIOS's own handlers of these do nothing but IRET
    case 0x03:
    case 0x04:
    case 0x1C:
        break;
    default:
        notProvided(number, std::nullopt, "nothing done");
        break;
    }
}

// The functions of INT 21h, by AH; any other sets carry with AX = 1.
std::span<const Machine::Cpu::DosFunction> Machine::Cpu::dosFunctions()
{
    static constexpr DosFunction kFunctions[] = {
        {0x00, &Cpu::dosTerminate},
        {0x01, &Cpu::dosReadKey},
        {0x02, &Cpu::dosPrintChar},
        {0x06, &Cpu::dosDirectConsole},
        {0x07, &Cpu::dosReadKey},
        {0x08, &Cpu::dosReadKey},
        {0x09, &Cpu::dosPrintString},
        {0x0B, &Cpu::dosKeyReady},
        {0x0C, &Cpu::dosFlushThenRead},
        {0x25, &Cpu::dosSetVector},
        {0x2A, &Cpu::dosDate},
        {0x2C, &Cpu::dosTime},
        {0x30, &Cpu::dosVersion},
        {0x35, &Cpu::dosGetVector},
        {0x40, &Cpu::dosWrite},
        {0x4C, &Cpu::dosExit},
    };
    return kFunctions;
}

void Machine::Cpu::dos(std::uint16_t returnIp)
{
    const std::uint8_t function = ah();
    const auto functions = dosFunctions();
    const auto known = std::ranges::find(functions, function, &DosFunction::ah);
    if (known == functions.end()) {
        notProvided(0x21, function, "carry set, AX = 1");
        setAx(1);
        setFlag(kCarry, true);
        return;
    }
    (this->*known->handler)(returnIp);
}

void Machine::Cpu::dosTerminate(std::uint16_t)
{
    end({Stop::Reason::Exited, {}, 0, {}});
}

void Machine::Cpu::dosExit(std::uint16_t)
{
    end({Stop::Reason::Exited, {}, al(), {}});
}

// 01h echoes the key; 07h and 08h do not.
void Machine::Cpu::dosReadKey(std::uint16_t returnIp)
{
    const std::uint8_t function = ah();
    if (const auto key = takeKey("INT 21h function " + hex(function, 2) + "h", returnIp)) {
        setAl(*key);
        if (function == 0x01)
            printChar(*key);
    }
}

void Machine::Cpu::dosPrintChar(std::uint16_t)
{
    printChar(lowByte(dx()));
    setAl(lowByte(dx()));
}

// DL = FFh reads a key if one is ready (ZF set when none is); any other DL is printed.
void Machine::Cpu::dosDirectConsole(std::uint16_t returnIp)
{
    if (lowByte(dx()) != 0xFF) {
        dosPrintChar(returnIp);
        return;
    }
    const auto key = readyKey();
    setAl(key.value_or(0));
    setFlag(kZero, !key);
}

void Machine::Cpu::dosPrintString(std::uint16_t)
{
    std::string text;
    const std::uint32_t from = linear(ds(), dx());
    for (std::uint32_t at = from; at < kMemorySize && at - from < 0x1'0000 && m_memory[at] != '$'; ++at)
        text += static_cast<char>(m_memory[at]);
    print(text);
    setAl('$');
}

void Machine::Cpu::dosKeyReady(std::uint16_t)
{
    setAl(m_devices.console.peekKey().state == KeyPoll::State::Ready ? 0xFF : 0x00);
}

void Machine::Cpu::dosFlushThenRead(std::uint16_t returnIp)
{
    // Input comes from the caller's stdin, as if redirected: there is no type-ahead to
    // flush, and the function in AL is done as it is.
    const std::uint8_t then = al();
    if (then == 0x01 || then == 0x06 || then == 0x07 || then == 0x08) {
        setReg(m_uc, UC_X86_REG_AH, then);
        dos(returnIp);
        setReg(m_uc, UC_X86_REG_AH, 0x0C);
    }
}

void Machine::Cpu::dosSetVector(std::uint16_t)
{
    putWord(al() * 4U, dx());
    putWord(al() * 4U + 2, ds());
}

void Machine::Cpu::dosGetVector(std::uint16_t)
{
    const Address handler = vector(al());
    setReg(m_uc, UC_X86_REG_ES, handler.segment);
    setReg(m_uc, UC_X86_REG_BX, handler.offset);
}

void Machine::Cpu::dosDate(std::uint16_t)
{
    const ClockReading clock = readClock(moment());
    setReg(m_uc, UC_X86_REG_CX, clock.year);
    setReg(m_uc, UC_X86_REG_DX, makeWord(clock.month, clock.day));
    setAl(clock.weekday);
}

void Machine::Cpu::dosTime(std::uint16_t)
{
    const ClockReading clock = readClock(moment());
    setReg(m_uc, UC_X86_REG_CX, makeWord(clock.hour, clock.minute));
    setReg(m_uc, UC_X86_REG_DX, makeWord(clock.second, clock.hundredths));
}

// DOS 5.0, the version a program's start-up code is happy with.
void Machine::Cpu::dosVersion(std::uint16_t)
{
    setAx(0x0005);
    setReg(m_uc, UC_X86_REG_BX, 0xFF00);
    setReg(m_uc, UC_X86_REG_CX, 0);
}

void Machine::Cpu::dosWrite(std::uint16_t)
{
    const std::uint16_t handle = reg16(m_uc, UC_X86_REG_BX);
    const std::uint16_t count = reg16(m_uc, UC_X86_REG_CX);
    if (handle != 1 && handle != 2) {
        // Files never reach the host: only the screen can be written.
        notProvided(0x21, 0x40, "carry set, AX = 6, for any handle but 1 and 2");
        setAx(6);
        setFlag(kCarry, true);
        return;
    }
    std::string text;
    const std::uint32_t from = linear(ds(), dx());
    for (std::uint32_t at = from; at < kMemorySize && at - from < count; ++at)
        text += static_cast<char>(m_memory[at]);
    print(text);
    setAx(count);
    setFlag(kCarry, false);
}

void Machine::Cpu::video()
{
    if (ah() == 0x0E)
        printChar(al());
    else
        notProvided(0x10, ah(), "nothing done");
}

void Machine::Cpu::keyboard(std::uint16_t returnIp)
{
    const std::uint8_t function = ah();
    switch (function) {
    case 0x00:
    case 0x10:
        if (const auto key = takeKey("INT 16h function " + hex(function, 2) + "h", returnIp))
            setAx(*key);
        return;
    case 0x01:
    case 0x11: {
        const auto key = readyKey();
        if (key)
            setAx(*key);
        setFlag(kZero, !key);
        return;
    }
    case 0x02:
        setAl(0);
        return;
    default:
        notProvided(0x16, function, "nothing done");
        return;
    }
}

void Machine::Cpu::timeOfDay()
{
    if (ah() != 0x00) {
        notProvided(0x1A, ah(), "carry set");
        setFlag(kCarry, true);
        return;
    }
    (void)timerWantsIn();
    setReg(m_uc, UC_X86_REG_DX, wordAt(kBiosTicks));
    setReg(m_uc, UC_X86_REG_CX, wordAt(kBiosTicks + 2));
    setAl(m_memory[kBiosMidnight]);
    m_memory[kBiosMidnight] = 0;
}

void Machine::Cpu::system(std::uint16_t returnIp)
{
    if (ah() != 0x86) {
        notProvided(0x15, ah(), "carry set, AH = 86h");
        setReg(m_uc, UC_X86_REG_AH, 0x86);
        setFlag(kCarry, true);
        return;
    }
    const std::uint32_t micros = (std::uint32_t{reg16(m_uc, UC_X86_REG_CX)} << 16)
            | reg16(m_uc, UC_X86_REG_DX);
    setReg(m_uc, UC_X86_REG_AH, 0);
    setFlag(kCarry, false);
    if (micros == 0)
        return;
    m_waitUntil = now() + Micros(micros);
    stopWith(Request::Wait, returnIp);
}

std::optional<std::uint8_t> Machine::Cpu::readyKey()
{
    const KeyPoll poll = m_devices.console.peekKey();
    if (poll.state != KeyPoll::State::Ready)
        return std::nullopt;
    // The Enter key gives a carriage return; a line of stdin ends in a line feed.
    return poll.key == '\n' ? std::uint8_t{'\r'} : poll.key;
}

std::optional<std::uint8_t> Machine::Cpu::takeKey(std::string_view service, std::uint16_t returnIp)
{
    const KeyPoll poll = m_devices.console.peekKey();
    switch (poll.state) {
    case KeyPoll::State::Ready: {
        const auto key = readyKey();
        m_devices.console.takeKey();
        return key;
    }
    case KeyPoll::State::NotYet:
        m_waitUntil = now() + kKeyPoll;
        stopWith(Request::Wait, static_cast<std::uint16_t>(returnIp - 2));
        return std::nullopt;
    case KeyPoll::State::Ended:
        break;
    }
    fault(std::string(service) + " wants a key after the end of stdin at "
          + addressText(lastAt()));
    return std::nullopt;
}

} // namespace bexen::machine
