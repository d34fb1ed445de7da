#pragma once

#include "cli.h"
#include "clock.h"
#include "port_channel.h"
#include "port_view.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace bexen::ports {

// Lights are numbered 1 to 4 as on the panel: 1 and 3 face each other on the east-west road,
// 2 and 4 on the north-south road. Light k is port 159 + k; a car waiting at light k sets bit k-1
// of the sensor port.
inline constexpr int kLightCount = 4;

inline constexpr std::uint8_t kDark = 0;
inline constexpr std::uint8_t kRed = 1;
inline constexpr std::uint8_t kRedYellow = 2;
inline constexpr std::uint8_t kYellow = 3;
inline constexpr std::uint8_t kGreen = 4;

constexpr std::int32_t lightPort(int light) { return 159 + light; }
constexpr std::uint8_t sensorMask(int light) { return static_cast<std::uint8_t>(1u << (light - 1)); }

enum class Road { EastWest, NorthSouth };

constexpr Road otherRoad(Road road) { return road == Road::EastWest ? Road::NorthSouth : Road::EastWest; }
constexpr std::array<int, 2> lightsOf(Road road)
{
    return road == Road::EastWest ? std::array<int, 2>{1, 3} : std::array<int, 2>{2, 4};
}
std::string_view roadName(Road road); // "east-west", "north-south"

// A light moves traffic (or is about to) in red and yellow, green and yellow.
constexpr bool isMoving(std::uint8_t value) { return value >= kRedYellow && value <= kGreen; }

inline std::uint8_t lightOf(const JunctionState &state, int light)
{
    return state.lights[static_cast<std::size_t>(light - 1)];
}
void setPortByte(JunctionState &state, std::int32_t port, std::uint8_t value);

// "light 2 (port 161)"
std::string lightLabel(int light);

// A failed access to the port file, carried out of the loops so that the command can report the
// path and the reason and end with status 1.
class PortFailure : public std::runtime_error {
public:
    explicit PortFailure(io::AccessError error);
    const io::AccessError &error() const { return m_error; }

private:
    io::AccessError m_error;
};

// The junction's ports as the emulated program and the tools see them, one byte per access.
// Implementations throw PortFailure when an access fails.
class JunctionPorts {
public:
    virtual ~JunctionPorts() = default;
    virtual std::uint8_t read(std::int32_t port) = 0;
    virtual void write(std::int32_t port, std::uint8_t value) = 0;

    std::uint8_t readSensors() { return read(kSensorPort); }
    std::uint8_t readLight(int light) { return read(lightPort(light)); }
    void writeLight(int light, std::uint8_t value) { write(lightPort(light), value); }
    // Five reads, in port order: 150, then 160 to 163.
    JunctionState readState();
};

// The port file through the command's context: the --file PATH the user named, or the file the
// temporary directory names at each access, as the panel finds it.
class ContextPorts final : public JunctionPorts {
public:
    ContextPorts(const Context &ctx, io::WhenMissing whenMissing);
    std::uint8_t read(std::int32_t port) override;
    void write(std::int32_t port, std::uint8_t value) override;

private:
    const Context &m_ctx;
    io::WhenMissing m_whenMissing;
};

// Seconds as the user writes them on the command line and in scripts: digits, optionally a point
// and more digits ("5", "0.25", "12.5"). No sign, exponent, blank, "nan" or "inf"; at most
// 1,000,000 s. The result is rounded to the millisecond; empty when the text is not such a number.
std::optional<Clock::Duration> parseSeconds(std::string_view text);
// "12.345"
std::string formatSeconds(Clock::Duration d);

enum class OptionMatch { Other, Taken, MissingValue };
// When args[i] is the option `name` ("--yellow 2" or "--yellow=2"), stores its value and leaves
// i on the last argument it used.
OptionMatch takeOption(const Args &args, std::size_t &i, std::string_view name, std::string &value);
bool looksLikeOptionArg(std::string_view arg);

// An option with a value at args[i]: `matched` when args[i] is that option; `error` says what is
// wrong with its value, else the target holds it.
struct ParsedOption {
    bool matched = false;
    std::optional<std::string> error;
};
// "--yellow 2": seconds as parseSeconds takes them.
ParsedOption takeSecondsOption(const Args &args, std::size_t &i, std::string_view name,
                               Clock::Duration &target);
// "--interval MS": whole milliseconds, as watch takes them.
ParsedOption takeIntervalOption(const Args &args, std::size_t &i, Clock::Duration &target);

// Calls `sample` at once and then every `interval`, until `stop` answers true or `length` has
// passed; the last sample falls at the end of `length`. Returns how long it ran.
Clock::Duration sampleEvery(Clock &clock, Clock::Duration interval,
                            std::optional<Clock::Duration> length, const std::function<bool()> &stop,
                            const std::function<void()> &sample);

} // namespace bexen::ports
