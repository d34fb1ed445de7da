// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <functional>

namespace bexen::ports {

// Time as the port tool's loops see it. Watching, recording, checking and the demo all wait on it,
// so tests drive them with a ManualClock instead of the wall clock.
class Clock {
public:
    using Duration = std::chrono::milliseconds;
    using TimePoint = std::chrono::time_point<std::chrono::steady_clock, Duration>;

    virtual ~Clock() = default;
    // Monotonic time, for intervals and phase lengths.
    virtual TimePoint now() = 0;
    // Wall-clock time, for the timestamps a user reads.
    virtual std::chrono::system_clock::time_point wallNow() = 0;
    virtual void sleepFor(Duration d) = 0;
};

class SystemClock final : public Clock {
public:
    TimePoint now() override;
    std::chrono::system_clock::time_point wallNow() override;
    void sleepFor(Duration d) override;
};

// A clock that only moves when something sleeps on it. `onAdvance` runs after every step, so a
// test can change the port file at chosen moments of a run ("a car arrives at 12.5 s").
class ManualClock final : public Clock {
public:
    explicit ManualClock(std::chrono::system_clock::time_point wallStart = {});

    TimePoint now() override { return m_now; }
    std::chrono::system_clock::time_point wallNow() override;
    void sleepFor(Duration d) override;

    // Time elapsed since the clock was made.
    Duration elapsed() const { return m_now.time_since_epoch(); }

    std::function<void(ManualClock &)> onAdvance;

private:
    TimePoint m_now{};
    std::chrono::system_clock::time_point m_wallStart;
};

} // namespace bexen::ports
