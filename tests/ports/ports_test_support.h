// SPDX-License-Identifier: MIT
#pragma once

#include "commands/cli.h"
#include "shared/clock.h"
#include "support/private_tmpdir.h"
#include "support/text.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace bexen::testing;

struct CliOutcome {
    int code = -1;
    std::string out;
    std::string err;
};

// The whole tool in-process, on the test's clock.
inline CliOutcome runCli(const std::vector<std::string> &args, bexen::ports::Clock &clock,
                         std::function<bool()> stopWhen = {})
{
    const bexen::ports::Args list(args.begin(), args.end());
    std::ostringstream out;
    std::ostringstream err;
    CliOutcome o;
    o.code = bexen::ports::runTool(list, out, err, clock, std::move(stopWhen));
    o.out = out.str();
    o.err = err.str();
    return o;
}

// What is wrong with the tool's answer to a command line it must refuse, or nothing: exit status
// 2, one line on stderr holding `error`, nothing on stdout.
inline std::string refusalFault(const CliOutcome &o, const std::string &error)
{
    if (o.code != 2)
        return "exit status " + std::to_string(o.code) + ", stderr: " + o.err;
    if (!contains(o.err, error))
        return "stderr: " + o.err;
    if (countOf(o.err, '\n') != 1 || !endsWith(o.err, "\n"))
        return "not one line: " + o.err;
    if (!o.out.empty())
        return "stdout: " + o.out;
    return {};
}

// A path as the tool's messages quote it: a backslash (a Windows path's separator) doubled.
inline std::string quotedForm(const std::string &path)
{
    return replaced(path, '\\', "\\\\");
}

// A byte written to a port at a moment of a run.
struct TimedWrite {
    std::chrono::milliseconds at;
    std::int32_t port;
    std::uint8_t value;
    bool operator==(const TimedWrite &) const = default;
};

// "160=2@1000 162=2@1000 ...": the first `count` writes.
inline std::string writesText(const std::vector<TimedWrite> &writes,
                              std::size_t count = static_cast<std::size_t>(-1))
{
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < std::min(count, writes.size()); ++i)
        parts.push_back(std::to_string(writes[i].port) + "=" + std::to_string(writes[i].value) + "@"
                        + std::to_string(writes[i].at.count()));
    return join(parts, " ");
}

// The writes of a text as writesText makes it.
inline std::vector<TimedWrite> parseWrites(const std::string &text)
{
    std::vector<TimedWrite> writes;
    for (const std::string &part : words(text)) {
        const std::size_t equals = part.find('=');
        const std::size_t at = part.find('@');
        writes.push_back({std::chrono::milliseconds(std::stoi(part.substr(at + 1))),
                          std::stoi(part.substr(0, equals)),
                          static_cast<std::uint8_t>(std::stoi(part.substr(equals + 1, at - equals - 1)))});
    }
    return writes;
}

// The emulator and the panel at work during a run: port writes due at chosen moments, each made
// once, at the first step of the clock that reaches its time.
class WriteTimeline {
public:
    explicit WriteTimeline(std::vector<TimedWrite> writes)
        : m_writes(std::move(writes))
    {
    }
    template<typename Write>
    void apply(std::chrono::milliseconds now, Write write)
    {
        while (m_next < m_writes.size() && m_writes[m_next].at <= now) {
            write(m_writes[m_next].port, m_writes[m_next].value);
            ++m_next;
        }
    }
    bool done() const { return m_next == m_writes.size(); }

private:
    std::vector<TimedWrite> m_writes;
    std::size_t m_next = 0;
};
