// SPDX-License-Identifier: MIT
#pragma once

// The machine's insides, shared by its run loop (machine.cpp) and its DOS and BIOS services
// (services.cpp): the CPU on Unicorn with the program's memory, and the register and flag words
// both speak in. Not for the machine's users: they have machine.h.

#include "machine.h"

#include "dos_memory.h"

#include <unicorn/unicorn.h>

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace bexen::machine {

constexpr std::uint32_t kCarry = 1U << 0;
constexpr std::uint32_t kZero = 1U << 6;
constexpr std::uint32_t kTrap = 1U << 8;
constexpr std::uint32_t kInterruptsOn = 1U << 9;

inline std::string hex(unsigned value, int digits)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    return text;
}

inline std::uint32_t reg32(uc_engine *uc, int id)
{
    std::uint64_t value = 0;
    uc_reg_read(uc, id, &value);
    return static_cast<std::uint32_t>(value);
}

inline std::uint16_t reg16(uc_engine *uc, int id)
{
    return static_cast<std::uint16_t>(reg32(uc, id));
}

inline void setReg(uc_engine *uc, int id, std::uint64_t value)
{
    uc_reg_write(uc, id, &value);
}

inline std::uint8_t lowByte(std::uint16_t value)
{
    return static_cast<std::uint8_t>(value & 0xFF);
}

inline std::uint8_t highByte(std::uint16_t value)
{
    return static_cast<std::uint8_t>(value >> 8);
}

inline std::uint16_t makeWord(std::uint8_t high, std::uint8_t low)
{
    return static_cast<std::uint16_t>((high << 8) | low);
}

class Machine::Cpu {
public:
    Cpu(Devices devices, LocalMoment start);
    ~Cpu();
    Cpu(const Cpu &) = delete;
    Cpu &operator=(const Cpu &) = delete;

    LoadOutcome load(std::span<const std::uint8_t> file, std::string_view tail,
                     std::string_view name);
    Stop run(std::uint64_t instructions);
    std::uint64_t executed() const { return m_executed; }
    Address where() const { return {reg16(m_uc, UC_X86_REG_CS), reg16(m_uc, UC_X86_REG_IP)}; }

private:
    // Why the hooks stopped the CPU.
    enum class Request { None, Slice, Tick, Wait, End };

    static void codeHook(uc_engine *, std::uint64_t address, std::uint32_t, void *self);
    static void blockHook(uc_engine *, std::uint64_t address, std::uint32_t size, void *self);
    static void interruptHook(uc_engine *, std::uint32_t number, void *self);
    static std::uint32_t inHook(uc_engine *, std::uint32_t port, int size, void *self);
    static void outHook(uc_engine *, std::uint32_t port, int size, std::uint32_t value, void *self);
    static bool badMemoryHook(uc_engine *, uc_mem_type, std::uint64_t address, int, std::int64_t,
                              void *self);

    void onCode(std::uint32_t address);
    void onBlock(std::uint32_t address, std::uint32_t size);
    void onInterrupt(std::uint32_t number);
    std::uint32_t onIn(std::uint16_t port, int size);
    void onOut(std::uint16_t port, int size, std::uint32_t value);

    // Where uc_emu_start ended without a hook asking it to: an error, or a HLT to wait at.
    Stop stoppedByItself(uc_err error);
    void initialiseBios();
    Micros now() { return m_devices.time.now(m_executed); }
    LocalMoment moment() { return m_start + now(); }
    // Updates the BIOS's tick count; true when a tick is due for the program's handler now.
    bool timerWantsIn();
    void deliverTick();

    // The instruction the code hook saw last, as a place in its segment.
    Address lastAt() const;
    std::uint16_t offsetIn(std::uint32_t address) const
    {
        return static_cast<std::uint16_t>((address - (std::uint32_t{m_blockCs} << 4)) & 0xFFFF);
    }
    void stopWith(Request request, std::uint16_t resumeIp);
    void end(Stop stop);
    void fault(const std::string &what);
    std::string describe(uc_err error) const;

