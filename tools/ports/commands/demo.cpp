// SPDX-License-Identifier: MIT
#include "commands/demo.h"

#include "commands/command_line.h"
#include "commands/context_ports.h"
#include "shared/words.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace bexen::ports {

namespace {

std::string roadTitle(Road road)
{
    const auto lights = lightsOf(road);
    return std::string(roadName(road)) + " road (lights "
            + joinedList({std::to_string(lights[0]), std::to_string(lights[1])}, "and") + ")";
}

std::string lightsWithCars(std::uint8_t sensors, Road road)
{
    std::vector<std::string> waiting;
    for (int light : lightsOf(road)) {
        if (carWaiting(sensors, light))
            waiting.push_back(std::to_string(light));
    }
    return joinedList(waiting, "and");
}

} // namespace

JunctionDemo::JunctionDemo(JunctionPorts &ports, Clock &clock, const DemoTimes &times,
                           std::function<bool()> stop, std::ostream &log)
    : m_ports(ports)
    , m_clock(clock)
    , m_times(times)
    , m_stop(std::move(stop))
    , m_log(log)
{
}

void JunctionDemo::run()
{
    takeOver();
    Road road = carWaitingOn(Road::NorthSouth) && !carWaitingOn(Road::EastWest) ? Road::NorthSouth
                                                                                : Road::EastWest;
    while (!m_stopping) {
        serve(road);
        if (m_stopping)
            break;
        hold(m_times.allRed, true);
        road = otherRoad(road);
    }
    note("all lights red; the demo ends");
}

// The lights may show anything when the demo starts: a left-over green, or bytes of another
// program. Each light reaches red only by steps a light may take: a green one through yellow,
// a red and yellow or unknown one by going dark first, so a watching checker sees a legal start.
void JunctionDemo::takeOver()
{
    note("taking over the junction: every light to red");
    bool yellowShown = false;
    bool darkShown = false;
    std::array<std::uint8_t, kLightCount> values{};
    for (int light = 1; light <= kLightCount; ++light) {
        std::uint8_t value = m_ports.readLight(light);
        if (value == kGreen) {
            value = kYellow;
            m_ports.writeLight(light, value);
        } else if (value != kYellow && value != kRed && value != kDark) {
            value = kDark;
            m_ports.writeLight(light, value);
            darkShown = true;
        }
        yellowShown = yellowShown || value == kYellow;
        values[static_cast<std::size_t>(light - 1)] = value;
    }
    if (yellowShown)
        hold(m_times.yellow, false);
    else if (darkShown)
        hold(kShortestShown, false);
    for (int light = 1; light <= kLightCount; ++light) {
        if (values[static_cast<std::size_t>(light - 1)] != kRed)
            m_ports.writeLight(light, kRed);
    }
    hold(m_times.allRed, true);
}

void JunctionDemo::serve(Road road)
{
    show(road, kRedYellow);
    // Drivers who saw red and yellow expect the green to follow, even when stopping.
    hold(m_times.redYellow, false);
    show(road, kGreen);

    Clock::Duration held{};
    const GreenEnd end = holdGreen(road, held);
    std::string why;
    switch (end) {
    case GreenEnd::CarAcross:
        why = "car waiting at light " + lightsWithCars(m_sensors, otherRoad(road)) + " after "
                + formatSeconds(held) + " s of green";
        break;
    case GreenEnd::Longest:
        why = "longest green, " + formatSeconds(held) + " s";
        break;
    case GreenEnd::Stopping:
        why = "stopping";
        break;
    }
    show(road, kYellow, why);
    hold(m_times.yellow, false);
    show(road, kRed);
}

JunctionDemo::GreenEnd JunctionDemo::holdGreen(Road road, Clock::Duration &held)
{
    const Clock::TimePoint start = m_clock.now();
    for (;;) {
        pollSensors();
        held = m_clock.now() - start;
        // Even a stopping green is shown for two polls, so the step from red and yellow to green
        // is not lost on a watcher.
        if (m_stopping && held >= kShortestShown)
            return GreenEnd::Stopping;
        if (!m_stopping && held >= m_times.minGreen && carWaitingOn(otherRoad(road)))
            return GreenEnd::CarAcross;
        if (!m_stopping && m_times.maxGreen && held >= *m_times.maxGreen)
            return GreenEnd::Longest;
        m_clock.sleepFor(m_times.poll);
    }
}

