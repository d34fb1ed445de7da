// SPDX-License-Identifier: MIT
#include "model/port_view.h"

#include <bitset>
#include <cstdio>
#include <ctime>
#include <vector>

namespace bexen::ports {

std::string lightValueText(std::uint8_t value)
{
    return std::to_string(value) + " " + std::string(lightValueName(value));
}

std::string lightLabel(int light)
{
    return "light " + std::to_string(light) + " (port " + std::to_string(lightPort(light)) + ")";
}

bool carWaiting(std::uint8_t sensors, int light)
{
    return light >= 1 && light <= kLightCount && (sensors & sensorMask(light)) != 0;
}

std::string sensorBits(std::uint8_t sensors)
{
    return std::bitset<8>(sensors).to_string();
}

namespace {

std::string describeSensors(std::uint8_t sensors)
{
    std::vector<std::string> waiting;
    for (int light = 1; light <= kLightCount; ++light) {
        if (carWaiting(sensors, light))
            waiting.push_back(std::to_string(light));
    }
    std::string text = "sensors (port " + std::to_string(kSensorPort)
            + "): " + std::to_string(sensors) + " = " + sensorBits(sensors) + ", ";
    if (waiting.empty())
        text += "no car waiting";
    else if (waiting.size() == 1)
        text += "car waiting at light " + waiting.front();
    else
        text += "cars waiting at lights " + joinedList(waiting, "and");
    return text;
}

} // namespace

std::string describePort(std::int32_t port, const JunctionState &state)
{
    if (port == kSensorPort)
        return describeSensors(state.sensors);
    if (junction::isLightPort(port))
        return lightLabel(port - lightPort(1) + 1) + ": " + lightValueText(state.byteOf(port));
    return "port " + std::to_string(port) + ": " + std::to_string(state.byteOf(port));
}

std::string formatTimestamp(std::chrono::system_clock::time_point when)
{
    using namespace std::chrono;
    const auto sinceEpoch = when.time_since_epoch();
    // floor, not truncation: before 1970 the fraction must still count forwards.
    const auto secs = floor<seconds>(sinceEpoch);
    const auto millis = duration_cast<milliseconds>(sinceEpoch - secs).count();
    const auto t = static_cast<std::time_t>(secs.count());
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(millis));
    return std::string(text, n) + fraction;
}

} // namespace bexen::ports
