// SPDX-License-Identifier: MIT
#include "machine.h"

#include "cpu_p.h"
#include "dos_memory.h"

#include <unicorn/unicorn.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

// Unicorn 2.0.1 in 16-bit mode, as it behaves (and as the run loop below allows for):
// - uc_emu_start's `begin` is a linear address: a run starts at CS * 16 + IP.
// - A UC_HOOK_CODE hook leaves EIP holding the linear address when it stops the run, so the
//   loop sets EIP itself after every stop, from the address the code hook saw.
// - HLT ends uc_emu_start as if nothing happened; the code hook's last address tells.
// - UC_HOOK_INTR sees every INT n with EIP past it, in place of the CPU's own vectoring, and
//   every CPU exception with EIP at the instruction that raised it; the byte at that address
//   tells the two apart. The services are done there and the program's own handlers entered.
// - Straight-line code running past IP FFFFh does not wrap: the block hook ends it.
// The count argument of uc_emu_start is never used (the code hook counts and stops instead):
// switching between a count and none throws the translated code away.

namespace bexen::machine {

namespace {

// How often the code hook asks the time whether the timer has ticked: often enough for a tick
// to come within 3 ms at 100 000 instructions a second, rarely enough to cost nothing.
constexpr std::uint64_t kTimerCheckEvery = 256;

constexpr std::uint8_t kInt = 0xCD;
constexpr std::uint8_t kInt3 = 0xCC;
constexpr std::uint8_t kInto = 0xCE;
constexpr std::uint8_t kInt1 = 0xF1;
constexpr std::uint8_t kHlt = 0xF4;
constexpr std::uint8_t kIret = 0xCF;

struct ExceptionName {
    std::uint32_t number;
    const char *name;
};
constexpr ExceptionName kExceptions[] = {
    {0x00, "divide error"},
    {0x04, "overflow"},
    {0x05, "BOUND range exceeded"},
    {0x06, "invalid opcode"},
    {0x07, "no coprocessor"},
    {0x08, "double fault"},
    {0x0C, "stack fault"},
    {0x0D, "general protection fault (a word or more across the end of a segment)"},
    {0x10, "coprocessor error"},
};

} // namespace

std::string addressText(Address at)
{
    return hex(at.segment, 4) + ":" + hex(at.offset, 4);
}

Machine::Cpu::Cpu(Devices devices, LocalMoment start)
    : m_devices(devices)
    , m_start(start)
    , m_memory(kMemorySize, 0)
{
    uc_err error = uc_open(UC_ARCH_X86, UC_MODE_16, &m_uc);
    if (error != UC_ERR_OK)
        throw std::runtime_error(std::string("Unicorn cannot make a 16-bit x86: ")
                                 + uc_strerror(error));
    error = uc_mem_map_ptr(m_uc, 0, kMemorySize, UC_PROT_ALL, m_memory.data());
    // One hook per concern, each over the whole megabyte, registered once.
    uc_hook hook = 0;
    if (error == UC_ERR_OK)
        error = uc_hook_add(m_uc, &hook, UC_HOOK_CODE, reinterpret_cast<void *>(&codeHook), this, 1, 0);
    if (error == UC_ERR_OK)
        error = uc_hook_add(m_uc, &hook, UC_HOOK_BLOCK, reinterpret_cast<void *>(&blockHook), this, 1, 0);
    if (error == UC_ERR_OK)
        error = uc_hook_add(m_uc, &hook, UC_HOOK_INTR, reinterpret_cast<void *>(&interruptHook),
                            this, 1, 0);
    if (error == UC_ERR_OK)
        error = uc_hook_add(m_uc, &hook, UC_HOOK_INSN, reinterpret_cast<void *>(&inHook), this, 1,
                            0, UC_X86_INS_IN);
    if (error == UC_ERR_OK)
        error = uc_hook_add(m_uc, &hook, UC_HOOK_INSN, reinterpret_cast<void *>(&outHook), this, 1,
                            0, UC_X86_INS_OUT);
    if (error == UC_ERR_OK)
        error = uc_hook_add(m_uc, &hook, UC_HOOK_MEM_INVALID,
                            reinterpret_cast<void *>(&badMemoryHook), this, 1, 0);
    if (error != UC_ERR_OK) {
        uc_close(m_uc);
        throw std::runtime_error(std::string("Unicorn cannot set up the machine: ")
                                 + uc_strerror(error));
    }
    initialiseBios();
}

Machine::Cpu::~Cpu()
{
    uc_close(m_uc);
}

// Every vector points at a routine of its own, "INT n; IRET": a program that chains to the
// vector it found (or calls it) gets the machine's service through it.
void Machine::Cpu::initialiseBios()
{
    for (std::uint32_t n = 0; n < 256; ++n) {
        const std::uint32_t routine = linear(kBiosSegment, static_cast<std::uint16_t>(n * 4));
        m_memory[routine] = kInt;
        m_memory[routine + 1] = static_cast<std::uint8_t>(n);
        m_memory[routine + 2] = kIret;
        putWord(n * 4, static_cast<std::uint16_t>(n * 4));
        putWord(n * 4 + 2, kBiosSegment);
    }
    // The equipment word (80-column colour text), the memory in KiB, text mode 3 in 80 columns.
    putWord(kBiosDataArea + 0x10, 0x0020);
    putWord(kBiosDataArea + 0x13, 640);
    m_memory[kBiosDataArea + 0x49] = 3;
    putWord(kBiosDataArea + 0x4A, 80);
}

LoadOutcome Machine::Cpu::load(std::span<const std::uint8_t> file, std::string_view tail,
                               std::string_view name)
{
    if (m_loaded)
        return {std::nullopt, "a program is loaded already"};
    LoadOutcome outcome = loadProgram(file, tail, name, m_memory);
    if (!outcome.program)
        return outcome;
    m_loaded = true;
    const StartRegisters &start = outcome.program->start;
    setReg(m_uc, UC_X86_REG_CS, start.cs);
    setReg(m_uc, UC_X86_REG_EIP, start.ip);
    setReg(m_uc, UC_X86_REG_SS, start.ss);
    setReg(m_uc, UC_X86_REG_ESP, start.sp);
    setReg(m_uc, UC_X86_REG_DS, start.ds);
    setReg(m_uc, UC_X86_REG_ES, start.ds);
    setReg(m_uc, UC_X86_REG_EFLAGS, 0x0002 | kInterruptsOn);
    m_blockCs = start.cs;
    m_last = linear(start.cs, start.ip);

    const LocalMoment at = moment();
    m_tickSerial = tickSerial(at);
    m_day = std::chrono::floor<std::chrono::days>(at).time_since_epoch().count();
    const std::uint32_t ticks = ticksSinceMidnight(at);
    putWord(kBiosTicks, static_cast<std::uint16_t>(ticks & 0xFFFF));
    putWord(kBiosTicks + 2, static_cast<std::uint16_t>(ticks >> 16));
    return outcome;
}

Stop Machine::Cpu::run(std::uint64_t instructions)
{
    if (m_end)
        return *m_end;
    if (!m_loaded)
        return {Stop::Reason::Fault, {}, 0, "no program is loaded"};
    if (m_waitUntil) {
        if (now() < *m_waitUntil)
            return {Stop::Reason::Waiting, *m_waitUntil, 0, {}};
        m_waitUntil.reset();
        // The tick a HLT waited for, or one that came during a wait.
        (void)timerWantsIn();
    }
    m_sliceEnd = instructions > std::numeric_limits<std::uint64_t>::max() - m_executed
            ? std::numeric_limits<std::uint64_t>::max()
            : m_executed + instructions;
    for (;;) {
        // The timer is read only at places the instruction count fixes (here, when a wait has
        // ended, and every kTimerCheckEvery instructions), so a run in virtual time is the same
        // however it is sliced.
        if (m_tickPending && (reg32(m_uc, UC_X86_REG_EFLAGS) & kInterruptsOn) != 0)
            deliverTick();
        if (m_end)
            return *m_end;
        if (m_executed >= m_sliceEnd)
            return {Stop::Reason::SliceDone, {}, 0, {}};

        m_request = Request::None;
        const Address start = where();
        const uc_err error = uc_emu_start(m_uc, linear(start.segment, start.offset), 0xFFFFFFFF, 0, 0);
        switch (m_request) {
        case Request::Slice:
            setReg(m_uc, UC_X86_REG_EIP, m_resumeIp);
            return {Stop::Reason::SliceDone, {}, 0, {}};
        case Request::Tick:
            setReg(m_uc, UC_X86_REG_EIP, m_resumeIp);
            continue;
        case Request::Wait:
            setReg(m_uc, UC_X86_REG_EIP, m_resumeIp);
            return {Stop::Reason::Waiting, *m_waitUntil, 0, {}};
        case Request::End:
            return *m_end;
        case Request::None:
            break;
        }
        return stoppedByItself(error);
    }
}

Stop Machine::Cpu::stoppedByItself(uc_err error)
{
    if (error != UC_ERR_OK) {
        fault(describe(error));
        return *m_end;
    }
    if (byteAt(m_last) != kHlt) {
        fault("the CPU stopped for no known reason at " + addressText(lastAt()));
        return *m_end;
    }
    // HLT waits for the next interrupt, and only the timer's can come.
    if ((reg32(m_uc, UC_X86_REG_EFLAGS) & kInterruptsOn) == 0) {
        fault("HLT with interrupts off at " + addressText(lastAt()));
        return *m_end;
    }
    setReg(m_uc, UC_X86_REG_EIP, static_cast<std::uint16_t>(offsetIn(m_last) + 1));
    const LocalMoment tick = nextTick(moment());
    m_waitUntil = tick - m_start;
    return {Stop::Reason::Waiting, *m_waitUntil, 0, {}};
}

void Machine::Cpu::codeHook(uc_engine *, std::uint64_t address, std::uint32_t, void *self)
{
    static_cast<Cpu *>(self)->onCode(static_cast<std::uint32_t>(address));
}

void Machine::Cpu::blockHook(uc_engine *, std::uint64_t address, std::uint32_t size, void *self)
{
    static_cast<Cpu *>(self)->onBlock(static_cast<std::uint32_t>(address), size);
}

void Machine::Cpu::interruptHook(uc_engine *, std::uint32_t number, void *self)
{
    static_cast<Cpu *>(self)->onInterrupt(number);
}

std::uint32_t Machine::Cpu::inHook(uc_engine *, std::uint32_t port, int size, void *self)
{
    return static_cast<Cpu *>(self)->onIn(static_cast<std::uint16_t>(port), size);
}

void Machine::Cpu::outHook(uc_engine *, std::uint32_t port, int size, std::uint32_t value, void *self)
{
    static_cast<Cpu *>(self)->onOut(static_cast<std::uint16_t>(port), size, value);
}

bool Machine::Cpu::badMemoryHook(uc_engine *, uc_mem_type, std::uint64_t address, int, std::int64_t,
                                 void *self)
{
    auto *cpu = static_cast<Cpu *>(self);
    cpu->fault("access beyond 1 MiB (linear " + hex(static_cast<unsigned>(address), 6) + ") at "
               + addressText(cpu->lastAt()));
    return false;
}

void Machine::Cpu::onCode(std::uint32_t address)
{
    // A stop asked for by another hook: not one more instruction.
    if (m_request != Request::None) {
        uc_emu_stop(m_uc);
        return;
    }
    if (m_executed >= m_sliceEnd) {
        stopWith(Request::Slice, offsetIn(address));
        return;
    }
    if (m_executed % kTimerCheckEvery == 0 && timerWantsIn()) {
        stopWith(Request::Tick, offsetIn(address));
        return;
    }
    ++m_executed;
    m_last = address;
}

void Machine::Cpu::onBlock(std::uint32_t address, std::uint32_t size)
{
    m_blockCs = reg16(m_uc, UC_X86_REG_CS);
    const std::uint32_t offset = address - (std::uint32_t{m_blockCs} << 4);
    if (offset + size > 0x1'0000)
        fault("IP runs past FFFFh at " + addressText({m_blockCs, static_cast<std::uint16_t>(offset)}));
}

std::uint32_t Machine::Cpu::onIn(std::uint16_t port, int size)
{
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i) {
        const auto at = static_cast<std::uint16_t>(port + i);
        const std::uint8_t byte = m_devices.ports.in(at);
        if (m_devices.trace)
            m_devices.trace->portIn(now(), lastAt(), at, byte);
        value |= std::uint32_t{byte} << (8 * i);
    }
    return value;
}

void Machine::Cpu::onOut(std::uint16_t port, int size, std::uint32_t value)
{
    for (int i = 0; i < size; ++i) {
        const auto at = static_cast<std::uint16_t>(port + i);
        const auto byte = static_cast<std::uint8_t>(value >> (8 * i));
        if (m_devices.trace)
            m_devices.trace->portOut(now(), lastAt(), at, byte);
        m_devices.ports.out(at, byte);
    }
}

void Machine::Cpu::onInterrupt(std::uint32_t number)
{
    const std::uint8_t opcode = byteAt(m_last);
    std::uint16_t length = 0;
    if (opcode == kInt && byteAt(m_last + 1) == number)
        length = 2;
    else if ((opcode == kInt3 && number == 3) || (opcode == kInto && number == 4)
             || (opcode == kInt1 && number == 1))
        length = 1;
    const auto vectorNumber = static_cast<std::uint8_t>(number);
    const std::uint16_t cs = reg16(m_uc, UC_X86_REG_CS);

    if (length == 0) {
        // A CPU exception. The single-step trap comes after its instruction, with EIP past it.
        if (number == 1) {
            if (!isDefault(1))
                enterHandler(1, cs, reg16(m_uc, UC_X86_REG_IP));
            return;
        }
        if (!isDefault(vectorNumber)) {
            enterHandler(vectorNumber, cs, offsetIn(m_last));
            return;
        }
        const auto known = std::find_if(std::begin(kExceptions), std::end(kExceptions),
                                        [&](const ExceptionName &e) { return e.number == number; });
        std::string name = known != std::end(kExceptions)
                ? std::string(known->name)
                : "CPU exception " + hex(number, 2) + "h";
        if (number == 6)
            name += " " + hex(byteAt(m_last), 2) + " " + hex(byteAt(m_last + 1), 2);
        fault(name + " at " + addressText(lastAt()));
        return;
    }

    const auto returnIp = static_cast<std::uint16_t>(offsetIn(m_last) + length);
    const std::uint32_t routine = linear(kBiosSegment, static_cast<std::uint16_t>(number * 4));
    m_inBiosRoutine = m_last == routine;
    if (m_devices.trace && !m_inBiosRoutine)
        m_devices.trace->interrupt(now(), lastAt(), vectorNumber, ax());
    if (!m_inBiosRoutine && !isDefault(vectorNumber)) {
        enterHandler(vectorNumber, cs, returnIp);
        return;
    }
    service(vectorNumber, returnIp);
}

Address Machine::Cpu::lastAt() const
{
    return {m_blockCs, offsetIn(m_last)};
}

void Machine::Cpu::stopWith(Request request, std::uint16_t resumeIp)
{
    m_request = request;
    m_resumeIp = resumeIp;
    uc_emu_stop(m_uc);
}

void Machine::Cpu::end(Stop stop)
{
    if (!m_end)
        m_end = std::move(stop);
    m_request = Request::End;
    uc_emu_stop(m_uc);
}

void Machine::Cpu::fault(const std::string &what)
{
    end({Stop::Reason::Fault, {}, 0, what});
}

std::string Machine::Cpu::describe(uc_err error) const
{
    const std::string at = " at " + addressText(lastAt());
    switch (error) {
    case UC_ERR_INSN_INVALID:
        return "invalid opcode " + hex(byteAt(m_last), 2) + " " + hex(byteAt(m_last + 1), 2) + at;
    case UC_ERR_READ_UNMAPPED:
    case UC_ERR_WRITE_UNMAPPED:
    case UC_ERR_FETCH_UNMAPPED:
        return "access beyond 1 MiB" + at;
    default:
        return std::string("the CPU stopped (") + uc_strerror(error) + ")" + at;
    }
}

void Machine::Cpu::putWord(std::uint32_t address, std::uint16_t value)
{
    if (address + 1 >= kMemorySize)
        return;
    m_memory[address] = lowByte(value);
    m_memory[address + 1] = highByte(value);
}

bool Machine::Cpu::push(std::uint16_t value)
{
    const auto sp = static_cast<std::uint16_t>(reg16(m_uc, UC_X86_REG_SP) - 2);
    const std::uint32_t at = linear(reg16(m_uc, UC_X86_REG_SS), sp);
    if (at + 1 >= kMemorySize) {
        fault("stack beyond 1 MiB (linear " + hex(at, 6) + ") at " + addressText(lastAt()));
        return false;
    }
    putWord(at, value);
    setReg(m_uc, UC_X86_REG_SP, sp);
    return true;
}

Address Machine::Cpu::vector(std::uint8_t number) const
{
    return {wordAt(number * 4U + 2), wordAt(number * 4U)};
}

bool Machine::Cpu::isDefault(std::uint8_t number) const
{
    return vector(number) == Address{kBiosSegment, static_cast<std::uint16_t>(number * 4)};
}

void Machine::Cpu::enterHandler(std::uint8_t number, std::uint16_t cs, std::uint16_t ip)
{
    const std::uint32_t flags = reg32(m_uc, UC_X86_REG_EFLAGS);
    if (!push(static_cast<std::uint16_t>(flags)) || !push(cs) || !push(ip))
        return;
    setReg(m_uc, UC_X86_REG_EFLAGS, flags & ~(kInterruptsOn | kTrap));
    const Address handler = vector(number);
    setReg(m_uc, UC_X86_REG_CS, handler.segment);
    setReg(m_uc, UC_X86_REG_EIP, handler.offset);
    m_blockCs = handler.segment;
}

bool Machine::Cpu::timerWantsIn()
{
    const LocalMoment at = moment();
    const std::uint64_t serial = tickSerial(at);
    if (serial != m_tickSerial) {
        m_tickSerial = serial;
        const std::uint32_t ticks = ticksSinceMidnight(at);
        putWord(kBiosTicks, static_cast<std::uint16_t>(ticks & 0xFFFF));
        putWord(kBiosTicks + 2, static_cast<std::uint16_t>(ticks >> 16));
        const auto day = std::chrono::floor<std::chrono::days>(at).time_since_epoch().count();
        if (day != m_day)
            m_memory[kBiosMidnight] = 1;
        m_day = day;
        // As the interrupt controller does, ticks missed while interrupts were off make one.
        m_tickPending = tickHandlerInstalled();
    }
    return m_tickPending && (reg32(m_uc, UC_X86_REG_EFLAGS) & kInterruptsOn) != 0;
}

// The timer's interrupt 08h, whose BIOS routine calls 1Ch: to the program's handler of either.
void Machine::Cpu::deliverTick()
{
    m_tickPending = false;
    const std::uint8_t number = isDefault(0x08) ? 0x1C : 0x08;
    const Address at = where();
    if (m_devices.trace)
        m_devices.trace->interrupt(now(), at, number, ax());
    enterHandler(number, at.segment, at.offset);
}

Machine::Machine(Devices devices, LocalMoment start)
    : m_cpu(std::make_unique<Cpu>(devices, start))
{
}

Machine::~Machine() = default;

LoadOutcome Machine::load(std::span<const std::uint8_t> file, std::string_view tail,
                          std::string_view name)
{
    return m_cpu->load(file, tail, name);
}

Stop Machine::run(std::uint64_t instructions)
{
    return m_cpu->run(instructions);
}

std::uint64_t Machine::instructions() const
{
    return m_cpu->executed();
}

Address Machine::where() const
{
    return m_cpu->where();
}

} // namespace bexen::machine