void JunctionDemo::show(Road road, std::uint8_t value, std::string_view why)
{
    for (int light : lightsOf(road))
        m_ports.writeLight(light, value);
    std::string text = roadTitle(road) + ": " + std::string(lightValueName(value));
    if (!why.empty())
        text += " (" + std::string(why) + ")";
    note(text);
}

void JunctionDemo::hold(Clock::Duration length, bool endWhenStopping)
{
    const Clock::TimePoint end = m_clock.now() + length;
    while (m_clock.now() < end) {
        if (endWhenStopping && m_stopping)
            return;
        m_clock.sleepFor(std::min(m_times.poll, end - m_clock.now()));
        pollSensors();
    }
}

void JunctionDemo::pollSensors()
{
    m_sensors = m_ports.readSensors();
    if (!m_stopping && m_stop && m_stop())
        m_stopping = true;
}

bool JunctionDemo::carWaitingOn(Road road) const
{
    const auto lights = lightsOf(road);
    return std::any_of(lights.begin(), lights.end(),
                       [&](int light) { return carWaiting(m_sensors, light); });
}

void JunctionDemo::note(std::string_view text)
{
    m_log << formatTimestamp(m_clock.wallNow()) << "  " << text << std::endl;
}

namespace {

struct DemoOptions {
    DemoTimes times;
    std::optional<Clock::Duration> duration;
};

int runDemo(Context &ctx, const DemoOptions &options)
{
    const io::PortFileLocation file = ctx.portFile();
    if (file.error)
        return ctx.failAccess(*file.error);
    ctx.out << "demo: playing the emulated program on " << file.path
            << "; Ctrl-C ends it with every light red" << std::endl;

    const Clock::TimePoint start = ctx.clock.now();
    const auto stop = [&] {
        return ctx.stopping() || (options.duration && ctx.clock.now() - start >= *options.duration);
    };
    ContextPorts ports(ctx, io::WhenMissing::Create);
    JunctionDemo demo(ports, ctx.clock, options.times, stop, ctx.out);
    demo.run();
    return kExitOk;
}

} // namespace

void addDemoCommand(CommandLine &line)
{
    auto options = std::make_shared<DemoOptions>();
    CLI::App &demo = line.addCommand(
            "demo", "play the emulated program: drive the lights from the sensors, until Ctrl-C",
            [options](Context &ctx) { return runDemo(ctx, *options); });

    struct Phase {
        const char *name;
        Clock::Duration DemoTimes::*time;
        const char *description;
    };
    const Phase phases[] = {
        {"--min-green", &DemoTimes::minGreen,
         "shortest green before a car across takes its turn (default)"},
        {"--yellow", &DemoTimes::yellow, "yellow after green (default)"},
        {"--red-yellow", &DemoTimes::redYellow, "red and yellow before green (default)"},
        {"--all-red", &DemoTimes::allRed, "every light red between the two roads' turns (default)"},
    };
    for (const Phase &phase : phases) {
        const std::string name = phase.name;
        CLI::Option *option = line.addSeconds(demo, name, options->times.*phase.time, phase.description);
        line.addValueCheck(*option, [name](const std::string &ms) -> std::optional<std::string> {
            // The value is whole milliseconds by now.
            if (std::stoll(ms) >= kShortestShown.count())
                return std::nullopt;
            return name + " must be at least " + formatShortSeconds(kShortestShown)
                    + " s, two polls of the panel";
        });
        if (phase.time == &DemoTimes::minGreen)
            line.addSeconds(demo, "--max-green", options->times.maxGreen,
                            "longest green even with no car across (default: none)");
    }
    line.addSeconds(demo, "--duration", options->duration, "stop after S seconds, as Ctrl-C does");
    line.addCheck(demo, [options]() -> std::optional<std::string> {
        const DemoTimes &times = options->times;
        if (times.maxGreen && *times.maxGreen < times.minGreen)
            return "--max-green must not be shorter than --min-green ("
                    + formatSeconds(times.minGreen) + " s)";
        return std::nullopt;
    });
    demo.footer("Ctrl-C ends the running phase safely and leaves every light red.");
}

} // namespace bexen::ports
