// SPDX-License-Identifier: MIT
#include "model/recorded_run.h"

#include <utility>

namespace bexen::ports {

RecordedRun replayRecording(const std::vector<PlayStep> &rows)
{
    RecordedRun run;
    JunctionState state;
    for (const PlayStep &row : rows) {
        const auto byte = static_cast<std::uint8_t>((state.byteOf(row.port) & ~row.mask) | (row.value & row.mask));
        setPortByte(state, row.port, byte);
        if (!run.states.empty() && run.states.back().from == row.at)
            run.states.back().state = state;
        else
            run.states.push_back({row.at, state});
    }
    return run;
}

std::vector<TimedViolation> checkRun(const RecordedRun &run, Clock::Duration maxWait)
{
    ConflictChecker checker(maxWait);
    std::vector<TimedViolation> found;
    const auto observe = [&](const JunctionState &state, Clock::Duration at) {
        for (Violation &v : checker.observe(state, Clock::TimePoint(at)))
            found.push_back({at, std::move(v)});
    };
    for (std::size_t i = 0; i < run.states.size(); ++i) {
        const RecordedState &recorded = run.states[i];
        observe(recorded.state, recorded.from);
        // Between two changes only a car's wait grows; the polls find when it has grown too long.
        const Clock::Duration until = i + 1 < run.states.size() ? run.states[i + 1].from : recorded.from;
        for (Clock::Duration poll = (recorded.from / kPanelPoll + 1) * kPanelPoll; poll < until;
             poll += kPanelPoll)
            observe(recorded.state, poll);
    }
    return found;
}

} // namespace bexen::ports
