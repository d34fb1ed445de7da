// SPDX-License-Identifier: MIT
#include "model/scenario_suite.h"

#include "model/builtin_scenarios.h"
#include "model/script.h"
#include "shared/words.h"

#include <algorithm>
#include <filesystem>

namespace bexen::ports {

namespace fs = std::filesystem;

namespace {

std::string stemOf(std::string_view file)
{
    return fs::path(file).stem().string();
}

// Two scenarios of one name would make two testcases no report can tell apart.
std::optional<std::string> duplicateName(const std::vector<Scenario> &loaded)
{
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (loaded[j].name != loaded[i].name)
                continue;
            const auto from = [&](std::size_t k) {
                return quoteArgument(loaded[k].source) + " (argument " + std::to_string(k + 1) + ")";
            };
            return "two scenarios are named " + quoteArgument(loaded[i].name) + ": " + from(j)
                    + " and " + from(i) + "; each needs a name of its own";
        }
    }
    return std::nullopt;
}

} // namespace

std::vector<Scenario> builtinSuite()
{
    std::vector<Scenario> suite;
    for (const BuiltinScenario &b : builtinScenarios())
        suite.push_back(parseScenario(b.text, stemOf(b.file)).scenario);
    return suite;
}

std::optional<std::string> loadScenarios(const std::vector<std::string> &named,
                                         std::vector<Scenario> &loaded)
{
    const std::vector<Scenario> suite = builtinSuite();
    if (named.empty()) {
        loaded = suite;
        return std::nullopt;
    }
    for (const std::string &word : named) {
        const auto builtin = std::ranges::find(suite, word, &Scenario::name);
        std::error_code ec;
        if (builtin != suite.end() && !fs::exists(word, ec)) {
            loaded.push_back(*builtin);
            loaded.back().source = word;
            continue;
        }
        if (!fs::exists(word, ec))
            return "scenario " + quoteArgument(word)
                    + " is neither a built-in one (see test --list) nor a file";
        std::string text;
        if (auto error = readPlayFile(word, text))
            return error;
        ParsedScenario parsed = parseScenario(text, stemOf(word));
        if (parsed.error)
            return describeError(word, *parsed.error);
        parsed.scenario.suite = stemOf(word);
        parsed.scenario.source = word;
        loaded.push_back(std::move(parsed.scenario));
    }
    return duplicateName(loaded);
}

} // namespace bexen::ports
