// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bexen::junction {

// The emulated program reads the car sensors from port 150 and drives each light through its
// own port. Lights are numbered 1 to 4 as on the panel: 1 and 3 face each other on the east-west
// road, 2 and 4 on the north-south road. Light k is port 159 + k; a car waiting at light k sets
// bit k-1 of the sensor port.
inline constexpr std::int32_t kSensorPort = 150;
inline constexpr int kLightCount = 4;

constexpr std::int32_t lightPort(int light) { return 159 + light; }
constexpr std::uint8_t sensorMask(int light) { return static_cast<std::uint8_t>(1u << (light - 1)); }
constexpr bool isLightPort(std::int32_t port) { return port >= lightPort(1) && port <= lightPort(kLightCount); }

inline constexpr std::array<std::int32_t, kLightCount> kLightPorts{
    lightPort(1), lightPort(2), lightPort(3), lightPort(4)};
// Sensor port first, then the lights in order: the order of a dump and of a watch's snapshot.
inline constexpr std::array<std::int32_t, 5> kJunctionPorts{
    kSensorPort, kLightPorts[0], kLightPorts[1], kLightPorts[2], kLightPorts[3]};

enum class Road { EastWest, NorthSouth };

constexpr Road otherRoad(Road road) { return road == Road::EastWest ? Road::NorthSouth : Road::EastWest; }
constexpr std::array<int, 2> lightsOf(Road road)
{
    return road == Road::EastWest ? std::array<int, 2>{1, 3} : std::array<int, 2>{2, 4};
}
std::string_view roadName(Road road); // "east-west", "north-south"

// What a light's port holds: 0 dark, 1 red, 2 red and yellow, 3 yellow, 4 green.
inline constexpr std::uint8_t kDark = 0;
inline constexpr std::uint8_t kRed = 1;
inline constexpr std::uint8_t kRedYellow = 2;
inline constexpr std::uint8_t kYellow = 3;
inline constexpr std::uint8_t kGreen = 4;
inline constexpr int kLightValues = 5;

constexpr bool isLightValue(int value) { return value >= 0 && value < kLightValues; }
// A byte the emulated program never meant as a light is shown dark.
constexpr int shownLightValue(int value) { return isLightValue(value) ? value : kDark; }

// "dark", "red", "red and yellow", "yellow", "green"; any other byte: "out of range, shown dark".
std::string_view lightValueName(int value);

struct JunctionState {
    std::uint8_t sensors = 0;
    std::array<std::uint8_t, kLightCount> lights{}; // lights[k - 1] is light k

    // The byte of one of kJunctionPorts; 0 for any other port.
    std::uint8_t byteOf(std::int32_t port) const;
    bool operator==(const JunctionState &) const = default;
};

// Sets the byte of one of kJunctionPorts; any other port leaves the state as it is.
void setPortByte(JunctionState &state, std::int32_t port, std::uint8_t value);

// "1", "1 and 3", "csv, vcd or svg": a list as a sentence says it.
std::string joinedList(const std::vector<std::string> &items, std::string_view lastJoin);

} // namespace bexen::junction
