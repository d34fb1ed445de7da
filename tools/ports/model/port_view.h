// SPDX-License-Identifier: MIT
#pragma once

#include "junction_facts.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace bexen::ports {

// The junction's facts (junction_facts.h) are this tool's vocabulary, each named here.
using junction::kSensorPort;
using junction::kLightCount;
using junction::lightPort;
using junction::sensorMask;
using junction::isLightPort;
using junction::kLightPorts;
using junction::kJunctionPorts;
using junction::Road;
using junction::otherRoad;
using junction::lightsOf;
using junction::roadName;
using junction::kDark;
using junction::kRed;
using junction::kRedYellow;
using junction::kYellow;
using junction::kGreen;
using junction::kLightValues;
using junction::isLightValue;
using junction::shownLightValue;
using junction::lightValueName;
using junction::JunctionState;
using junction::setPortByte;
using junction::joinedList;

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
