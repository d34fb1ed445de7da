// SPDX-License-Identifier: MIT
#pragma once

#include "check_box.h"
#include "poll_cycle.h"

#include <array>
#include <string>
#include <string_view>

namespace bexen::panel {

// What a front-end does for Timer1's tick, in its own toolkit's controls.
class Form1View {
public:
    virtual ~Form1View() = default;
    // The box shows `text` from now on.
    virtual void showText(poll::TextBox box, std::string_view text) = 0;
    // Image18(image18Index) shows the legend picture Image11(value), value 0 to 4.
    virtual void showLightPicture(int image18Index, int value) = 0;
    // What Check1(check1Index) holds.
    virtual CheckValue checkValue(int check1Index) const = 0;
};

// Timer1's handler, the same on every front-end: one exchange with the emulator through the port
// file, and what it shows. Within a tick only the last text of each box counts (nothing is drawn
// before the tick returns, so Text4's blanking would only cost a repaint), and nothing already
// shown is set again: a tick in which no byte and no sensor changed touches no control at all.
class Form1Tick final : private poll::PanelControls {
public:
    Form1Tick(Form1View &view, poll::PortAccess &ports);

    void run();

    // The box's text changed by other means than the tick: typed by the user, or set by an
    // accessibility tool. The next tick then sets its text again.
    void textChanged(poll::TextBox box, std::string_view now);

private:
    void setText(poll::TextBox box, std::string_view text) override;
    int checkValue(int check1Index) const override;
    void showLegendPicture(int image18Index, int image11Index) override;

    Form1View &m_view;
    poll::PortAccess &m_ports;
    poll::TickMembers m_members;
    // This tick's last text of each box, and what the tick last showed there. Kept from tick to
    // tick only so that their storage is: a steady tick allocates nothing.
    std::array<std::string, 5> m_tickTexts;
    std::array<bool, 5> m_tickTextSet{};
    std::array<std::string, 5> m_shownTexts;
    std::array<bool, 5> m_shown{}; // false until the tick has shown a text there, or once it changed otherwise
    std::array<int, 4> m_shownPictures{-1, -1, -1, -1}; // -1: the blank start-up picture
};

} // namespace bexen::panel
