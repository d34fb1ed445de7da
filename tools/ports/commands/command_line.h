// SPDX-License-Identifier: MIT
#pragma once

#include "commands/cli.h"
#include "model/clock.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace bexen::ports {

// The tool's command line on CLI11: every command with its options and arguments, defined once
// for the parser, the error lines and the help. A command is added by a function of its own
// module (addWatchCommand, addDemoCommand, ...), which binds its options to storage its `run`
// shares, and runTool calls each of those functions in turn.
class CommandLine {
public:
    CommandLine();
    CommandLine(const CommandLine &) = delete;
    CommandLine &operator=(const CommandLine &) = delete;

    using Run = std::function<int(Context &)>;
    // What is wrong across a command's options ("--max-green" shorter than "--min-green"), or
    // nothing; asked after the whole command line has been read, before the command runs.
    using Check = std::function<std::optional<std::string>()>;

    // `summary` is help's line for the command, lower case and without a full stop.
    CLI::App &addCommand(const std::string &name, const std::string &summary, Run run);
    void addCheck(CLI::App &command, Check check);
    // The command as error lines name it, when an option changes what it does ("watch --check").
    void setLabel(CLI::App &command, std::function<std::string()> label);

    // The values a user gives, each refused with a line that quotes it. An option's `name` is
    // "--interval"; an argument's is its word in the usage line ("PORT", "FILE"). `missing` is
    // the error line for a required argument left out.
    // Seconds as "5", "0.25" or "12.5", rounded to the millisecond, at most 1000000.
    CLI::Option *addSeconds(CLI::App &command, const std::string &name, Clock::Duration &target,
                            const std::string &description);
    CLI::Option *addSeconds(CLI::App &command, const std::string &name,
                            std::optional<Clock::Duration> &target, const std::string &description);
    // Whole milliseconds from 1 to an hour, as the loops poll.
    CLI::Option *addMilliseconds(CLI::App &command, const std::string &name,
                                 Clock::Duration &target, const std::string &description);
    // One or more ports, 100 to 65535.
    CLI::Option *addPorts(CLI::App &command, const std::string &name,
                          std::vector<std::int32_t> &target, const std::string &description,
                          const std::string &missing);
    // One or more pairs of a port and a byte value (0 to 255), one after the other in `target`.
    CLI::Option *addPortValues(CLI::App &command, const std::string &name,
                               std::vector<std::int32_t> &target,
                               const std::string &description, const std::string &missing);
    // A path or file name; `empty` is the error line for "".
    CLI::Option *addPath(CLI::App &command, const std::string &name, std::string &target,
                         const std::string &description, const std::string &empty,
                         const std::string &missing = {});
    // One word of `choices`, as the user writes it.
    CLI::Option *addChoice(CLI::App &command, const std::string &name, std::string &target,
                           const std::vector<std::string> &choices, const std::string &description);
    CLI::Option *addFlag(CLI::App &command, const std::string &name, bool &target,
                         const std::string &description);

    // Reads the arguments after the program name and runs the command they name. A bad command
    // line gets one line on `ctx.err` and kExitBadArguments before any command has run.
    int run(const Args &args, Context &ctx);

    // The help of the whole tool (every command with its options), or of one command.
    void printHelp(std::ostream &out, const CLI::App *command = nullptr) const;

private:
    struct Command {
        CLI::App *app;
        Run run;
        std::vector<Check> checks;
        std::function<std::string()> label;
    };

    void addValueOption(CLI::Option *option, const std::string &needs, const std::string &missing);
    Command *parsedCommand();
    std::string labelOf(const Command *command) const;
    int refuse(Context &ctx, const CLI::ParseError &error);
    const CLI::Option *findOption(const std::string &name, const Command *command) const;
    std::optional<std::string> strayWord(const Command *command) const;

    CLI::App m_app;
    std::string m_file;
    std::vector<Command> m_commands;
    std::map<const CLI::Option *, std::string> m_needs; // "--interval needs a number of milliseconds"
    std::map<const CLI::Option *, std::string> m_missing; // "missing FILE to record into"
};

} // namespace bexen::ports
