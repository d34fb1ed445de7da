// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace bexen::poll {

enum class TextBox { Text1, Text2, Text3, Text4, Text5 };

// What the tick needs of the window, so that it runs with or without one.
class PanelControls {
public:
    virtual ~PanelControls() = default;
    virtual void setText(TextBox box, std::string_view text) = 0;
    // The value of Check1(index): 0 cleared, 1 ticked, 2 greyed.
    virtual int checkValue(int check1Index) const = 0;
    // Image18(image18Index) takes the picture of the legend image Image11(image11Index).
    virtual void showLegendPicture(int image18Index, int image11Index) = 0;
};

// The two port procedures the tick calls.
class PortAccess {
public:
    virtual ~PortAccess() = default;
    virtual std::uint8_t read(std::int32_t port) = 0;
    virtual void write(std::int32_t port, std::uint8_t value) = 0;
};

// READ_IO_BYTE and WRITE_IO_BYTE on the shared port file.
class PortFileAccess final : public PortAccess {
public:
    std::uint8_t read(std::int32_t port) override;
    void write(std::int32_t port, std::uint8_t value) override;
};

// The window's members that a tick writes, every one rewritten before it is read; nothing in
// them carries over from one tick to the next.
struct TickMembers {
    std::array<std::int16_t, 4> lightState{}; // lights 1 to 4
    std::int16_t pictureIndex = 0;
    std::int16_t sensorValue = 0;
    std::uint8_t sensorByte = 0;
    std::array<int, 4> sensorBit{};
    std::array<std::string, 4> bitText;
};

// One tick of the exchange with the emulator: seven reads, the controls updated, one write.
void runTick(PanelControls &controls, PortAccess &ports, TickMembers &members);

// The decimal text of a port byte, as the value boxes show it.
std::string decimalText(std::uint8_t value);

} // namespace bexen::poll
