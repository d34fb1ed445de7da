// SPDX-License-Identifier: MIT
#include "cli.h"

#include "chart.h"
#include "commands_basic.h"
#include "demo.h"
#include "interrupt.h"
#include "junction_ports.h"
#include "recorder.h"
#include "script.h"
#include "version.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>

namespace bexen::ports {

namespace {

constexpr std::array kCommands{
    Command{"where", "", "print the path of the port file", "", runWhere},
    Command{"get", "PORT...", "print each port's byte in decimal, one per line", "", runGet},
    Command{"set", "PORT VALUE [PORT VALUE]...",
            "store each byte, creating the port file if it is missing", "", runSet},
    Command{"dump", "", "show the sensors (port 150) and the four lights (ports 160 to 163)",
            "", runDump},
    Command{"watch", "[--interval MS] [--check]",
            "print a timed line whenever the sensors or a light change, until Ctrl-C",
            "  --interval MS   poll every MS milliseconds (default 100, as the panel does)\n"
            "  --check         report only the junction's violations, as they happen: a light\n"
            "                  value outside 0..4, both roads moving, a light changing where\n"
            "                  its cycle does not go, a car left waiting; a summary at the end,\n"
            "                  exit status 3 when anything was violated\n"
            "  --max-wait S    with --check: the longest a car may wait for green (default 60)\n"
            "  --duration S    with --check: stop after S seconds\n",
            runWatch},
    Command{"demo", "[OPTIONS]",
            "play the emulated program: drive the lights from the sensors, until Ctrl-C",
            "  --min-green S   shortest green before a car across takes its turn (default 5)\n"
            "  --max-green S   longest green even with no car across (default: none)\n"
            "  --yellow S      yellow after green (default 2)\n"
            "  --red-yellow S  red and yellow before green (default 1)\n"
            "  --all-red S     every light red between the two roads' turns (default 1)\n"
            "  --duration S    stop after S seconds, as Ctrl-C does\n"
            "Ctrl-C ends the running phase safely and leaves every light red.\n",
            runDemo},
    Command{"record", "[OPTIONS] FILE",
            "record every change of the sensors and lights into FILE, until Ctrl-C",
            "  --format F      csv (default: time_s,port,value rows, the state at 0 first) or\n"
            "                  vcd (for waveform viewers such as GTKWave and PulseView)\n"
            "  --interval MS   poll every MS milliseconds (default 100, as the panel does)\n"
            "  --duration S    stop after S seconds\n",
            runRecord},
    Command{"play", "SCRIPT",
            "set sensors and lights on a timeline from SCRIPT, or replay a CSV recording",
            "  SCRIPT          one step a line, TIME in seconds from the start:\n"
            "                    TIME sensor LIGHT on|off  a car arrives at (leaves) light LIGHT\n"
            "                    TIME light LIGHT VALUE    light LIGHT (1 to 4) shows VALUE\n"
            "                  \"#\" starts a comment. Each change is held at least 0.2 s; a\n"
            "                  step that comes sooner waits. A CSV file made by record is\n"
            "                  replayed as it was recorded.\n",
            runPlay},
    Command{"chart", "[OPTIONS] RECORDING OUT",
            "draw a CSV recording as a timing chart in SVG, every violation marked",
            "  RECORDING       a CSV recording made by record\n"
            "  OUT             the SVG file to write: one lane per light and per sensor, and a\n"
            "                  mark at each violation watch --check would have reported\n"
            "  --max-wait S    the longest a car may wait for green, as for watch --check\n"
            "                  (default 60)\n"
            "  --from S        start the chart S seconds into the recording (default: its start)\n"
            "  --to S          end it S seconds into the recording (default: its end)\n",
            runChart},
};

constexpr std::string_view kGeneralOptions =
        "  --file PATH   use PATH as the port file instead of emu_port.dat in the temporary\n"
        "                directory (for an emulator whose temporary directory differs)\n"
        "  --help        show this help, or a command's help after its name\n"
        "  --version     show the version\n";

constexpr std::string_view kNotes =
        "A port is a whole number from 100 to 65535 (port p is byte p - 100 of the file);\n"
        "a value is a whole number from 0 to 255. Bit k-1 of port 150 is a car waiting at\n"
        "light k; lights 1 to 4 are ports 160 to 163 (0 dark, 1 red, 2 red and yellow,\n"
        "3 yellow, 4 green).\n"
        "\n"
        "Exit status: 0 done, 1 the port file could not be accessed, 2 bad arguments\n"
        "(nothing touched), 3 watch --check saw a violation.\n";

// "get PORT...": the command with its arguments, as help lists it.
std::string commandHead(const Command &command)
{
    std::string head(command.name);
    if (!command.arguments.empty())
        head += " " + std::string(command.arguments);
    return head;
}

void printHelp(std::ostream &out)
{
    out << "Usage: " << kToolName << " [--file PATH] COMMAND [ARGUMENTS]...\n"
        << "See and drive the junction's port file emu_port.dat without an emulator.\n\nCommands:\n";
    std::size_t width = 0;
    for (const Command &command : kCommands)
        width = std::max(width, commandHead(command).size());
    for (const Command &command : kCommands) {
        std::string head = commandHead(command);
        head.resize(width, ' ');
        out << "  " << head << "  " << command.summary << '\n';
    }
    out << "\nOptions:\n" << kGeneralOptions << '\n' << kNotes;
}

void printCommandHelp(std::ostream &out, const Command &command)
{
    std::string summary(command.summary);
    if (!summary.empty() && summary[0] >= 'a' && summary[0] <= 'z')
        summary[0] = static_cast<char>(summary[0] - 'a' + 'A');
    out << "Usage: " << kToolName << " [--file PATH] " << commandHead(command) << '\n' << summary
        << ".\n";
    if (!command.details.empty())
        out << "\nOptions:\n" << command.details;
    out << '\n' << kNotes;
}

const Command *findCommand(std::string_view name)
{
    const auto it = std::find_if(kCommands.begin(), kCommands.end(),
                                 [name](const Command &c) { return c.name == name; });
    return it == kCommands.end() ? nullptr : &*it;
}

} // namespace

std::span<const Command> commands()
{
    return kCommands;
}

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

int Context::failUsage(std::string_view command, std::string_view what) const
{
    err << kToolName << ": ";
    if (!command.empty())
        err << command << ": ";
    err << what << std::endl;
    return kExitBadArguments;
}

int runTool(const Args &args, std::ostream &out, std::ostream &err, Clock &clock,
            std::function<bool()> stopWhen)
{
    Context ctx{out, err, clock, {}, std::move(stopWhen)};
    constexpr std::string_view kFileEquals = "--file=";
    const std::string_view seeHelp = "; see bexen-ports --help";

    // --file, --help and --version may stand anywhere, so "bexen-ports get 160 --file x" works
    // as well as putting them first; the rest goes to the command in its order.
    Args rest;
    bool fileGiven = false;
    bool help = false;
    bool version = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        std::string file;
        if (arg == "--file") {
            if (i + 1 >= args.size())
                return ctx.failUsage({}, "--file needs a PATH");
            file = args[++i];
        } else if (arg.starts_with(kFileEquals)) {
            file = arg.substr(kFileEquals.size());
        } else if (arg == "--help" || arg == "-h") {
            help = true;
            continue;
        } else if (arg == "--version") {
            version = true;
            continue;
        } else {
            rest.push_back(arg);
            continue;
        }
        if (fileGiven)
            return ctx.failUsage({}, "--file given twice");
        if (file.empty())
            return ctx.failUsage({}, "--file needs a PATH, not an empty one");
        ctx.fileOverride = file;
        fileGiven = true;
    }

    if (version && !help) {
        out << kToolName << ' ' << kVersion << '\n';
        return kExitOk;
    }
    if (rest.empty()) {
        if (help) {
            printHelp(out);
            return kExitOk;
        }
        return ctx.failUsage({}, "missing COMMAND" + std::string(seeHelp));
    }
    const Command *command = findCommand(rest.front());
    if (command == nullptr) {
        if (help) {
            printHelp(out);
            return kExitOk;
        }
        return ctx.failUsage({}, "unknown command " + quoteArgument(rest.front())
                                     + std::string(seeHelp));
    }
    if (help) {
        printCommandHelp(out, *command);
        return kExitOk;
    }
    rest.erase(rest.begin());
    try {
        return command->run(ctx, rest);
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
