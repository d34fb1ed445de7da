// SPDX-License-Identifier: MIT
#pragma once

#include "commands/controller.h"
#include "model/grading.h"

#include <cstddef>
#include <functional>
#include <string>

namespace bexen::ports {

// What the controller printed, gathered for the scenario that runs meanwhile, for the reports,
// and passed on line by line as it comes when the user asked to see it.
class ControllerCapture {
public:
    // Complete lines, each marked as the controller's ("controller: ", "controller (stderr): ").
    using Echo = std::function<void(bool fromStderr, const std::string &lines)>;
    static constexpr std::size_t kKeptPerScenario = std::size_t{64} * 1024;

    explicit ControllerCapture(Echo echo = {}, std::size_t kept = kKeptPerScenario);

    void add(const ControllerOutput &output);
    // The scenario's share, with a line saying how much was left out, appended to its result;
    // the next share starts empty. Lines left unfinished are echoed as they stand.
    void handOver(ScenarioResult &result);

private:
    struct Stream {
        std::string kept;
        std::size_t leftOut = 0;
        std::string unfinished; // the echo's line not yet ended
    };
    void addTo(Stream &stream, bool fromStderr, const std::string &text, std::size_t dropped);
    void echoLines(Stream &stream, bool fromStderr, bool all);

    Echo m_echo;
    std::size_t m_kept;
    Stream m_out;
    Stream m_err;
};

} // namespace bexen::ports
