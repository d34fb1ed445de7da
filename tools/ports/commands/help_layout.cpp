// SPDX-License-Identifier: MIT
#include "commands/help_layout.h"

#include "shared/context.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <utility>
#include <vector>

namespace bexen::ports {

namespace {

// Closes every help, laid out already; the tool's exit statuses follow, from shared/context.h.
constexpr std::string_view kNotes =
        "A port is a whole number from 100 to 65535 (port p is byte p - 100 of the file);\n"
        "a value is a whole number from 0 to 255. Bit k-1 of port 150 is a car waiting at\n"
        "light k; lights 1 to 4 are ports 160 to 163 (0 dark, 1 red, 2 red and yellow,\n"
        "3 yellow, 4 green). Seconds are written as 5, 0.25 or 12.5; milliseconds as a\n"
        "whole number.\n";

constexpr std::size_t kHelpWidth = 79;

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
        std::string names;
        for (const char c : option->get_name(false, true))
            names += c == ',' ? std::string(", ") : std::string(1, c);
        return names;
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
    // A command or an option in no group is left out of help (`run` and `test --program` where
    // the tool has no machine).
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
        const std::size_t column = width + 4;
        std::string out;
        for (const auto &[head, text] : rows) {
            const std::size_t start = out.size();
            out += "  " + head;
            out.append(column - (out.size() - start), ' ');
            for (const char c : wrapped(text, column)) {
                out += c;
                if (c == '\n')
                    out.append(column, ' ');
            }
            out += '\n';
        }
        return out;
    }

    // The described options and arguments of one app under their heading, then its footer; the
    // tool's own footer closes the whole help instead.
    std::string optionTable(const CLI::App &app, const std::string &of) const
    {
        std::vector<std::pair<std::string, std::string>> rows;
        bool arguments = false;
        bool options = false;
        for (const CLI::Option *option : app.get_options()) {
            if (option->get_description().empty() || option->get_group().empty())
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

// "Exit status: 0 done, 1 the port file could not be accessed, ...", from shared/context.h's table.
std::string exitStatusNote()
{
    std::string note = "Exit status:";
    for (std::size_t i = 0; i < std::size(kExitStatuses); ++i)
        note += std::string(i == 0 ? " " : ", ") + std::to_string(kExitStatuses[i].code) + " "
                + std::string(kExitStatuses[i].meaning);
    return note + ".";
}

} // namespace

std::shared_ptr<CLI::Formatter> makeHelpLayout()
{
    return std::make_shared<HelpLayout>();
}

std::string helpNotes()
{
    return std::string(kNotes) + "\n" + wrapped(exitStatusNote(), 0);
}

} // namespace bexen::ports
