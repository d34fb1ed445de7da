// SPDX-License-Identifier: MIT
#pragma once

#include "commands/cli.h"
#include "model/junction_ports.h"
#include "model/script.h"
#include "shared/clock.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>

namespace bexen::ports {

class CommandLine;

// `bexen-ports record FILE`: every change of the sensors and the lights, with its time.
void addRecordCommand(CommandLine &line);

enum class RecordFormat { Csv, Vcd };

// Where a recording goes. Times are counted from the start of the recording.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    virtual void begin(const JunctionState &state, std::chrono::system_clock::time_point wallStart) = 0;
    virtual void change(Clock::Duration at, std::int32_t port, std::uint8_t value) = 0;
    virtual void end(Clock::Duration at) = 0;
};

// Each row is flushed as it is written, so a recording cut short is still whole up to its last
// change.
std::unique_ptr<RecordSink> makeRecordSink(RecordFormat format, std::ostream &out);

struct RecordOptions {
    Clock::Duration interval = kPanelPoll;
    std::optional<Clock::Duration> duration; // none: until stopped
};

// Samples the five ports every interval until `stop` answers true or the duration has passed,
// and hands the sink the start state and every change. A failed access throws PortFailure after
// the sink has been ended, so what was recorded stays readable. Returns the recording's length.
Clock::Duration recordJunction(JunctionPorts &ports, Clock &clock, RecordSink &sink,
                               const RecordOptions &options, const std::function<bool()> &stop);

} // namespace bexen::ports
