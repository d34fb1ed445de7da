// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace bexen::ports {

// The emulated program reads the car sensors from port 150 and drives each light through its
// own port. Lights are numbered 1 to 4 as on the panel: 1 and 3 face each other on the east-west
// road, 2 and 4 on the north-south road. Light k is port 159 + k; a car waiting at light k sets
// bit k-1 of the sensor port.
inline constexpr std::int32_t kSensorPort = 150;
inline constexpr int kLightCount = 4;

constexpr std::int32_t lightPort(int light) { return 159 + light; }
constexpr std::uint8_t sensorMask(int light) { return static_cast<std::uint8_t>(1u << (light - 1)); }

// Sensor port first, then the lights in order: the order of a dump and of a watch's snapshot.
inline constexpr std::array<std::int32_t, 5> kJunctionPorts{150, 160, 161, 162, 163};

struct JunctionState {
    std::uint8_t sensors = 0;
    std::array<std::uint8_t, kLightCount> lights{}; // lights[k - 1] is light k

    // The byte of one of kJunctionPorts; 0 for any other port.
    std::uint8_t byteOf(std::int32_t port) const;
    bool operator==(const JunctionState &) const = default;
};

// "dark", "red", "red and yellow", "yellow", "green"; any other byte is what the panel shows
// for it: "out of range, shown dark".
std::string_view lightValueName(std::uint8_t value);
// "4 green"
std::string lightValueText(std::uint8_t value);
// "light 2 (port 161)"
std::string lightLabel(int light);
bool carWaiting(std::uint8_t sensors, int light);

// "00000101": bit 7 first, as an engineer writes a byte.
std::string sensorBits(std::uint8_t sensors);

// "sensors (port 150): 5 = 00000101, cars waiting at lights 1 and 3"
std::string describeSensors(std::uint8_t sensors);
// The line for one of kJunctionPorts: the sensors as above, or "light 1 (port 160): 4 green".
std::string describePort(std::int32_t port, const JunctionState &state);

// "2026-12-08 14:03:07.412" in the local time zone: the stamp of every watch line.
std::string formatTimestamp(std::chrono::system_clock::time_point when);

} // namespace bexen::ports
