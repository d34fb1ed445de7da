#include "port_view.h"

#include "cli.h"

#include <cstdio>
#include <ctime>
#include <vector>

namespace bexen::ports {

namespace {

constexpr std::array<std::string_view, 5> kLightValueNames{
    "dark", "red", "red and yellow", "yellow", "green",
};

std::string listOfLights(const std::vector<int> &lights)
{
    std::string text;
    for (std::size_t i = 0; i < lights.size(); ++i) {
        if (i > 0)
            text += i + 1 == lights.size() ? " and " : ", ";
        text += std::to_string(lights[i]);
    }
    return text;
}

} // namespace

std::uint8_t JunctionState::byteOf(std::int32_t port) const
{
    if (port == kSensorPort)
        return sensors;
    for (const LightPort &lp : kLightPorts) {
        if (lp.port == port)
            return lights[static_cast<std::size_t>(lp.light - 1)];
    }
    return 0;
}

JunctionRead readJunction(const Context &ctx)
{
    JunctionRead result;
    io::ReadOutcome sensors = ctx.read(kSensorPort, io::WhenMissing::ReadZero);
    if (sensors.error) {
        result.error = std::move(sensors.error);
        return result;
    }
    result.state.sensors = sensors.value;
    for (const LightPort &lp : kLightPorts) {
        io::ReadOutcome light = ctx.read(lp.port, io::WhenMissing::ReadZero);
        if (light.error) {
            result.error = std::move(light.error);
            return result;
        }
        result.state.lights[static_cast<std::size_t>(lp.light - 1)] = light.value;
    }
    return result;
}

std::string_view lightValueName(std::uint8_t value)
{
    if (value < kLightValueNames.size())
        return kLightValueNames[value];
    return "out of range, shown dark";
}

bool carWaiting(std::uint8_t sensors, int light)
{
    return light >= 1 && light <= 4 && (sensors >> (light - 1) & 1u) != 0;
}

std::string sensorBits(std::uint8_t sensors)
{
    std::string bits(8, '0');
    for (int bit = 0; bit < 8; ++bit) {
        if (sensors >> bit & 1u)
            bits[static_cast<std::size_t>(7 - bit)] = '1';
    }
    return bits;
}

std::string describeSensors(std::uint8_t sensors)
{
    std::vector<int> waiting;
    for (const LightPort &lp : kLightPorts) {
        if (carWaiting(sensors, lp.light))
            waiting.push_back(lp.light);
    }
    std::string text = "sensors (port " + std::to_string(kSensorPort)
            + "): " + std::to_string(sensors) + " = " + sensorBits(sensors) + ", ";
    if (waiting.empty())
        text += "no car waiting";
    else if (waiting.size() == 1)
        text += "car waiting at light " + listOfLights(waiting);
    else
        text += "cars waiting at lights " + listOfLights(waiting);
    return text;
}

std::string describeLight(int light, std::uint8_t value)
{
    if (light < 1 || light > static_cast<int>(kLightPorts.size()))
        return "light " + std::to_string(light) + ": " + std::to_string(value);
    const LightPort &lp = kLightPorts[static_cast<std::size_t>(light - 1)];
    return "light " + std::to_string(light) + " (port " + std::to_string(lp.port)
            + "): " + std::to_string(value) + ' ' + std::string(lightValueName(value));
}

std::string describePort(std::int32_t port, const JunctionState &state)
{
    if (port == kSensorPort)
        return describeSensors(state.sensors);
    for (const LightPort &lp : kLightPorts) {
        if (lp.port == port)
            return describeLight(lp.light, state.byteOf(port));
    }
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
