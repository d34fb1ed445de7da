// SPDX-License-Identifier: MIT
#include "devices.h"

#include <algorithm>

namespace bexen::machine {

VirtualTime::VirtualTime(std::uint64_t instructionsPerSecond)
    : m_speed(std::max<std::uint64_t>(instructionsPerSecond, 1))
{
}

Micros VirtualTime::now(std::uint64_t instructions)
{
    constexpr std::uint64_t kMicrosPerSecond = 1'000'000;
    // Split so that the product cannot overflow, whatever the count.
    const std::uint64_t micros = instructions / m_speed * kMicrosPerSecond
            + instructions % m_speed * kMicrosPerSecond / m_speed;
    return Micros(static_cast<Micros::rep>(micros)) + m_waited;
}

void VirtualTime::skipTo(Micros time, std::uint64_t instructions)
{
    const Micros current = now(instructions);
    if (time > current)
        m_waited += time - current;
}

} // namespace bexen::machine
