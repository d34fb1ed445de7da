// SPDX-License-Identifier: MIT
#include "commands/recorder.h"

#include "commands/command_line.h"
#include "commands/context_ports.h"
#include "reports/output_file.h"
#include "shared/words.h"
#include "version.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace bexen::ports {

namespace {

class CsvSink final : public RecordSink {
public:
    explicit CsvSink(std::ostream &out)
        : m_out(out)
    {
    }

    void begin(const JunctionState &state, std::chrono::system_clock::time_point) override
    {
        m_out << kCsvHeader << '\n';
        for (std::int32_t port : kJunctionPorts)
            row(Clock::Duration{}, port, state.byteOf(port));
        m_sensors = state.sensors;
        m_out.flush();
    }

    void change(Clock::Duration at, std::int32_t port, std::uint8_t value) override
    {
        row(at, port, value);
        if (port == kSensorPort)
            m_sensors = value;
        m_out.flush();
    }

    // The sensors once more, as they still are: without this row a reader could not tell a
    // junction that stood still for the last minute from a recording that ended at its last change.
    void end(Clock::Duration at) override
    {
        row(at, kSensorPort, m_sensors);
        m_out.flush();
    }

private:
    void row(Clock::Duration at, std::int32_t port, std::uint8_t value)
    {
        m_out << formatSeconds(at) << ',' << port << ',' << static_cast<int>(value) << '\n';
    }

    std::ostream &m_out;
    std::uint8_t m_sensors = 0;
};

struct VcdSignal {
    std::int32_t port;
    std::string_view id;
    std::string_view name;
};

constexpr std::array<VcdSignal, 5> kVcdSignals{{
    {kSensorPort, "S", "sensors_port150"},
    {lightPort(1), "L1", "light1_port160"},
    {lightPort(2), "L2", "light2_port161"},
    {lightPort(3), "L3", "light3_port162"},
    {lightPort(4), "L4", "light4_port163"},
}};

// Value change dump, as waveform viewers read it: one 8-bit wire per port, times in milliseconds.
class VcdSink final : public RecordSink {
public:
    explicit VcdSink(std::ostream &out)
        : m_out(out)
    {
    }

    void begin(const JunctionState &state, std::chrono::system_clock::time_point wallStart) override
    {
        m_out << "$date\n\t" << formatTimestamp(wallStart) << "\n$end\n"
              << "$version\n\t" << kToolName << ' ' << kVersion << "\n$end\n"
              << "$comment\n\tjunction ports: 150 sensors (bit k-1 a car at light k),"
                 " 160 to 163 lights 1 to 4\n$end\n"
              << "$timescale 1 ms $end\n"
              << "$scope module junction $end\n";
        for (const VcdSignal &signal : kVcdSignals)
            m_out << "$var wire 8 " << signal.id << ' ' << signal.name << " [7:0] $end\n";
        m_out << "$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n";
        for (const VcdSignal &signal : kVcdSignals)
            value(signal, state.byteOf(signal.port));
        m_out << "$end\n";
        m_out.flush();
    }

    void change(Clock::Duration at, std::int32_t port, std::uint8_t byte) override
    {
        stamp(at);
        for (const VcdSignal &signal : kVcdSignals) {
            if (signal.port == port)
                value(signal, byte);
        }
        m_out.flush();
    }

    // A closing time stamp, so a viewer draws the last values up to the end of the recording.
    void end(Clock::Duration at) override
    {
        stamp(at);
        m_out.flush();
    }

private:
    void stamp(Clock::Duration at)
    {
        if (at.count() > m_lastStamp) {
            m_lastStamp = at.count();
            m_out << '#' << m_lastStamp << '\n';
        }
    }

    void value(const VcdSignal &signal, std::uint8_t byte)
    {
        m_out << 'b' << std::bitset<8>(byte) << ' ' << signal.id << '\n';
    }

    std::ostream &m_out;
    Clock::Duration::rep m_lastStamp = 0;
};

} // namespace

std::unique_ptr<RecordSink> makeRecordSink(RecordFormat format, std::ostream &out)
{
    if (format == RecordFormat::Vcd)
        return std::make_unique<VcdSink>(out);
    return std::make_unique<CsvSink>(out);
}

Clock::Duration recordJunction(JunctionPorts &ports, Clock &clock, RecordSink &sink,
                               const RecordOptions &options, const std::function<bool()> &stop)
{
    const Clock::TimePoint start = clock.now();
    std::optional<JunctionState> seen;
    const auto sample = [&] {
        const JunctionState now = ports.readState();
        if (!seen) {
            sink.begin(now, clock.wallNow());
        } else {
            for (std::int32_t port : kJunctionPorts) {
                if (now.byteOf(port) != seen->byteOf(port))
                    sink.change(clock.now() - start, port, now.byteOf(port));
            }
        }
        seen = now;
    };
    try {
        const Clock::Duration length = sampleEvery(clock, options.interval, options.duration, stop, sample);
        sink.end(length);
        return length;
    } catch (const PortFailure &) {
        if (seen)
            sink.end(clock.now() - start);
        throw;
    }
}

namespace {

struct RecordCommand {
    std::string target;
    RecordFormat format = RecordFormat::Csv;
    RecordOptions options;
};

int runRecord(Context &ctx, const RecordCommand &command)
{
    constexpr std::string_view name = "record";
    const std::string &target = command.target;

    const io::PortFileLocation portFile = ctx.portFile();
    if (portFile.error)
        return ctx.failAccess(*portFile.error);
    if (auto error = checkOutputPath({"FILE", target, "record", "the recording's file"},
                                     {{portFile.path, "the port file"}}))
        return ctx.failUsage(name, *error);

    std::ofstream out(target, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!out)
        return ctx.failAccess({target, std::strerror(errno)});

    ctx.err << "recording ports 150 and 160-163 of " << portFile.path << " into " << target
            << "; Ctrl-C ends the recording" << std::endl;
    ContextPorts ports(ctx, io::WhenMissing::ReadZero);
    const auto sink = makeRecordSink(command.format, out);
    int status = kExitOk;
    try {
        recordJunction(ports, ctx.clock, *sink, command.options, [&] { return ctx.stopping(); });
    } catch (const PortFailure &failure) {
        status = ctx.failAccess(failure.error());
        // Failing at the very first read leaves nothing worth keeping, not even a header.
        if (out.tellp() == std::streampos(0)) {
            out.close();
            std::error_code ec;
            std::filesystem::remove(target, ec);
            return status;
        }
    }
    out.close();
    if (!out)
        return ctx.failAccess({target, "could not be written completely"});
    return status;
}

} // namespace

void addRecordCommand(CommandLine &line)
{
    auto command = std::make_shared<RecordCommand>();
    CLI::App &record = line.addCommand(
            "record", "record every change of the sensors and lights into FILE, until Ctrl-C",
            [command](Context &ctx) { return runRecord(ctx, *command); });
    line.addChoice(record, "--format", command->format,
                   {{"csv", RecordFormat::Csv}, {"vcd", RecordFormat::Vcd}},
                   "csv (default: time_s,port,value rows, the state at 0 first) or vcd (for "
                   "waveform viewers such as GTKWave and PulseView)");
    line.addMilliseconds(record, "--interval", command->options.interval,
                         "poll every MS milliseconds (default, as the panel does)");
    line.addSeconds(record, "--duration", command->options.duration, "stop after S seconds");
    line.addPath(record, "FILE", command->target, "", "FILE must not be empty",
                 "missing FILE to record into");
}

} // namespace bexen::ports
