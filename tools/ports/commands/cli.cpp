// SPDX-License-Identifier: MIT
#include "commands/cli.h"

#include "commands/chart.h"
#include "commands/command_line.h"
#include "commands/commands_basic.h"
#include "commands/demo.h"
#include "commands/interrupt.h"
#include "commands/recorder.h"
#include "commands/run.h"
#include "commands/test_command.h"
#include "model/junction_ports.h"
#include "model/script.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>

namespace bexen::ports {

std::string quoteArgument(std::string_view arg)
{
    std::string text = "\"";
    for (char c : arg) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            text += escaped;
        } else {
            text += c;
        }
    }
    text += '"';
    return text;
}

io::PortFileLocation Context::portFile() const
{
    if (!fileOverride.empty())
        return {fileOverride, std::nullopt};
    return io::locatePortFile();
}

io::ReadOutcome Context::read(std::int32_t port, io::WhenMissing whenMissing) const
{
    const io::PortFileLocation location = portFile();
    if (location.error)
        return {0, location.error};
    io::ReadOutcome outcome = io::readPortByte(port, location.path, whenMissing);
    // A missing port file reads 0 because the emulator has not made it yet; a missing directory
    // means the user named the wrong place (a mistyped --file or TMPDIR), and all those zeros
    // would only hide that.
    if (whenMissing == io::WhenMissing::ReadZero && !outcome.error && outcome.value == 0) {
        const std::filesystem::path dir = std::filesystem::path(location.path).parent_path();
        std::error_code ec;
        if (!dir.empty()
            && std::filesystem::status(dir, ec).type() == std::filesystem::file_type::not_found)
            outcome.error = io::AccessError{location.path,
                                            "its directory " + dir.string() + " does not exist"};
    }
    return outcome;
}

std::optional<io::AccessError> Context::write(std::int32_t port, std::uint8_t value) const
{
    const io::PortFileLocation location = portFile();
    if (location.error)
        return location.error;
    return io::writePortByte(port, value, location.path);
}

bool Context::stopping() const
{
    return stopRequested() || (stopWhen && stopWhen());
}

int Context::failAccess(const io::AccessError &error) const
{
    err << kToolName << ": " << error.message() << std::endl;
    return kExitAccessFailed;
}

std::string usageLine(std::string_view command, std::string_view what)
{
    std::string line = std::string(kToolName) + ": ";
    if (!command.empty())
        line.append(command).append(": ");
    return line.append(what);
}

int Context::failUsage(std::string_view command, std::string_view what) const
{
    err << usageLine(command, what) << std::endl;
    return kExitBadArguments;
}

int runTool(const Args &args, std::ostream &out, std::ostream &err, Clock &clock,
            std::function<bool()> stopWhen)
{
    Context ctx{out, err, clock, {}, std::move(stopWhen), {}};
    Args words = args;
    ctx.controller = takeControllerCommand(words);
    // The commands in the order help lists them.
    CommandLine line;
    for (const auto add : {addWhereCommand, addGetCommand, addSetCommand, addDumpCommand,
                           addWatchCommand, addDemoCommand, addRecordCommand, addPlayCommand,
                           addChartCommand, addTestCommand, addRunCommand})
        add(line);
    try {
        return line.run(words, ctx);
    } catch (const PortFailure &failure) {
        // The port file failed in the middle of a command's work: the path and the reason.
        return ctx.failAccess(failure.error());
    }
}

int runMain(int argc, char **argv)
{
    installStopHandler();
    SystemClock clock;
    Args args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    try {
        return runTool(args, std::cout, std::cerr, clock);
    } catch (const std::exception &e) {
        std::cerr << kToolName << ": " << e.what() << std::endl;
        return kExitAccessFailed;
    }
}

} // namespace bexen::ports
