// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

namespace bexen::machine {

// The machine's time: since the program started, in microseconds.
using Micros = std::chrono::microseconds;

// Where an instruction lies, as a DOS debugger shows it: "1000:0123".
struct Address {
    std::uint16_t segment = 0;
    std::uint16_t offset = 0;

    friend bool operator==(const Address &, const Address &) = default;
};

// The I/O ports the program reaches with IN and OUT, one byte at a time: a word is two ports,
// the low byte at `port`, the high one at `port + 1`.
class PortBus {
public:
    virtual ~PortBus() = default;
    virtual std::uint8_t in(std::uint16_t port) = 0;
    virtual void out(std::uint16_t port, std::uint8_t value) = 0;
};

// What time it is for the program. The machine passes the number of instructions it has run, so
// a virtual clock is a function of that count and of the waits (see VirtualTime); a real-time
// caller reads its own clock and ignores it.
class TimeSource {
public:
    virtual ~TimeSource() = default;
    virtual Micros now(std::uint64_t instructions) = 0;
};

// The keyboard as the program sees it: the caller's stdin, a key a byte.
struct KeyPoll {
    enum class State {
        Ready, // `key` is the next one
        NotYet, // none now, more may come (a terminal)
        Ended, // none will ever come
    };
    State state = State::Ended;
    std::uint8_t key = 0;
};

// The program's text and keys, and the machine's warnings, through the caller.
class Console {
public:
    virtual ~Console() = default;
    // Text the program prints, as it prints it (DOS's CR LF included).
    virtual void write(std::string_view text) = 0;
    // Looks at the next key without taking it; takeKey() takes it.
    virtual KeyPoll peekKey() = 0;
    virtual void takeKey() = 0;
    // One line, without its line end: a service the machine does not provide, said once.
    virtual void warn(std::string_view line) = 0;
};

// What `--trace` shows; every call comes with the program's time and the instruction's place.
class Trace {
public:
    virtual ~Trace() = default;
    virtual void portIn(Micros time, Address at, std::uint16_t port, std::uint8_t value) = 0;
    virtual void portOut(Micros time, Address at, std::uint16_t port, std::uint8_t value) = 0;
    // INT n, with AX as the program set it (most services are chosen by AH).
    virtual void interrupt(Micros time, Address at, std::uint8_t number, std::uint16_t ax) = 0;
};

// Time as instructions run at `speed` a second plus the waits the program asked for: the same
// program gives the same times on every run and every host.
class VirtualTime final : public TimeSource {
public:
    explicit VirtualTime(std::uint64_t instructionsPerSecond);

    Micros now(std::uint64_t instructions) override;
    // Moves the clock on to `time` (a wait the machine asked for ends); never backwards.
    void skipTo(Micros time, std::uint64_t instructions);
    Micros waited() const { return m_waited; }

private:
    std::uint64_t m_speed;
    Micros m_waited{0};
};

} // namespace bexen::machine
