// SPDX-License-Identifier: MIT
#include "commands/command_line.h"

#include "junction_facts.h"
#include "commands/port_args.h"
#include "version.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace bexen::ports {

namespace {

constexpr std::string_view kSeeHelp = "; see bexen-ports --help";

constexpr std::string_view kNotes =
        "A port is a whole number from 100 to 65535 (port p is byte p - 100 of the file);\n"
        "a value is a whole number from 0 to 255. Bit k-1 of port 150 is a car waiting at\n"
        "light k; lights 1 to 4 are ports 160 to 163 (0 dark, 1 red, 2 red and yellow,\n"
        "3 yellow, 4 green). Seconds are written as 5, 0.25 or 12.5; milliseconds as a\n"
        "whole number.\n"
        "\n"
        "Exit status: 0 done, 1 the port file could not be accessed, 2 bad arguments\n"
        "(nothing touched), 3 watch --check saw a violation.\n";

constexpr std::size_t kHelpWidth = 79;

// "--all" or "-x" asks for an option; "-5" is a word, such as a port out of range.
bool looksLikeOption(std::string_view word)
{
    return word.size() >= 2 && word[0] == '-' && !std::isdigit(static_cast<unsigned char>(word[1]));
}

// How an error line names a value: an option by its name, an argument by its word in lower case
// ("port", "value").
std::string nounOf(const std::string &name)
{
    if (name.starts_with("-"))
        return name;
    std::string noun = name;
    std::transform(noun.begin(), noun.end(), noun.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return noun;
}

// The checks below also rewrite the text as plain decimal: CLI11 would read "0160" as octal and
// "0x10" as hexadecimal, and the junction's users write neither.
CLI::Validator wholeNumber(const std::string &noun, std::uint64_t lowest, std::uint64_t highest,
                           const std::string &what)
{
    return CLI::Validator(
            [=](std::string &text) -> std::string {
                const auto number = parseWholeNumber(text, lowest, highest);
                if (!number)
                    return noun + " " + quoteArgument(text) + " is not a whole number " + what
                            + "from " + std::to_string(lowest) + " to " + std::to_string(highest);
                text = std::to_string(*number);
                return {};
            },
            "");
}

CLI::Validator portNumber(const std::string &noun)
{
    return wholeNumber(noun, kLowestPort, kHighestPort, "");
}

// Seconds become whole milliseconds, the clock's unit.
CLI::Validator seconds(const std::string &noun)
{
    return CLI::Validator(
            [=](std::string &text) -> std::string {
                const auto duration = parseSeconds(text);
                if (!duration)
                    return noun + " " + quoteArgument(text)
                            + " is not a number of seconds (digits, optionally a point and"
                              " decimals; at most 1000000)";
                text = std::to_string(duration->count());
                return {};
            },
            "");
}

// One paragraph of help, its lines broken between words to fit; a line that starts with a blank
// is laid out already (a grammar, a table) and kept as it is.
void appendWrapped(std::string &out, std::size_t column, const std::string &text)
{
    std::istringstream lines(text);
    std::string line;
    bool first = true;
    std::size_t at = column;
    const auto newLine = [&] {
        out += '\n';
        out.append(column, ' ');
        at = column;
    };
    while (std::getline(lines, line)) {
        if (!first)
            newLine();
        first = false;
        if (line.starts_with(" ")) {
            out += line;
            continue;
        }
        std::istringstream words(line);
        std::string word;
        bool lineStart = true;
        while (words >> word) {
            if (!lineStart && at + 1 + word.size() > kHelpWidth)
                newLine(), lineStart = true;
            if (!lineStart)
                out += ' ', ++at;
            out += word;
            at += word.size();
            lineStart = false;
        }
    }
    out += '\n';
}

// "  --interval MS   poll every ..." for each entry, the descriptions in one column.
void appendTable(std::string &out, const std::vector<std::pair<std::string, std::string>> &rows)
{
    std::size_t width = 0;
    for (const auto &row : rows)
        width = std::max(width, row.first.size());
    for (const auto &[head, text] : rows) {
        out += "  " + head;
        out.append(width - head.size() + 2, ' ');
        appendWrapped(out, width + 4, text);
    }
}

// A flag takes none.
bool takesValue(const CLI::Option &option)
{
    return option.get_items_expected_max() > 0;
}

// "--interval MS", "-h, --help", "PORT...", "PORT VALUE [PORT VALUE]...".
std::string optionHead(const CLI::Option &option)
{
    if (option.get_positional()) {
        const std::string &name = option.get_name();
        if (option.get_items_expected_max() <= 1)
            return name;
        return option.get_type_size_max() > 1 ? name + " [" + name + "]..." : name + "...";
    }
    std::string head;
    for (const std::string &s : option.get_snames())
        head += (head.empty() ? "-" : ", -") + s;
    for (const std::string &l : option.get_lnames())
        head += (head.empty() ? "--" : ", --") + l;
    if (takesValue(option))
        head += " " + option.get_type_name();
    return head;
}

std::vector<const CLI::Option *> optionsOf(const CLI::App &app)
{
    return app.get_options([](const CLI::Option *) { return true; });
}

bool hasOptions(const CLI::App &app)
{
    const auto options = optionsOf(app);
    return std::any_of(options.begin(), options.end(),
                       [](const CLI::Option *o) { return !o->get_positional(); });
}

// "get PORT...", "record [OPTIONS] FILE": a command as the usage line and the command list show it.
std::string commandHead(const CLI::App &command)
{
    std::string head = command.get_name();
    if (hasOptions(command))
        head += " [OPTIONS]";
    for (const CLI::Option *option : optionsOf(command))
        if (option->get_positional())
            head += " " + optionHead(*option);
    return head;
}

// The options and described arguments of one command, under its own heading.
void appendOptions(std::string &out, const CLI::App &command, const std::string &of)
{
    std::vector<std::pair<std::string, std::string>> rows;
    bool arguments = false;
    bool options = false;
    for (const CLI::Option *option : optionsOf(command)) {
        if (option->get_description().empty())
            continue;
        rows.emplace_back(optionHead(*option), option->get_description());
        (option->get_positional() ? arguments : options) = true;
    }
    if (rows.empty())
        return;
    std::string heading = arguments && options ? "Arguments and options" : arguments ? "Arguments" : "Options";
    out += "\n" + heading + of + ":\n";
    appendTable(out, rows);
    if (const std::string footer = command.get_footer(); !footer.empty()) {
        out += "\n";
        appendWrapped(out, 0, footer);
    }
}

} // namespace

CommandLine::CommandLine()
    : m_app("See and drive the junction's port file emu_port.dat without an emulator.",
            std::string(kToolName))
{
    // Help and the version answer at once, wherever they stand, before any value is checked:
    // "bexen-ports set 150 1 --help" shows set's help and writes nothing.
    addPath(m_app, "--file", m_file,
            "use PATH as the port file instead of emu_port.dat in the temporary directory (for an "
            "emulator whose temporary directory differs)",
            "--file needs a PATH, not an empty one");
    m_app.set_help_flag();
    m_app.add_flag_callback("-h,--help", [] { throw CLI::CallForHelp(); },
                            "show this help, or a command's help after its name")
            ->trigger_on_parse();
    m_app.add_flag_callback("--version", [] { throw CLI::CallForVersion(); }, "show the version")
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
    m_commands.push_back({command, std::move(run), {}, {}});
    return *command;
}

void CommandLine::addCheck(CLI::App &command, Check check)
{
    for (Command &c : m_commands)
        if (c.app == &command)
            c.checks.push_back(std::move(check));
}

void CommandLine::setLabel(CLI::App &command, std::function<std::string()> label)
{
    for (Command &c : m_commands)
        if (c.app == &command)
            c.label = std::move(label);
}

void CommandLine::addValueOption(CLI::Option *option, const std::string &needs,
                                 const std::string &missing)
{
    if (!needs.empty())
        m_needs[option] = needs;
    if (!missing.empty()) {
        m_missing[option] = missing;
        option->required();
    }
}

CLI::Option *CommandLine::addSeconds(CLI::App &command, const std::string &name,
                                     Clock::Duration &target, const std::string &description)
{
    CLI::Option *option = command.add_option(name, target, description)
                                  ->transform(seconds(nounOf(name)))
                                  ->type_name("S");
    addValueOption(option, name + " needs a number of seconds", {});
    return option;
}

CLI::Option *CommandLine::addSeconds(CLI::App &command, const std::string &name,
                                     std::optional<Clock::Duration> &target,
                                     const std::string &description)
{
    CLI::Option *option = command.add_option(name, target, description)
                                  ->transform(seconds(nounOf(name)))
                                  ->type_name("S");
    addValueOption(option, name + " needs a number of seconds", {});
    return option;
}

CLI::Option *CommandLine::addMilliseconds(CLI::App &command, const std::string &name,
                                          Clock::Duration &target, const std::string &description)
{
    CLI::Option *option =
            command.add_option(name, target, description)
                    ->transform(wholeNumber(nounOf(name), 1, kLongestIntervalMs, "of milliseconds "))
                    ->type_name("MS");
    addValueOption(option, name + " needs a number of milliseconds", {});
    return option;
}

CLI::Option *CommandLine::addPorts(CLI::App &command, const std::string &name,
                                   std::vector<std::int32_t> &target,
                                   const std::string &description, const std::string &missing)
{
    CLI::Option *option =
            command.add_option(name, target, description)->transform(portNumber(nounOf(name)));
    addValueOption(option, {}, missing);
    return option;
}

CLI::Option *CommandLine::addPortValues(CLI::App &command, const std::string &name,
                                        std::vector<std::int32_t> &target,
                                        const std::string &description, const std::string &missing)
{
    // Pairs are counted by set itself: CLI11 would fill a half pair silently.
    CLI::Option *option = command.add_option(name, target, description)
                                  ->type_size(2)
                                  ->expected(1, CLI::detail::expected_max_vector_size)
                                  ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                                  ->transform(portNumber("port").application_index(0))
                                  ->transform(wholeNumber("value", 0, 255, "").application_index(1));
    addValueOption(option, {}, missing);
    return option;
}

CLI::Option *CommandLine::addPath(CLI::App &command, const std::string &name, std::string &target,
                                  const std::string &description, const std::string &empty,
                                  const std::string &missing)
{
    CLI::Option *option = command.add_option(name, target, description)
                                  ->check(CLI::Validator(
                                          [empty](std::string &text) {
                                              return text.empty() ? empty : std::string();
                                          },
                                          ""))
                                  ->type_name("PATH");
    addValueOption(option, name + " needs a PATH", missing);
    return option;
}

CLI::Option *CommandLine::addChoice(CLI::App &command, const std::string &name,
                                    std::string &target, const std::vector<std::string> &choices,
                                    const std::string &description)
{
    const std::string alternatives = junction::joinedList(choices, "or");
    // "is neither csv nor vcd"
    const std::string refusal = choices.size() == 2
            ? "neither " + choices[0] + " nor " + choices[1]
            : "not " + alternatives;
    const std::string noun = nounOf(name);
    CLI::Option *option =
            command.add_option(name, target, description)
                    ->check(CLI::Validator(
                            [=](std::string &text) {
                                if (std::find(choices.begin(), choices.end(), text) != choices.end())
                                    return std::string();
                                return noun + " " + quoteArgument(text) + " is " + refusal;
                            },
                            ""))
                    ->type_name("F");
    addValueOption(option, name + " needs " + alternatives, {});
    return option;
}

CLI::Option *CommandLine::addFlag(CLI::App &command, const std::string &name, bool &target,
                                  const std::string &description)
{
    return command.add_flag(name, target, description);
}

CommandLine::Command *CommandLine::parsedCommand()
{
    const std::vector<CLI::App *> parsed = m_app.get_subcommands();
    if (parsed.empty())
        return nullptr;
    for (Command &c : m_commands)
        if (c.app == parsed.front())
            return &c;
    return nullptr;
}

std::string CommandLine::labelOf(const Command *command) const
{
    if (command == nullptr)
        return {};
    return command->label ? command->label() : command->app->get_name();
}

const CLI::Option *CommandLine::findOption(const std::string &name, const Command *command) const
{
    if (const CLI::Option *option = m_app.get_option_no_throw(name))
        return option;
    return command ? command->app->get_option_no_throw(name) : nullptr;
}

std::optional<std::string> CommandLine::strayWord(const Command *command) const
{
    std::vector<std::string> extras = m_app.remaining();
    // CLI11 keeps a "--" that ended a command's options among them.
    extras.erase(std::remove(extras.begin(), extras.end(), "--"), extras.end());
    if (extras.empty())
        return std::nullopt;
    const std::string &word = extras.front();
    if (looksLikeOption(word))
        return "unknown option " + quoteArgument(word) + (command ? "" : std::string(kSeeHelp));
    if (command == nullptr)
        return "unknown command " + quoteArgument(word) + std::string(kSeeHelp);

    const auto options = optionsOf(*command->app);
    if (options.empty())
        return "takes no arguments, but got " + quoteArgument(word);
    // "record a.csv b.csv": the one FILE is there already; "chart a.csv a.svg x": so is OUT.
    const CLI::Option *last = nullptr;
    for (const CLI::Option *option : options) {
        if (option->get_positional() && option->get_items_expected_max() == 1
            && option->count() == 1)
            last = option;
    }
    if (last != nullptr)
        return "unexpected argument " + quoteArgument(word) + " after " + last->get_name() + " "
                + quoteArgument(last->results().front());
    return "unexpected argument " + quoteArgument(word);
}

int CommandLine::refuse(Context &ctx, const CLI::ParseError &error)
{
    const Command *command = parsedCommand();
    const std::string what = error.what();

    // A word that fits nowhere is named first: "get -x" lacks a PORT because -x is none, and in
    // "get -x 99" the -x is more likely the slip than the 99.
    if (const auto stray = strayWord(command))
        return ctx.failUsage(labelOf(command), *stray);
    if (dynamic_cast<const CLI::RequiredError *>(&error) != nullptr && command != nullptr) {
        for (const CLI::Option *option : optionsOf(*command->app)) {
            if (option->get_required() && option->count() == 0 && m_missing.contains(option))
                return ctx.failUsage(labelOf(command), m_missing.at(option));
        }
        return ctx.failUsage(labelOf(command), what);
    }

    // Otherwise CLI11 names the option or argument first: "--interval: ...".
    const std::size_t colon = what.find(": ");
    const CLI::Option *option =
            colon == std::string::npos ? nullptr : findOption(what.substr(0, colon), command);
    if (option == nullptr)
        return ctx.failUsage(labelOf(command), what);
    // --file is the tool's, not the command's.
    const std::string label = m_app.get_option_no_throw(option->get_name()) == option
            ? std::string()
            : labelOf(command);

    if (dynamic_cast<const CLI::ValidationError *>(&error) != nullptr)
        return ctx.failUsage(label, what.substr(colon + 2));
    if (dynamic_cast<const CLI::ArgumentMismatch *>(&error) != nullptr) {
        if (option->results().size() > static_cast<std::size_t>(option->get_items_expected_max()))
            return ctx.failUsage(label, option->get_name() + " given twice");
        if (m_needs.contains(option))
            return ctx.failUsage(label, m_needs.at(option));
    }
    return ctx.failUsage(label, what);
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
    std::reverse(words.begin(), words.end()); // CLI11 takes them from the back

    try {
        m_app.parse(words);
    } catch (const CLI::CallForHelp &) {
        const Command *command = parsedCommand();
        printHelp(ctx.out, command ? command->app : nullptr);
        return kExitOk;
    } catch (const CLI::CallForVersion &) {
        ctx.out << kToolName << ' ' << kVersion << '\n';
        return kExitOk;
    } catch (const CLI::ParseError &error) {
        return refuse(ctx, error);
    }

    Command *command = parsedCommand();
    if (const auto stray = strayWord(command))
        return ctx.failUsage(labelOf(command), *stray);
    if (command == nullptr)
        return ctx.failUsage({}, "missing COMMAND" + std::string(kSeeHelp));
    for (const Check &check : command->checks) {
        if (const auto what = check())
            return ctx.failUsage(labelOf(command), *what);
    }
    ctx.fileOverride = m_file;
    return command->run(ctx);
}

void CommandLine::printHelp(std::ostream &out, const CLI::App *command) const
{
    std::string usage = "Usage: " + m_app.get_name();
    for (const CLI::Option *option : optionsOf(m_app))
        if (takesValue(*option))
            usage += " [" + optionHead(*option) + "]";

    std::string text;
    if (command != nullptr) {
        std::string summary = command->get_description();
        if (!summary.empty())
            summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
        text = usage + " " + commandHead(*command) + "\n" + summary + ".\n";
        appendOptions(text, *command, "");
    } else {
        text = usage + " COMMAND [ARGUMENTS]...\n" + m_app.get_description() + "\n\nCommands:\n";
        std::vector<std::pair<std::string, std::string>> rows;
        for (const Command &c : m_commands)
            rows.emplace_back(commandHead(*c.app), c.app->get_description());
        appendTable(text, rows);
        appendOptions(text, m_app, "");
        for (const Command &c : m_commands)
            appendOptions(text, *c.app, " of " + c.app->get_name());
    }
    out << text << '\n' << kNotes;
}

} // namespace bexen::ports
