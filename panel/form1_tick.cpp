// SPDX-License-Identifier: MIT
#include "form1_tick.h"

namespace bexen::panel {
namespace {

std::size_t indexOf(poll::TextBox box)
{
    return static_cast<std::size_t>(box);
}

} // namespace

Form1Tick::Form1Tick(Form1View &view, poll::PortAccess &ports)
    : m_view(view)
    , m_ports(ports)
{
}

void Form1Tick::run()
{
    for (auto &text : m_tickTexts)
        text.reset();
    poll::runTick(*this, m_ports, m_members);
    for (std::size_t i = 0; i < m_tickTexts.size(); ++i) {
        std::optional<std::string> &wanted = m_tickTexts[i];
        if (!wanted || m_shownTexts[i] == wanted)
            continue;
        m_shownTexts[i] = std::move(wanted);
        m_view.showText(static_cast<poll::TextBox>(i), *m_shownTexts[i]);
    }
}

void Form1Tick::textChanged(poll::TextBox box, std::string_view now)
{
    std::optional<std::string> &shown = m_shownTexts.at(indexOf(box));
    if (shown && *shown != now)
        shown.reset();
}

void Form1Tick::setText(poll::TextBox box, std::string_view text)
{
    m_tickTexts.at(indexOf(box)).emplace(text);
}

int Form1Tick::checkValue(int check1Index) const
{
    return m_view.checkValue(check1Index);
}

void Form1Tick::showLegendPicture(int image18Index, int image11Index)
{
    int &shown = m_shownPictures.at(static_cast<std::size_t>(image18Index));
    if (shown == image11Index)
        return;
    shown = image11Index;
    m_view.showLightPicture(image18Index, image11Index);
}

} // namespace bexen::panel