    std::uint8_t byteAt(std::uint32_t address) const
    {
        return address < kMemorySize ? m_memory[address] : 0;
    }
    std::uint16_t wordAt(std::uint32_t address) const
    {
        return makeWord(byteAt(address + 1), byteAt(address));
    }
    void putWord(std::uint32_t address, std::uint16_t value);
    bool push(std::uint16_t value);

    // The interrupt vectors and the BIOS's routines behind them.
    Address vector(std::uint8_t number) const;
    bool isDefault(std::uint8_t number) const;
    bool tickHandlerInstalled() const { return !isDefault(0x08) || !isDefault(0x1C); }
    // Enters the program's handler of `number` as the CPU does, to return to `cs:ip`.
    void enterHandler(std::uint8_t number, std::uint16_t cs, std::uint16_t ip);

    // The services, with the program's registers; `returnIp` is past the INT.
    void service(std::uint8_t number, std::uint16_t returnIp);
    void dos(std::uint16_t returnIp);
    // One function of INT 21h each, by the AH it answers.
    struct DosFunction {
        std::uint8_t ah;
        void (Cpu::*handler)(std::uint16_t returnIp);
    };
    static std::span<const DosFunction> dosFunctions();
    void dosTerminate(std::uint16_t returnIp);
    void dosExit(std::uint16_t returnIp);
    void dosReadKey(std::uint16_t returnIp);
    void dosPrintChar(std::uint16_t returnIp);
    void dosDirectConsole(std::uint16_t returnIp);
    void dosPrintString(std::uint16_t returnIp);
    void dosKeyReady(std::uint16_t returnIp);
    void dosFlushThenRead(std::uint16_t returnIp);
    void dosSetVector(std::uint16_t returnIp);
    void dosGetVector(std::uint16_t returnIp);
    void dosDate(std::uint16_t returnIp);
    void dosTime(std::uint16_t returnIp);
    void dosVersion(std::uint16_t returnIp);
    void dosWrite(std::uint16_t returnIp);
    void video();
    void keyboard(std::uint16_t returnIp);
    void timeOfDay();
    void system(std::uint16_t returnIp);
    void notProvided(std::uint8_t number, std::optional<std::uint8_t> function,
                     std::string_view effect);
    void setFlag(std::uint32_t flag, bool on);
    // The next key, taken; nothing when there is none yet (the INT is done again later) or no
    // more (the run ends).
    std::optional<std::uint8_t> takeKey(std::string_view service, std::uint16_t returnIp);
    std::optional<std::uint8_t> readyKey();
    void print(std::string_view text) { m_devices.console.write(text); }
    void printChar(std::uint8_t c) { print(std::string(1, static_cast<char>(c))); }

    std::uint16_t ax() const { return reg16(m_uc, UC_X86_REG_AX); }
    std::uint8_t ah() const { return highByte(ax()); }
    std::uint8_t al() const { return lowByte(ax()); }
    void setAx(std::uint16_t value) { setReg(m_uc, UC_X86_REG_AX, value); }
    void setAl(std::uint8_t value) { setReg(m_uc, UC_X86_REG_AL, value); }
    std::uint16_t dx() const { return reg16(m_uc, UC_X86_REG_DX); }
    std::uint16_t ds() const { return reg16(m_uc, UC_X86_REG_DS); }

    Devices m_devices;
    LocalMoment m_start;
    uc_engine *m_uc = nullptr;
    std::vector<std::uint8_t> m_memory;
    bool m_loaded = false;

    std::uint64_t m_executed = 0;
    std::uint64_t m_sliceEnd = 0;
    std::uint32_t m_last = 0; // the linear address of the last instruction begun
    std::uint16_t m_blockCs = 0; // CS of the code being run, from the block hook
    Request m_request = Request::None;
    std::uint16_t m_resumeIp = 0;
    std::optional<Stop> m_end;
    std::optional<Micros> m_waitUntil;
    // The service being done was reached through its BIOS routine (a handler of the program
    // chaining to the vector it found): flags go back through the stacked FLAGS as well.
    bool m_inBiosRoutine = false;

    std::uint64_t m_tickSerial = 0;
    std::int64_t m_day = 0;
    bool m_tickPending = false;
    std::set<std::uint32_t> m_warned;
};

} // namespace bexen::machine
