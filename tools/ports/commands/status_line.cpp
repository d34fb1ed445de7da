// SPDX-License-Identifier: MIT
#include "commands/status_line.h"

#include "model/grading.h"
#include "model/port_view.h"
#include "model/scenario.h"

#include <iostream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace bexen::ports {

bool isTerminal(const std::ostream &out)
{
    if (&out != &std::cout)
        return false;
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return ::isatty(STDOUT_FILENO) != 0;
#endif
}

StatusLine::StatusLine(std::ostream &out, bool shown)
    : m_out(out)
    , m_shown(shown)
{
}

void StatusLine::show(const std::string &name, Clock::Duration elapsed, Clock::Duration total,
                      const JunctionState &state)
{
    if (!m_shown)
        return;
    std::string text = name + "  " + tenths(elapsed) + " of " + tenths(total) + " s  lights";
    std::string cars;
    int waiting = 0;
    for (int light = 1; light <= kLightCount; ++light) {
        text += " " + std::to_string(light) + ":" + std::string(stateWord(lightOf(state, light)));
        if (carWaiting(state.sensors, light))
            cars += (waiting++ == 0 ? "" : ",") + std::to_string(light);
    }
    text += waiting == 0 ? "  no car waiting"
                         : (waiting == 1 ? "  car waiting at " : "  cars waiting at ") + cars;
    const std::size_t width = text.size();
    if (text.size() < m_width)
        text.append(m_width - text.size(), ' ');
    m_width = width;
    m_out << '\r' << text << std::flush;
}

void StatusLine::clear()
{
    if (!m_shown || m_width == 0)
        return;
    m_out << '\r' << std::string(m_width, ' ') << '\r' << std::flush;
    m_width = 0;
}

} // namespace bexen::ports
