// SPDX-License-Identifier: MIT
#include "bios_time.h"

#include <algorithm>

namespace bexen::machine {

namespace {

using std::chrono::days;
using std::chrono::floor;

constexpr std::uint64_t kMicrosPerSecond = 1'000'000;

// Microseconds past midnight (never negative: floor rounds towards the past).
std::uint64_t microsOfDay(LocalMoment moment)
{
    return static_cast<std::uint64_t>((moment - floor<days>(moment)).count());
}

std::uint32_t ticksOf(std::uint64_t micros)
{
    // At most 86 400 000 000 µs times 1 193 182: far inside 64 bits. The last tick or two of a day
    // by this count are the next day's first: the BIOS's count starts again at 1800B0h.
    const std::uint64_t ticks = micros * kTimerHz / (kTickDivisor * kMicrosPerSecond);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(ticks, kTicksPerDay - 1));
}

} // namespace

std::uint32_t ticksSinceMidnight(LocalMoment moment)
{
    return ticksOf(microsOfDay(moment));
}

std::uint64_t tickSerial(LocalMoment moment)
{
    const auto day = floor<days>(moment).time_since_epoch().count();
    return static_cast<std::uint64_t>(day) * kTicksPerDay + ticksSinceMidnight(moment);
}

LocalMoment nextTick(LocalMoment moment)
{
    const auto midnight = floor<days>(moment);
    const std::uint64_t next = ticksSinceMidnight(moment) + 1;
    if (next >= kTicksPerDay)
        return midnight + days(1);
    // The first microsecond at which ticksOf reaches `next`.
    const std::uint64_t unit = kTickDivisor * kMicrosPerSecond;
    const std::uint64_t micros = (next * unit + kTimerHz - 1) / kTimerHz;
    return midnight + Micros(static_cast<Micros::rep>(micros));
}

ClockReading readClock(LocalMoment moment)
{
    const auto midnight = floor<days>(moment);
    const std::chrono::year_month_day date{midnight};
    const std::chrono::weekday weekday{midnight};
    const std::chrono::hh_mm_ss<Micros> time{moment - midnight};
    ClockReading reading;
    reading.year = static_cast<std::uint16_t>(static_cast<int>(date.year()));
    reading.month = static_cast<std::uint8_t>(static_cast<unsigned>(date.month()));
    reading.day = static_cast<std::uint8_t>(static_cast<unsigned>(date.day()));
    reading.weekday = static_cast<std::uint8_t>(weekday.c_encoding());
    reading.hour = static_cast<std::uint8_t>(time.hours().count());
    reading.minute = static_cast<std::uint8_t>(time.minutes().count());
    reading.second = static_cast<std::uint8_t>(time.seconds().count());
    reading.hundredths = static_cast<std::uint8_t>(time.subseconds().count() / 10'000);
    return reading;
}

} // namespace bexen::machine
