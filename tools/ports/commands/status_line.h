// SPDX-License-Identifier: MIT
#pragma once

#include "junction_facts.h"
#include "shared/clock.h"

#include <cstddef>
#include <ostream>
#include <string>

namespace bexen::ports {

// Whether `out` is the standard output and that is a terminal, where a status line can be drawn.
bool isTerminal(const std::ostream &out);

// The line a terminal shows while a scenario runs, drawn over itself, and blanked before a
// verdict is printed in its place.
class StatusLine {
public:
    StatusLine(std::ostream &out, bool shown);

    void show(const std::string &name, Clock::Duration elapsed, Clock::Duration total,
              const junction::JunctionState &state);
    void clear();

private:
    std::ostream &m_out;
    bool m_shown;
    std::size_t m_width = 0;
};

} // namespace bexen::ports
