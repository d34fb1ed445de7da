// SPDX-License-Identifier: MIT
#pragma once

#include "junction_facts.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace bexen::ports {

// The junction's facts (junction_facts.h) are this tool's vocabulary.
using namespace junction;

// "4 green"
std::string lightValueText(std::uint8_t value);
// "light 2 (port 161)"
std::string lightLabel(int light);
bool carWaiting(std::uint8_t sensors, int light);

// "00000101": bit 7 first, as an engineer writes a byte.
std::string sensorBits(std::uint8_t sensors);

// The line for one of kJunctionPorts: "sensors (port 150): 5 = 00000101, cars waiting at lights
// 1 and 3", or "light 1 (port 160): 4 green".
std::string describePort(std::int32_t port, const JunctionState &state);

// "2026-12-08 14:03:07.412" in the local time zone: the stamp of every watch line.
std::string formatTimestamp(std::chrono::system_clock::time_point when);

} // namespace bexen::ports
