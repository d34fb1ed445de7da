#pragma once

#include "port_channel.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bexen::ports {

struct Context;

// The emulated program reads the car sensors from port 150 (bit k-1: a car waits at light k) and
// drives each light through its own port.
inline constexpr std::int32_t kSensorPort = 150;

struct LightPort {
    int light; // 1 to 4, as painted on the junction
    std::int32_t port;
};

inline constexpr std::array<LightPort, 4> kLightPorts{{
    {1, 160},
    {2, 161},
    {3, 162},
    {4, 163},
}};

// Sensor port first, then the lights in order: the order of a dump and of a watch's snapshot.
inline constexpr std::array<std::int32_t, 5> kJunctionPorts{150, 160, 161, 162, 163};

struct JunctionState {
    std::uint8_t sensors = 0;
    std::array<std::uint8_t, 4> lights{}; // lights[k - 1] is light k

    // The byte of one of kJunctionPorts; 0 for any other port.
    std::uint8_t byteOf(std::int32_t port) const;
    bool operator==(const JunctionState &) const = default;
};

struct JunctionRead {
    JunctionState state;
    std::optional<io::AccessError> error; // set when any of the five reads failed
};

// Reads port 150, then 160 to 163, one access each as the panel does; a missing file reads all
// zeros and is not created.
JunctionRead readJunction(const Context &ctx);

// "dark", "red", "red and yellow", "yellow", "green"; any other byte is what the panel shows
// for it: "out of range, shown dark".
std::string_view lightValueName(std::uint8_t value);
bool carWaiting(std::uint8_t sensors, int light);

// "00000101": bit 7 first, as an engineer writes a byte.
std::string sensorBits(std::uint8_t sensors);

// "sensors (port 150): 5 = 00000101, cars waiting at lights 1 and 3"
std::string describeSensors(std::uint8_t sensors);
// "light 1 (port 160): 4 green"
std::string describeLight(int light, std::uint8_t value);
// The line for one of kJunctionPorts.
std::string describePort(std::int32_t port, const JunctionState &state);

// "2026-12-08 14:03:07.412" in the local time zone: the stamp of every watch line.
std::string formatTimestamp(std::chrono::system_clock::time_point when);

} // namespace bexen::ports
