// SPDX-License-Identifier: MIT
#include "model/grading.h"

#include "model/port_view.h"
#include "model/step_timeline.h"
#include "shared/words.h"

#include <algorithm>
#include <array>

namespace bexen::ports {

namespace {

// A car drives off once its light has been green this long.
constexpr Clock::Duration kDriveOff{1'000};

std::string expected(const Expectation &e)
{
    std::string text = "expected " + lightLabel(e.light) + " at " + lightValueText(e.value);
    if (e.within)
        text += " within " + tenths(*e.within) + " s of " + tenths(e.at) + " s";
    return text;
}

// One scenario's run, poll by poll.
class Grader {
public:
    Grader(JunctionPorts &ports, const Scenario &scenario, Clock::Duration maxWait,
           std::uint32_t seed, const GradeHooks &hooks)
        : m_ports(ports)
        , m_scenario(scenario)
        , m_hooks(hooks)
        , m_checker(maxWait)
        , m_timeline(stepsOfRun(scenario, seed))
        , m_pending(scenario.expectations)
    {
        m_result.name = scenario.name;
        m_result.title = scenario.title;
        m_result.points = scenario.points;
        m_result.visibility = scenario.visibility;
        m_result.suite = scenario.suite;
        m_result.planned = scenario.duration;
        m_result.maxWait = maxWait;
    }

    // Every sensor clear, as each scenario starts.
    void begin() { m_ports.write(kSensorPort, 0); }

    void poll(Clock::Duration t, Clock::TimePoint now)
    {
        JunctionState state = m_ports.readState();
        if (state.sensors != m_written && !sensorsOverwritten(t, state))
            return;
        record(t, state);
        for (Violation &v : m_checker.observe(state, now)) {
            judgeViolation(t, v, state);
            m_result.violations.push_back({t, std::move(v)});
        }
        judgeExpectations(t, state);
        if (m_hooks.controllerEnded) {
            if (auto ended = m_hooks.controllerEnded()) {
                fail(t, *ended);
                m_ended = true;
                return;
            }
        }
        driveOff(t, state);
        while (!m_timeline.done() && m_timeline.nextDue() <= t)
            carryOut(t);
        if (m_hooks.progress) {
            JunctionState shown = state;
            shown.sensors = m_written;
            m_hooks.progress(t, shown);
        }
    }

    bool ended() const { return m_ended; }

    ScenarioResult finish(Clock::Duration t, bool interrupted)
    {
        if (interrupted && !m_ended)
            fail(t, "interrupted before the scenario's end at " + tenths(m_scenario.duration) + " s");
        // Expectations whose moment the run did not reach stay unjudged: the run's end is its
        // verdict, and a scenario ends at its duration, which no statement goes past.
        m_result.elapsed = t;
        // The last row says how long the run went, as record's CSV does.
        m_result.run.states.push_back({t, m_result.run.states.empty() ? JunctionState{}
                                                                       : m_result.run.states.back().state});
        std::stable_sort(m_result.failures.begin(), m_result.failures.end(),
                         [](const GradeFailure &a, const GradeFailure &b) { return a.at < b.at; });
        if (!m_result.foreignWriter)
            m_ports.write(kSensorPort, 0);
        return std::move(m_result);
    }

private:
    void fail(Clock::Duration t, std::string what) { m_result.failures.push_back({t, std::move(what)}); }

    // Someone else wrote port 150. On the run's own file that can only be the controller: its
    // scenario fails, and the grader's byte goes back so the cars stay the scenario's. Answers
    // whether the run goes on.
    bool sensorsOverwritten(Clock::Duration t, JunctionState &state)
    {
        if (m_hooks.privateFile) {
            fail(t, "the controller wrote " + std::to_string(state.sensors)
                            + " to port 150, the sensors' port");
            m_ports.write(kSensorPort, m_written);
            state.sensors = m_written;
            return true;
        }
        m_result.foreignWriter = "port 150 holds " + std::to_string(state.sensors) + " = "
                + sensorBits(state.sensors) + ", but the test wrote " + std::to_string(m_written)
                + " = " + sensorBits(m_written);
        fail(t, m_hooks.controllerEnded
                        ? "the controller or another program (such as an open panel) writes port 150"
                        : "another program writes port 150 (such as an open panel)");
        m_ended = true;
        return false;
    }

    void record(Clock::Duration t, const JunctionState &state)
    {
        auto &states = m_result.run.states;
        if (states.empty() || states.back().state != state)
            states.push_back({t, state});
    }

    void judgeViolation(Clock::Duration t, const Violation &v, const JunctionState &state)
    {
        const auto i = static_cast<std::size_t>(v.light - 1);
        if (v.rule == Rule::CarLeftWaiting && m_cars[i] > 0) {
            fail(t, "the car at light " + std::to_string(v.light) + " waited "
                            + tenths(t - m_arrived[i]) + " s and its light never turned green (it showed "
                            + lightValueText(lightOf(state, v.light)) + ")");
            return;
        }
        fail(t, std::string(ruleName(v.rule)) + ": " + v.detail);
    }

    void judgeExpectations(Clock::Duration t, const JunctionState &state)
    {
        std::erase_if(m_pending, [&](const Expectation &e) {
            if (t < e.at)
                return false;
            const std::uint8_t shown = lightOf(state, e.light);
            if (shown == e.value)
                return true;
            if (e.within && t < e.at + *e.within)
                return false;
            const std::string what = expected(e) + "; it showed " + lightValueText(shown);
            fail(t, what);
            m_result.failedExpectations.push_back({t, what});
            return true;
        });
    }

    // A waiting car drives off once its light has been green long enough; until then it waits.
    void driveOff(Clock::Duration t, const JunctionState &state)
    {
        for (int light = 1; light <= kLightCount; ++light) {
            const auto i = static_cast<std::size_t>(light - 1);
            if (m_cars[i] == 0 || m_leaving[i])
                continue;
            if (lightOf(state, light) != kGreen) {
                m_greenSince[i].reset();
                continue;
            }
            if (!m_greenSince[i])
                m_greenSince[i] = t;
            if (t - *m_greenSince[i] >= kDriveOff) {
                m_leaving[i] = true;
                m_timeline.insert({t, 0, kSensorPort, sensorMask(light), 0,
                                   "the car at light " + std::to_string(light) + " drives off"});
            }
        }
    }

    void carryOut(Clock::Duration t)
    {
        const PlayStep step = m_timeline.next();
        m_written = m_timeline.carryOut(m_ports, t);
        for (int light = 1; light <= kLightCount; ++light) {
            if ((step.mask & sensorMask(light)) == 0)
                continue;
            const auto i = static_cast<std::size_t>(light - 1);
            if (step.carArrives) {
                if (m_cars[i]++ == 0)
                    m_arrived[i] = t;
            } else if ((step.value & sensorMask(light)) == 0) {
                // The sensor went off: whoever waited there has gone.
                m_cars[i] = 0;
                m_leaving[i] = false;
                m_greenSince[i].reset();
            }
        }
    }

    JunctionPorts &m_ports;
    const Scenario &m_scenario;
    const GradeHooks &m_hooks;
    ConflictChecker m_checker;
    StepTimeline m_timeline;
    std::vector<Expectation> m_pending;
    ScenarioResult m_result;
    std::uint8_t m_written = 0;
    bool m_ended = false;
    std::array<int, kLightCount> m_cars{};
    std::array<Clock::Duration, kLightCount> m_arrived{};
    std::array<bool, kLightCount> m_leaving{};
    std::array<std::optional<Clock::Duration>, kLightCount> m_greenSince{};
};

} // namespace

std::string tenths(Clock::Duration d)
{
    const long long t = (d.count() + 50) / 100;
    return std::to_string(t / 10) + "." + std::to_string(t % 10);
}

std::string ScenarioResult::reason() const
{
    if (failures.empty())
        return {};
    const GradeFailure &first = failures.front();
    std::string text = ran ? "at " + tenths(first.at) + " s: " + first.what : first.what;
    if (failures.size() > 1)
        text += " (and " + std::to_string(failures.size() - 1) + " more)";
    return text;
}

std::string ScenarioResult::verdict() const
{
    return passed() ? "PASS " + name + " (" + tenths(elapsed) + " s)" : "FAIL " + name + ": " + reason();
}

Tally tally(const std::vector<ScenarioResult> &results)
{
    Tally t;
    for (const ScenarioResult &r : results) {
        t.passed += r.passed() ? 1 : 0;
        t.score += r.passed() ? r.points : 0;
        t.points += r.points;
    }
    return t;
}

std::string summaryLine(const std::vector<ScenarioResult> &results)
{
    const Tally t = tally(results);
    return std::to_string(t.passed) + " of " + std::to_string(results.size())
            + " scenarios passed; score " + std::to_string(t.score) + " of " + std::to_string(t.points);
}

ScenarioResult notRun(const Scenario &scenario, std::string why)
{
    ScenarioResult result;
    result.name = scenario.name;
    result.title = scenario.title;
    result.points = scenario.points;
    result.visibility = scenario.visibility;
    result.suite = scenario.suite;
    result.planned = scenario.duration;
    result.ran = false;
    result.failures.push_back({Clock::Duration::zero(), std::move(why)});
    return result;
}

ScenarioResult gradeScenario(JunctionPorts &ports, Clock &clock, const Scenario &scenario,
                             Clock::Duration defaultMaxWait, std::uint32_t seed,
                             const GradeHooks &hooks)
{
    Grader grader(ports, scenario, scenario.maxWait.value_or(defaultMaxWait), seed, hooks);
    grader.begin();
    const Clock::TimePoint start = clock.now();
    const auto stopped = [&] { return hooks.stop && hooks.stop(); };
    try {
        sampleEvery(clock, kPanelPoll, scenario.duration, [&] { return grader.ended() || stopped(); },
                    [&] { grader.poll(clock.now() - start, clock.now()); });
    } catch (const PortFailure &) {
        // The sensors set so far are not left behind if the file still takes a write.
        try {
            ports.write(kSensorPort, 0);
        } catch (const PortFailure &) {
        }
        throw;
    }
    const Clock::Duration ran = clock.now() - start;
    return grader.finish(ran, stopped() && ran < scenario.duration);
}

} // namespace bexen::ports
