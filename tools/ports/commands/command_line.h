// SPDX-License-Identifier: MIT
#pragma once

#include "commands/cli.h"
#include "shared/clock.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
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
    // the error line for a required argument left out. An option's default is the value its
    // target holds now: help shows it where the description says "(default)" or "(default, ".
    // Seconds as "5", "0.25" or "12.5", rounded to the millisecond, at most 1000000; the target
    // is a Clock::Duration, or a std::optional of one where "not given" means something.
    template<typename Target>
    CLI::Option *addSeconds(CLI::App &command, const std::string &name, Target &target,
                            const std::string &description)
    {
        return asSeconds(command.add_option(name, target, description), target);
    }
    // Whole milliseconds from 1 to an hour, as the loops poll.
    CLI::Option *addMilliseconds(CLI::App &command, const std::string &name,
                                 Clock::Duration &target, const std::string &description);
    // A whole number from 0 to `highest`.
    CLI::Option *addWholeNumber(CLI::App &command, const std::string &name, std::uint32_t &target,
                                std::uint32_t highest, const std::string &description);
    // One or more ports, 100 to 65535.
    CLI::Option *addPorts(CLI::App &command, const std::string &name,
                          std::vector<std::int32_t> &target, const std::string &description,
                          const std::string &missing);
    // One or more pairs of a port and a byte value (0 to 255), one after the other in `target`.
    CLI::Option *addPortValues(CLI::App &command, const std::string &name,
                               std::vector<std::int32_t> &target,
                               const std::string &description, const std::string &missing);
    // A path or file name; `empty` is the error line for "", by default "--junit needs a PATH,
    // not an empty one".
    CLI::Option *addPath(CLI::App &command, const std::string &name, std::string &target,
                         const std::string &description, const std::string &empty = {},
                         const std::string &missing = {});
    // One word of `choices`, as the user writes it, stored as the value it stands for.
    template<typename Value>
    CLI::Option *addChoice(CLI::App &command, const std::string &name, Value &target,
                           const std::vector<std::pair<std::string, Value>> &choices,
                           const std::string &description)
    {
        std::vector<std::string> words;
        words.reserve(choices.size());
        for (const auto &choice : choices)
            words.push_back(choice.first);
        CLI::Option *option = command.add_option(name, target, description);
        // Described by nothing: the words are in the description, and help shows no more.
        option->transform(CLI::CheckedTransformer(choices).description(""));
        // CLI11 runs a transform before those given earlier: the word is refused before
        // CheckedTransformer could take a value's own number ("0") for a word.
        return asChoice(option, words);
    }
    // A further rule for an option's value, after the adder's own: the error line's words when
    // the value breaks it. The value is as the adder left it (seconds as whole milliseconds).
    using ValueCheck = std::function<std::optional<std::string>(const std::string &value)>;
    void addValueCheck(CLI::Option &option, ValueCheck check);

    // The tool's own options that take the next word for their value ("--file"), as they are
    // written before the command.
    std::vector<std::string> valueOptions() const;

    // Reads the arguments after the program name and runs the command they name. A bad command
    // line gets one line on `ctx.err` and kExitBadArguments before any command has run.
    int run(const Args &args, Context &ctx);

private:
    struct Command {
        CLI::App *app;
        Run run;
        std::vector<Check> checks;
        std::function<std::string()> label;
    };

    // `shown` is the option's default, as help shows it.
    CLI::Option *asSeconds(CLI::Option *option, std::optional<Clock::Duration> shown);
    CLI::Option *asChoice(CLI::Option *option, const std::vector<std::string> &words);
    CLI::Option *addValueOption(CLI::Option *option, const std::string &needs,
                                const std::string &missing);
    const Command *parsedCommand() const;
    std::string labelOf(const Command *command) const;
    std::string labelOf(const CLI::Option &option, const Command *command) const;
    std::pair<std::string, std::string> refusal(const CLI::Error &error) const;
    std::optional<std::pair<std::string, std::string>> argumentMismatch(const Command *command) const;
    std::optional<std::string> strayWord(const Command *command) const;

    CLI::App m_app;
    std::string m_file;
    std::string m_lastWord; // of the command line being read
    std::map<const CLI::App *, Command> m_commands;
    std::map<const CLI::Option *, std::string> m_needs; // "--interval needs a number of milliseconds"
    std::map<const CLI::Option *, std::string> m_missing; // "missing FILE to record into"
};

} // namespace bexen::ports
