// SPDX-License-Identifier: MIT
// The translation of what CLI11 refused into the tool's one error line.
#include "commands/command_line.h"

#include "commands/command_line_p.h"
#include "shared/words.h"

#include <algorithm>
#include <utility>

namespace bexen::ports {

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

} // namespace bexen::ports
