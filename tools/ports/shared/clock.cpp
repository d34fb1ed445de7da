// SPDX-License-Identifier: MIT
#include "shared/clock.h"

#include <thread>

namespace bexen::ports {

Clock::TimePoint SystemClock::now()
{
    return std::chrono::time_point_cast<Duration>(std::chrono::steady_clock::now());
}

std::chrono::system_clock::time_point SystemClock::wallNow()
{
    return std::chrono::system_clock::now();
}

void SystemClock::sleepFor(Duration d)
{
    if (d > Duration::zero())
        std::this_thread::sleep_for(d);
}

ManualClock::ManualClock(std::chrono::system_clock::time_point wallStart)
    : m_wallStart(wallStart)
{
}

std::chrono::system_clock::time_point ManualClock::wallNow()
{
    return m_wallStart + m_now.time_since_epoch();
}

void ManualClock::sleepFor(Duration d)
{
    if (d > Duration::zero())
        m_now += d;
    if (onAdvance)
        onAdvance(*this);
}

} // namespace bexen::ports
