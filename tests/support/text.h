// SPDX-License-Identifier: MIT
#pragma once

// What the tests ask of a program's output text.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace bexen::testing {

inline bool contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

inline bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

inline bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

inline std::ptrdiff_t countOf(std::string_view text, char c)
{
    return std::count(text.begin(), text.end(), c);
}

// Every piece between the separators, empty ones too: "a\nb\n" is {"a", "b", ""}.
inline std::vector<std::string> split(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(separator, from)) != std::string_view::npos; from = at + 1)
        parts.emplace_back(text.substr(from, at - from));
    parts.emplace_back(text.substr(from));
    return parts;
}

// The pieces that are not empty.
inline std::vector<std::string> words(std::string_view text, char separator = ' ')
{
    std::vector<std::string> parts = split(text, separator);
    parts.erase(std::remove(parts.begin(), parts.end(), std::string()), parts.end());
    return parts;
}

inline std::string join(const std::vector<std::string> &parts, std::string_view separator)
{
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            text += separator;
        text += parts[i];
    }
    return text;
}

inline std::string replaced(std::string text, char from, std::string_view to)
{
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, 1, to);
    return text;
}

} // namespace bexen::testing
