// SPDX-License-Identifier: MIT
#pragma once

#include "devices.h"

#include <chrono>
#include <cstdint>

namespace bexen::machine {

// A moment of the calendar the program lives in (its local time), to the microsecond.
using LocalMoment = std::chrono::local_time<Micros>;

// The PC's timer ticks when its 1 193 182 Hz clock has counted 65 536 times: 18.2 times a
// second. The BIOS counts the ticks since midnight, and starts again after 1800B0h of them.
inline constexpr std::uint64_t kTimerHz = 1'193'182;
inline constexpr std::uint64_t kTickDivisor = 65'536;
inline constexpr std::uint32_t kTicksPerDay = 0x1800B0;

// The ticks since midnight at `moment`, as INT 1Ah 00h and 0040:006Ch give them.
std::uint32_t ticksSinceMidnight(LocalMoment moment);
// A number that grows by one at every tick, across midnights too.
std::uint64_t tickSerial(LocalMoment moment);
// The first moment after `moment` at which tickSerial grows.
LocalMoment nextTick(LocalMoment moment);

// The clock as DOS reads it out (INT 21h 2Ah and 2Ch).
struct ClockReading {
    std::uint16_t year = 0;
    std::uint8_t month = 0; // 1 to 12
    std::uint8_t day = 0; // 1 to 31
    std::uint8_t weekday = 0; // 0 Sunday
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::uint8_t hundredths = 0;
};
ClockReading readClock(LocalMoment moment);

} // namespace bexen::machine
