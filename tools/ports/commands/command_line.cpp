// SPDX-License-Identifier: MIT
#include "commands/command_line.h"

#include "junction_facts.h"
#include "commands/port_args.h"
#include "version.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <utility>

namespace bexen::ports {

namespace {

constexpr std::string_view kSeeHelp = "; see bexen-ports --help";

// Closes every help, laid out already; the tool's exit statuses follow, from cli.h.
constexpr std::string_view kNotes =
        "A port is a whole number from 100 to 65535 (port p is byte p - 100 of the file);\n"
        "a value is a whole number from 0 to 255. Bit k-1 of port 150 is a car waiting at\n"
        "light k; lights 1 to 4 are ports 160 to 163 (0 dark, 1 red, 2 red and yellow,\n"
        "3 yellow, 4 green). Seconds are written as 5, 0.25 or 12.5; milliseconds as a\n"
        "whole number.\n";

constexpr std::size_t kHelpWidth = 79;

// A value refused by one of the tool's own checks, with the words of its error line. CLI11 only
// catches its ValidationError inside a check, so this one reaches the failure message whole.
class Refusal : public CLI::ParseError {
public:
    Refusal(const CLI::Option &option, const std::string &what)
        : CLI::ParseError("Refusal", what, kExitBadArguments), m_option(option)
    {
    }
    const CLI::Option &option() const { return m_option; }

private:
    const CLI::Option &m_option;
};

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

// "--all" or "-x" asks for an option; "-5" is a word, such as a port out of range.
bool looksLikeOption(std::string_view word)
{
    return word.size() >= 2 && word[0] == '-' && !std::isdigit(static_cast<unsigned char>(word[1]));
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

// A paragraph of help broken between words so that no line passes kHelpWidth when it starts at
// `column`; a line that starts with a blank is laid out already (a grammar, a table) and kept.
// CLI11 2.1 sets a description beside its option but leaves its lines as they come.
std::string wrapped(const std::string &text, std::size_t column)
{
    std::istringstream lines(text);
    std::string out;
    std::string line;
    for (bool first = true; std::getline(lines, line); first = false) {
        if (!first)
            out += '\n';
        if (line.starts_with(" ")) {
            out += line;
            continue;
        }
        std::istringstream words(line);
        std::size_t at = column;
        for (std::string word; words >> word; at += word.size()) {
            if (at > column && at + 1 + word.size() > kHelpWidth)
                out += '\n', at = column;
            else if (at > column)
                out += ' ', ++at;
            out += word;
        }
    }
    return out;
}

// The tool's help on CLI11's formatter: a usage line, the summary, then each table with its
// descriptions in one column just past its widest entry, and the notes of the whole tool.
class HelpLayout : public CLI::Formatter {
public:
    std::string make_help(const CLI::App *app, std::string, CLI::AppFormatMode) const override
    {
        std::string help = make_usage(app, {}) + make_description(app);
        if (app->get_parent() == nullptr) {
            help += make_subcommands(app, CLI::AppFormatMode::Normal) + optionTable(*app, "");
            for (const CLI::App *command : app->get_subcommands(listed))
                help += optionTable(*command, " of " + command->get_name());
        } else {
            help += optionTable(*app, "");
        }
        return help + "\n" + make_footer(rootOf(app));
    }

    // "Usage: bexen-ports [--file PATH] record [OPTIONS] FILE"
    std::string make_usage(const CLI::App *app, std::string) const override
    {
        const CLI::App *root = rootOf(app);
        std::string usage = "Usage: " + root->get_name();
        for (const CLI::Option *option : root->get_options())
            if (takesValue(*option))
                usage += " [" + make_option_name(option, false) + make_option_opts(option) + "]";
        return usage + " " + (app == root ? "COMMAND [ARGUMENTS]..." : commandHead(*app)) + "\n";
    }

    // A command's summary is written as its line in the command list: here it is a sentence.
    std::string make_description(const CLI::App *app) const override
    {
        std::string text = app->get_description();
        if (app->get_parent() == nullptr)
            return text + "\n";
        if (!text.empty())
            text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        return text + ".\n";
    }

    std::string make_subcommands(const CLI::App *app, CLI::AppFormatMode) const override
    {
        std::vector<std::pair<std::string, std::string>> rows;
        for (const CLI::App *command : app->get_subcommands(listed))
            rows.emplace_back(commandHead(*command), command->get_description());
        return "\nCommands:\n" + table(rows);
    }

    std::string make_footer(const CLI::App *app) const override
    {
        // The tool's own notes stand as written; a command's note is wrapped like its rows.
        const std::string footer = app->get_parent() ? wrapped(app->get_footer(), 0) : app->get_footer();
        return footer.empty() ? std::string() : footer + "\n";
    }

    // "-h, --help", or an argument as the usage line shows it.
    std::string make_option_name(const CLI::Option *option, bool positional) const override
    {
        if (positional)
            return make_option_usage(option);
        return CLI::detail::find_and_replace(option->get_name(false, true), ",", ", ");
    }

    // " MS" after "--interval"; a flag takes nothing.
    std::string make_option_opts(const CLI::Option *option) const override
    {
        return takesValue(*option) && !option->get_positional() ? " " + option->get_type_name()
                                                                 : std::string();
    }

    // The option's default put into its description's "(default)" or "(default, ...)".
    std::string make_option_desc(const CLI::Option *option) const override
    {
        std::string text = option->get_description();
        const std::string shown = option->get_default_str();
        constexpr std::string_view mark = "(default";
        const std::size_t at = text.find(mark);
        if (!shown.empty() && at != std::string::npos && at + mark.size() < text.size()
            && (text[at + mark.size()] == ')' || text[at + mark.size()] == ','))
            text.insert(at + mark.size(), " " + shown);
        return text;
    }

    // "PORT...", "PORT VALUE [PORT VALUE]...", "FILE".
    std::string make_option_usage(const CLI::Option *option) const override
    {
        const std::string &name = option->get_name();
        if (option->get_items_expected_max() <= 1)
            return name;
        return option->get_type_size_max() > 1 ? name + " [" + name + "]..." : name + "...";
    }

private:
    // A command in no group is left out of help (`run` where the tool has no machine).
    static bool listed(const CLI::App *command) { return !command->get_group().empty(); }

    static const CLI::App *rootOf(const CLI::App *app)
    {
        return app->get_parent() == nullptr ? app : app->get_parent();
    }

    static bool takesValue(const CLI::Option &option) { return option.get_items_expected_max() > 0; }

    // "get PORT...", "record [OPTIONS] FILE": a command as the usage line and the command list show it.
    std::string commandHead(const CLI::App &command) const
    {
        std::string head = command.get_name();
        const auto options = command.get_options();
        if (std::any_of(options.begin(), options.end(),
                        [](const CLI::Option *o) { return !o->get_positional(); }))
            head += " [OPTIONS]";
        for (const CLI::Option *option : options)
            if (option->get_positional())
                head += " " + make_option_usage(option);
        return head;
    }

    // "  --interval MS  poll every ..." for each row, the descriptions in one column.
    static std::string table(const std::vector<std::pair<std::string, std::string>> &rows)
    {
        std::size_t width = 0;
        for (const auto &row : rows)
            width = std::max(width, row.first.size());
        std::ostringstream out;
        for (const auto &[head, text] : rows)
            CLI::detail::format_help(out, head, wrapped(text, width + 4), width + 4);
        return out.str();
    }

    // The described options and arguments of one app under their heading, then its footer; the
    // tool's own footer closes the whole help instead.
    std::string optionTable(const CLI::App &app, const std::string &of) const
    {
        std::vector<std::pair<std::string, std::string>> rows;
        bool arguments = false;
        bool options = false;
        for (const CLI::Option *option : app.get_options()) {
            if (option->get_description().empty())
                continue;
            const bool positional = option->get_positional();
            rows.emplace_back(make_option_name(option, positional) + make_option_opts(option),
                              make_option_desc(option));
            (positional ? arguments : options) = true;
        }
        if (rows.empty())
            return {};
        const char *heading = arguments && options ? "Arguments and options"
                : arguments                        ? "Arguments"
                                                   : "Options";
        std::string text = "\n" + std::string(heading) + of + ":\n" + table(rows);
        // A command takes the tool's footer when it is made, unless it has one of its own.
        if (app.get_footer() != rootOf(&app)->get_footer())
            text += "\n" + make_footer(&app);
        return text;
    }
};

// "Exit status: 0 done, 1 the port file could not be accessed, ...", from cli.h's table.
std::string exitStatusNote()
{
    std::string note = "Exit status:";
    for (std::size_t i = 0; i < std::size(kExitStatuses); ++i)
        note += std::string(i == 0 ? " " : ", ") + std::to_string(kExitStatuses[i].code) + " "
                + std::string(kExitStatuses[i].meaning);
    return note + ".";
}

} // namespace

CommandLine::CommandLine()
    : m_app("See and drive the junction's port file emu_port.dat without an emulator.",
            std::string(kToolName))
{
    // Before any command is added: each takes its parent's formatter and failure message.
    m_app.formatter(std::make_shared<HelpLayout>());
    m_app.footer(std::string(kNotes) + "\n" + wrapped(exitStatusNote(), 0));
    m_app.failure_message([this](const CLI::App *, const CLI::Error &error) {
        const auto [label, what] = refusal(error);
        return usageLine(label, what) + "\n";
    });
    // Help and the version answer at once, wherever they stand, before any value is checked:
    // "bexen-ports set 150 1 --help" shows set's help and writes nothing.
    addPath(m_app, "--file", m_file,
            "use PATH as the port file instead of emu_port.dat in the temporary directory (for an "
            "emulator whose temporary directory differs)");
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
                                  ->expected(1, CLI::detail::expected_max_vector_size)
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

const CommandLine::Command *CommandLine::parsedCommand() const
{
    // Every command was added by addCommand.
    const std::vector<CLI::App *> parsed = m_app.get_subcommands();
    return parsed.empty() ? nullptr : &m_commands.at(parsed.front());
}

std::string CommandLine::labelOf(const Command *command) const
{
    if (command == nullptr)
        return {};
    return command->label ? command->label() : command->app->get_name();
}

// --file is the tool's, not the command's.
std::string CommandLine::labelOf(const CLI::Option &option, const Command *command) const
{
    return m_app.get_option_no_throw(option.get_name()) == &option ? std::string() : labelOf(command);
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

    const auto options = std::as_const(*command->app).get_options();
    if (options.empty())
        return "takes no arguments, but got " + quoteArgument(word);
    // "record a.csv b.csv": the one FILE is there already; "chart a.csv a.svg x": so is OUT.
    const auto last = std::find_if(options.rbegin(), options.rend(), [](const CLI::Option *o) {
        return o->get_positional() && o->get_items_expected_max() == 1 && o->count() == 1;
    });
    if (last != options.rend())
        return "unexpected argument " + quoteArgument(word) + " after " + (*last)->get_name() + " "
                + quoteArgument((*last)->results().front());
    return "unexpected argument " + quoteArgument(word);
}

// An option given without its value or given twice. CLI11 runs out of words for a value only at
// the end of the command line, so the last word names the option left without one.
std::optional<std::pair<std::string, std::string>>
CommandLine::argumentMismatch(const Command *command) const
{
    const CLI::Option *lacking = m_app.get_option_no_throw(m_lastWord);
    if (lacking == nullptr && command != nullptr)
        lacking = command->app->get_option_no_throw(m_lastWord);
    if (lacking != nullptr && m_needs.contains(lacking))
        return std::pair(labelOf(*lacking, command), m_needs.at(lacking));
    std::vector<const CLI::Option *> options = m_app.get_options();
    if (command != nullptr) {
        const auto own = std::as_const(*command->app).get_options();
        options.insert(options.end(), own.begin(), own.end());
    }
    for (const CLI::Option *option : options) {
        if (option->results().size() > static_cast<std::size_t>(option->get_items_expected_max()))
            return std::pair(labelOf(*option, command), option->get_name() + " given twice");
    }
    return std::nullopt;
}

// What CLI11 refused, told from the refusal's type and from what the reading left in the
// options, never from the wording of CLI11's own message, which is only the last resort.
std::pair<std::string, std::string> CommandLine::refusal(const CLI::Error &error) const
{
    const Command *command = parsedCommand();
    // A word that fits nowhere is named first: "get -x" lacks a PORT because -x is none, and in
    // "get -x 99" the -x is more likely the slip than the 99.
    if (const auto stray = strayWord(command))
        return {labelOf(command), *stray};
    if (const auto *refused = dynamic_cast<const Refusal *>(&error))
        return {labelOf(refused->option(), command), refused->what()};
    if (dynamic_cast<const CLI::RequiredError *>(&error) != nullptr && command != nullptr) {
        for (const CLI::Option *option : std::as_const(*command->app).get_options()) {
            if (option->get_required() && option->count() == 0 && m_missing.contains(option))
                return {labelOf(command), m_missing.at(option)};
        }
    }
    if (dynamic_cast<const CLI::RequiresError *>(&error) != nullptr && command != nullptr) {
        for (const CLI::Option *option : std::as_const(*command->app).get_options()) {
            for (const CLI::Option *needed : option->get_needs()) {
                if (option->count() > 0 && needed->count() == 0)
                    return {labelOf(command), option->get_name() + " requires " + needed->get_name()};
            }
        }
    }
    if (dynamic_cast<const CLI::ArgumentMismatch *>(&error) != nullptr) {
        if (auto mismatch = argumentMismatch(command))
            return *mismatch;
    }
    return {labelOf(command), error.what()};
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
    ctx.fileOverride = m_file;
    return command->run(ctx);
}

} // namespace bexen::ports
