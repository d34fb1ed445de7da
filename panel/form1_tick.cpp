// SPDX-License-Identifier: MIT
#include "form1_tick.h"

#include "tick_path.h"

namespace bexen::panel {
namespace {

BEXEN_TICK_PATH std::size_t indexOf(poll::TextBox box)
{
    return static_cast<std::size_t>(box);
}

} // namespace

Form1Tick::Form1Tick(Form1View &view, poll::PortAccess &ports)
    : m_view(view)
    , m_ports(ports)
{
}

BEXEN_TICK_PATH void Form1Tick::run()
{
    m_tickTextSet.fill(false);
    poll::runTick(*this, m_ports, m_members);
    for (std::size_t i = 0; i < m_tickTexts.size(); ++i) {
        if (!m_tickTextSet[i] || (m_shown[i] && m_shownTexts[i] == m_tickTexts[i]))
            continue;
        m_shownTexts[i] = m_tickTexts[i];
        m_shown[i] = true;
        m_view.showText(static_cast<poll::TextBox>(i), m_shownTexts[i]);
    }
}

void Form1Tick::textChanged(poll::TextBox box, std::string_view now)
{
    const std::size_t i = indexOf(box);
    if (m_shown.at(i) && m_shownTexts[i] != now)
        m_shown[i] = false;
}

BEXEN_TICK_PATH void Form1Tick::setText(poll::TextBox box, std::string_view text)
{
    const std::size_t i = indexOf(box);
    m_tickTexts.at(i).assign(text);
    m_tickTextSet[i] = true;
}

BEXEN_TICK_PATH int Form1Tick::checkValue(int check1Index) const
{
    return static_cast<int>(m_view.checkValue(check1Index));
}

BEXEN_TICK_PATH void Form1Tick::showLegendPicture(int image18Index, int image11Index)
{
    int &shown = m_shownPictures.at(static_cast<std::size_t>(image18Index));
    if (shown == image11Index)
        return;
    shown = image11Index;
    m_view.showLightPicture(image18Index, image11Index);
}

} // namespace bexen::panel
