// SPDX-License-Identifier: MIT
#include "model/script.h"

#include "shared/words.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace bexen::ports {

namespace {

// A script or a recording is read whole before anything is written; past this size it is not a
// script someone wrote or a recording of the junction.
constexpr std::uintmax_t kLargestPlayFile = std::uintmax_t{64} * 1024 * 1024;

} // namespace

std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        lines.push_back(line);
        if (newline == std::string_view::npos)
            break;
        text.remove_prefix(newline + 1);
    }
    return lines;
}

std::vector<std::string_view> scriptWords(std::string_view line)
{
    constexpr std::string_view blanks = " \t";
    line = line.substr(0, line.find('#'));
    std::vector<std::string_view> words;
    for (auto start = line.find_first_not_of(blanks); start != std::string_view::npos;) {
        const auto end = line.find_first_of(blanks, start);
        words.push_back(line.substr(start, end - start));
        start = line.find_first_not_of(blanks, end);
    }
    return words;
}

std::string joinWords(const std::vector<std::string_view> &words)
{
    std::string text;
    for (std::string_view word : words)
        text += (text.empty() ? "" : " ") + std::string(word);
    return text;
}

std::optional<std::string> parseStepTime(std::string_view word, Clock::Duration previous,
                                         Clock::Duration &at)
{
    const auto seconds = parseSeconds(word);
    if (!seconds)
        return "time " + quoteArgument(word) + " is not a number of seconds (for example 1.5)";
    if (*seconds < previous)
        return "time " + formatSeconds(*seconds) + " s comes before the previous step's "
                + formatSeconds(previous) + " s; steps go in time order";
    at = *seconds;
    return std::nullopt;
}

std::optional<std::string> parseScriptStep(const std::vector<std::string_view> &words,
                                           Clock::Duration previous, PlayStep &step)
{
    if (auto error = parseStepTime(words[0], previous, step.at))
        return error;
    if (words.size() < 2)
        return std::string("the time needs a step after it: sensor LIGHT on|off, or light LIGHT VALUE");
    const std::string_view kind = words[1];
    if (kind != "sensor" && kind != "light")
        return "unknown step " + quoteArgument(kind) + "; a step is sensor or light";
    if (words.size() < 4) {
        return std::string(kind == "sensor" ? "sensor needs a light number 1 to 4 and on or off"
                                            : "light needs a light number 1 to 4 and a value 0 to 255");
    }
    const auto light = parseWholeNumberAs<int>(words[2], 1, kLightCount);
    if (!light)
        return "light number " + quoteArgument(words[2]) + " is not 1 to 4";
    if (kind == "sensor") {
        if (words[3] != "on" && words[3] != "off")
            return quoteArgument(words[3]) + " is neither on nor off";
        step.port = kSensorPort;
        step.mask = sensorMask(*light);
        step.value = words[3] == "on" ? step.mask : 0;
    } else {
        const auto value = parseByteValue(words[3]);
        if (!value)
            return "light value " + quoteArgument(words[3]) + " is not a whole number 0 to 255";
        step.port = lightPort(*light);
        step.mask = kWholeByte;
        step.value = *value;
    }
    if (words.size() > 4)
        return "unexpected " + quoteArgument(words[4]) + " after the step";
    step.text = joinWords(words);
    return std::nullopt;
}

namespace {

// Reads one line into `step`, its time no earlier than `previous`, and answers what is wrong
// with it, if anything. A line without a step (blank, or only a comment) leaves `step` empty.
using LineReader = std::optional<std::string> (*)(std::string_view line, Clock::Duration previous,
                                                  std::optional<PlayStep> &step);

std::optional<std::string> readScriptLine(std::string_view line, Clock::Duration previous,
                                          std::optional<PlayStep> &step)
{
    const auto words = scriptWords(line);
    if (words.empty())
        return std::nullopt;
    return parseScriptStep(words, previous, step.emplace());
}

std::optional<std::string> readRecordingRow(std::string_view line, Clock::Duration previous,
                                            std::optional<PlayStep> &step)
{
    if (line.empty())
        return std::nullopt;
    const auto comma1 = line.find(',');
    const auto comma2 = comma1 == std::string_view::npos ? comma1 : line.find(',', comma1 + 1);
    if (comma2 == std::string_view::npos || line.find(',', comma2 + 1) != std::string_view::npos)
        return std::string("a row is time_s,port,value");
    PlayStep &read = step.emplace();
    if (auto error = parseStepTime(line.substr(0, comma1), previous, read.at))
        return error;
    const std::string_view portText = line.substr(comma1 + 1, comma2 - comma1 - 1);
    const auto port = parsePort(portText);
    if (!port || std::find(kJunctionPorts.begin(), kJunctionPorts.end(), *port) == kJunctionPorts.end())
        return "port " + quoteArgument(portText) + " is not 150 or 160 to 163";
    const std::string_view valueText = line.substr(comma2 + 1);
    const auto value = parseByteValue(valueText);
    if (!value)
        return "value " + quoteArgument(valueText) + " is not a whole number 0 to 255";
    read.port = *port;
    read.mask = kWholeByte;
    read.value = *value;
    read.text = "port " + std::string(portText) + " " + std::string(valueText);
    return std::nullopt;
}

// The steps of the lines from `first` on, numbered as the file numbers its lines; the first
// faulty line ends the reading with no steps at all.
ParsedPlay readSteps(const std::vector<std::string_view> &lines, std::size_t first,
                     LineReader readLine, std::string_view whenEmpty)
{
    ParsedPlay parsed;
    Clock::Duration previous{};
    for (std::size_t i = first; i < lines.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        std::optional<PlayStep> step;
        if (auto error = readLine(lines[i], previous, step))
            return {{}, ScriptError{number, std::move(*error)}};
        if (!step)
            continue;
        step->line = number;
        previous = step->at;
        parsed.steps.push_back(std::move(*step));
    }
    if (parsed.steps.empty())
        parsed.error = ScriptError{0, std::string(whenEmpty)};
    return parsed;
}

bool isRecording(std::string_view text)
{
    const auto first = splitLines(text.substr(0, text.find('\n')));
    return !first.empty() && first[0] == kCsvHeader;
}

} // namespace

ParsedPlay parseScript(std::string_view text)
{
    return readSteps(splitLines(text), 0, readScriptLine, "holds no step");
}

ParsedPlay parseRecording(std::string_view text)
{
    const auto lines = splitLines(text);
    if (lines.empty() || lines[0] != kCsvHeader)
        return {{}, ScriptError{1, "a recording starts with the line " + std::string(kCsvHeader)}};
    return readSteps(lines, 1, readRecordingRow, "holds no row");
}

ParsedPlay parsePlayText(std::string_view text)
{
    return isRecording(text) ? parseRecording(text) : parseScript(text);
}

std::optional<std::string> readPlayFile(const std::string &path, std::string &text)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return path + ": is a directory, not a script or a recording";
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kLargestPlayFile)
        return path + ": too large for a script or a recording";
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return path + ": cannot be read: " + std::strerror(errno);
    text.clear();
    text.reserve(ec ? 0 : static_cast<std::size_t>(size));
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad())
        return path + ": cannot be read";
    return std::nullopt;
}

std::string describeError(const std::string &path, const ScriptError &error)
{
    const std::string where = error.line > 0 ? path + ":" + std::to_string(error.line) : path;
    return where + ": " + error.what;
}

} // namespace bexen::ports
