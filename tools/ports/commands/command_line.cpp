// SPDX-License-Identifier: MIT
#include "commands/command_line.h"

#include "commands/command_line_p.h"
#include "commands/help_layout.h"
#include "junction_facts.h"
#include "shared/words.h"
#include "version.h"

#include <algorithm>
#include <utility>

namespace bexen::ports {

namespace {

// A check of one value: the refusal's words, or nothing. It may rewrite the text: CLI11 would
// read "0160" as octal and "0x10" as hexadecimal, and the junction's users write neither.
using TextCheck = std::function<std::optional<std::string>(std::string &text)>;

CLI::Validator refusing(const CLI::Option &option, TextCheck check)
{
    return CLI::Validator(
            [&option, check = std::move(check)](std::string &text) {
                if (auto what = check(text))
                    throw Refusal(option, *what);
                return std::string();
            },
            "");
}

TextCheck wholeNumber(const std::string &noun, std::uint64_t lowest, std::uint64_t highest,
                      const std::string &what)
{
    return [=](std::string &text) -> std::optional<std::string> {
        const auto number = parseWholeNumber(text, lowest, highest);
        if (!number)
            return noun + " " + quoteArgument(text) + " is not a whole number " + what + "from "
                    + std::to_string(lowest) + " to " + std::to_string(highest);
        text = std::to_string(*number);
        return std::nullopt;
    };
}

} // namespace

CommandLine::CommandLine()
    : m_app("See and drive the junction's port file emu_port.dat without an emulator.",
            std::string(kToolName))
{
    // Before any command is added: each takes its parent's formatter and failure message.
    m_app.formatter(makeHelpLayout());
    m_app.footer(helpNotes());
    m_app.failure_message([this](const CLI::App *, const CLI::Error &error) {
        const auto [label, what] = refusal(error);
        return usageLine(label, what) + "\n";
    });
    // Help and the version answer at once, wherever they stand, before any value is checked:
    // "bexen-ports set 150 1 --help" shows set's help and writes nothing.
    addPath(m_app, "--file", m_file,
            "use PATH as the port file instead of emu_port.dat in the temporary directory (for an "
            "emulator whose temporary directory differs); without it, BEXEN_PORT_FILE names the "
            "file where it is set (a controller that test starts gets it)");
    m_app.set_help_flag();
    m_app.add_flag_callback("-h,--help", [] { throw CLI::CallForHelp(); },
                            "show this help, or a command's help after its name")
            ->trigger_on_parse();
    m_app.set_version_flag("--version", std::string(kToolName) + " " + std::string(kVersion),
                           "show the version")
            ->trigger_on_parse();
    // One command; words that fit nowhere are kept, to be named in the error line.
    m_app.require_subcommand(0, 1);
    m_app.allow_extras();
    // On Windows CLI11 would read "/x" as an option; here it is a path, as it is elsewhere.
    m_app.allow_windows_style_options(false);
}

CLI::App &CommandLine::addCommand(const std::string &name, const std::string &summary, Run run)
{
    CLI::App *command = m_app.add_subcommand(name, summary);
    command->set_help_flag();
    // --file, --help and a stray word go to the tool itself, after the command as before it.
    command->fallthrough();
    command->allow_extras();
    command->allow_windows_style_options(false);
    m_commands[command] = {command, std::move(run), {}, {}};
    return *command;
}

void CommandLine::addCheck(CLI::App &command, Check check)
{
    m_commands.at(&command).checks.push_back(std::move(check));
}

void CommandLine::setLabel(CLI::App &command, std::function<std::string()> label)
{
    m_commands.at(&command).label = std::move(label);
}

CLI::Option *CommandLine::addValueOption(CLI::Option *option, const std::string &needs,
                                         const std::string &missing)
{
    if (!needs.empty())
        m_needs[option] = needs;
    if (!missing.empty()) {
        m_missing[option] = missing;
        option->required();
    }
    return option;
}

// Seconds become whole milliseconds, the clock's unit.
CLI::Option *CommandLine::asSeconds(CLI::Option *option, std::optional<Clock::Duration> shown)
{
    const std::string noun = option->get_name();
    option->transform(refusing(*option, [noun](std::string &text) -> std::optional<std::string> {
        const auto duration = parseSeconds(text);
        if (!duration)
            return noun + " " + quoteArgument(text)
                    + " is not a number of seconds (digits, optionally a point and decimals; at "
                      "most 1000000)";
        text = std::to_string(duration->count());
        return std::nullopt;
    }));
    option->type_name("S")->default_str(shown ? formatShortSeconds(*shown) : std::string());
    return addValueOption(option, option->get_name() + " needs a number of seconds", {});
}

CLI::Option *CommandLine::addMilliseconds(CLI::App &command, const std::string &name,
                                          Clock::Duration &target, const std::string &description)
{
    CLI::Option *option = command.add_option(name, target, description);
    option->transform(refusing(*option, wholeNumber(name, 1, kLongestIntervalMs,
                                                    "of milliseconds ")))
            ->type_name("MS")
            ->default_str(std::to_string(target.count()));
    return addValueOption(option, name + " needs a number of milliseconds", {});
}

CLI::Option *CommandLine::addWholeNumber(CLI::App &command, const std::string &name,
                                         std::uint32_t &target, std::uint32_t highest,
                                         const std::string &description)
{
    CLI::Option *option = command.add_option(name, target, description);
    option->transform(refusing(*option, wholeNumber(name, 0, highest, "")))
            ->type_name("N")
            ->default_str(std::to_string(target));
    return addValueOption(option, name + " needs a whole number", {});
}

CLI::Option *CommandLine::addPorts(CLI::App &command, const std::string &name,
                                   std::vector<std::int32_t> &target,
                                   const std::string &description, const std::string &missing)
{
    CLI::Option *option = command.add_option(name, target, description);
    // An error line names an argument's value in lower case, as for set: "port "99" is not ...".
    option->transform(refusing(*option, wholeNumber("port", kLowestPort, kHighestPort, "")));
    return addValueOption(option, {}, missing);
}

CLI::Option *CommandLine::addPortValues(CLI::App &command, const std::string &name,
                                        std::vector<std::int32_t> &target,
                                        const std::string &description, const std::string &missing)
{
    // Pairs are counted by set itself: CLI11 would fill a half pair silently.
    CLI::Option *option = command.add_option(name, target, description)
                                  ->type_size(2)
                                  ->expected(1, -1)
                                  ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    option->transform(refusing(*option, wholeNumber("port", kLowestPort, kHighestPort, ""))
                              .application_index(0))
            ->transform(refusing(*option, wholeNumber("value", 0, 255, "")).application_index(1));
    return addValueOption(option, {}, missing);
}

CLI::Option *CommandLine::addPath(CLI::App &command, const std::string &name, std::string &target,
                                  const std::string &description, const std::string &empty,
                                  const std::string &missing)
{
    CLI::Option *option = command.add_option(name, target, description)->type_name("PATH");
    const std::string refused = empty.empty() ? name + " needs a PATH, not an empty one" : empty;
    option->check(refusing(*option, [refused](const std::string &text) {
        return text.empty() ? std::optional<std::string>(refused) : std::nullopt;
    }));
    return addValueOption(option, name + " needs a PATH", missing);
}

CLI::Option *CommandLine::asChoice(CLI::Option *option, const std::vector<std::string> &words)
{
    const std::string alternatives = junction::joinedList(words, "or");
    // "is neither csv nor vcd"
    const std::string refused =
            words.size() == 2 ? "neither " + words[0] + " nor " + words[1] : "not " + alternatives;
    const std::string noun = option->get_name();
    option->transform(refusing(*option, [=](const std::string &text) -> std::optional<std::string> {
        if (std::find(words.begin(), words.end(), text) != words.end())
            return std::nullopt;
        return noun + " " + quoteArgument(text) + " is " + refused;
    }));
    option->type_name("F");
    return addValueOption(option, option->get_name() + " needs " + alternatives, {});
}

void CommandLine::addValueCheck(CLI::Option &option, ValueCheck check)
{
    option.check(refusing(option, std::move(check)));
}

std::vector<std::string> CommandLine::valueOptions() const
{
    std::vector<std::string> names;
    for (const CLI::Option *option : m_app.get_options()) {
        if (option->get_items_expected_max() == 0)
            continue;
        for (const std::string &name : option->get_lnames())
            names.push_back("--" + name);
        for (const std::string &name : option->get_snames())
            names.push_back("-" + name);
    }
    return names;
}

int CommandLine::run(const Args &args, Context &ctx)
{
    // CLI11 reads "--file=" as "--file" and would take the next word for its value; the value
    // given is the empty one, and is refused as such.
    std::vector<std::string> words;
    for (const std::string &arg : args) {
        if (arg.size() > 3 && arg.starts_with("--") && arg.find('=') == arg.size() - 1) {
            words.push_back(arg.substr(0, arg.size() - 1));
            words.emplace_back();
        } else {
            words.push_back(arg);
        }
    }
    m_lastWord = words.empty() ? std::string() : words.back();
    std::reverse(words.begin(), words.end()); // CLI11 takes them from the back

    try {
        m_app.parse(words);
    } catch (const CLI::ParseError &error) {
        // Help and the version on ctx.out, a refusal on ctx.err through the failure message.
        return m_app.exit(error, ctx.out, ctx.err) == 0 ? kExitOk : kExitBadArguments;
    }

    const Command *command = parsedCommand();
    if (const auto stray = strayWord(command))
        return ctx.failUsage(labelOf(command), *stray);
    if (command == nullptr)
        return ctx.failUsage({}, "missing COMMAND" + std::string(kSeeHelp));
    for (const Check &check : command->checks) {
        if (const auto what = check())
            return ctx.failUsage(labelOf(command), *what);
    }
    if (!m_file.empty())
        ctx.fileOverride = m_file;
    return command->run(ctx);
}

} // namespace bexen::ports
