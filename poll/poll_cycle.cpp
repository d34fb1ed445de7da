// SPDX-License-Identifier: MIT
#include "poll_cycle.h"

#include "junction_facts.h"
#include "port_channel.h"
#include "tick_path.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace bexen::poll {

BEXEN_TICK_PATH std::uint8_t PortFileAccess::read(std::int32_t port)
{
    return io::READ_IO_BYTE(port);
}

BEXEN_TICK_PATH void PortFileAccess::write(std::int32_t port, std::uint8_t value)
{
    io::WRITE_IO_BYTE(port, value);
}

BEXEN_TICK_PATH std::string decimalText(std::uint8_t value)
{
    char digits[3];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), value);
    return std::string(digits, result.ptr);
}

BEXEN_TICK_PATH void runTick(PanelControls &controls, PortAccess &ports, TickMembers &m)
{
    // The value boxes are read first and the lights a second time afterwards, so a byte the
    // emulator changes in between shows in the box now and in the light at the next tick.
    using junction::lightPort;
    controls.setText(TextBox::Text3, decimalText(ports.read(lightPort(2))));
    controls.setText(TextBox::Text2, decimalText(ports.read(lightPort(3))));
    controls.setText(TextBox::Text5, decimalText(ports.read(lightPort(4))));
    m.lightState[0] = ports.read(lightPort(1));
    controls.setText(TextBox::Text4, "  ");
    controls.setText(TextBox::Text4, decimalText(static_cast<std::uint8_t>(m.lightState[0])));
    m.lightState[1] = ports.read(lightPort(2));
    m.lightState[2] = ports.read(lightPort(3));
    m.lightState[3] = ports.read(lightPort(4));

    // Any byte that is not a light value shows as a dark light; the value box keeps the raw number.
    for (auto &state : m.lightState)
        state = static_cast<std::int16_t>(junction::shownLightValue(state));

    // Light 4's state image is element 0 of the array; lights 1 to 3 match their index.
    constexpr int kStateImageOfLight[4] = {1, 2, 3, 0};
    for (int light = 0; light < 4; ++light) {
        m.pictureIndex = m.lightState[light];
        controls.showLegendPicture(kStateImageOfLight[light], m.pictureIndex);
    }

    for (int k = 0; k < 4; ++k) {
        m.sensorBit[k] = controls.checkValue(k) != 0 ? 1 : 0; // greyed counts as ticked
        m.bitText[k].assign({' ', static_cast<char>('0' + m.sensorBit[k])});
    }

    // Bits 7 to 4 are always 0; bit 3 down to bit 0 follow, one blank before each digit: always
    // 16 characters, put together where they stand rather than through temporary texts.
    std::array<char, 16> text1{'0', ' ', '0', ' ', '0', ' ', '0', ' '};
    auto next = text1.begin() + 8;
    for (int k = 3; k >= 0; --k)
        next = std::copy(m.bitText[k].begin(), m.bitText[k].end(), next);
    controls.setText(TextBox::Text1, std::string_view(text1.data(), text1.size()));

    m.sensorValue = static_cast<std::int16_t>(m.sensorBit[0] + 2 * m.sensorBit[1]
                                              + 4 * m.sensorBit[2] + 8 * m.sensorBit[3]);
    m.sensorByte = static_cast<std::uint8_t>(m.sensorValue);
    ports.write(junction::kSensorPort, m.sensorByte);
}

} // namespace bexen::poll
