// SPDX-License-Identifier: MIT
#include "junction_facts.h"

namespace bexen::junction {

std::string_view roadName(Road road)
{
    return road == Road::EastWest ? "east-west" : "north-south";
}

std::string_view lightValueName(int value)
{
    static constexpr std::array<std::string_view, kLightValues> kNames{
        "dark", "red", "red and yellow", "yellow", "green",
    };
    if (isLightValue(value))
        return kNames[static_cast<std::size_t>(value)];
    return "out of range, shown dark";
}

std::uint8_t JunctionState::byteOf(std::int32_t port) const
{
    if (port == kSensorPort)
        return sensors;
    if (isLightPort(port))
        return lights[static_cast<std::size_t>(port - lightPort(1))];
    return 0;
}

void setPortByte(JunctionState &state, std::int32_t port, std::uint8_t value)
{
    if (port == kSensorPort)
        state.sensors = value;
    else if (isLightPort(port))
        state.lights[static_cast<std::size_t>(port - lightPort(1))] = value;
}

std::string joinedList(const std::vector<std::string> &items, std::string_view lastJoin)
{
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += i + 1 == items.size() ? " " + std::string(lastJoin) + " " : ", ";
        text += items[i];
    }
    return text;
}

} // namespace bexen::junction
