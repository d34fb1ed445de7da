// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>

namespace bexen::panel {

// The colours the panel's controls are given: a few fixed ones, and the desktop's own colours
// for the roles a control takes when nothing else is set.
enum class Colour {
    LightYellow, // the road surface and window background
    LightGreen, // the corner blocks, and whatever stands on them
    DarkGreen, // the kerb of the corner blocks
    Red,
    ButtonFace,
    ButtonText,
    WindowBackground, // the background of a text box, white on most desktops
    WindowText,
};

struct Rgb {
    std::uint8_t r;
    std::uint8_t g;
    std::uint8_t b;

    friend constexpr bool operator==(const Rgb &, const Rgb &) = default;
};

// The panel's own colours; nothing for the four desktop roles, which each front-end asks its
// desktop for.
constexpr std::optional<Rgb> fixedRgb(Colour which)
{
    switch (which) {
    case Colour::LightYellow:
        return Rgb{255, 255, 192};
    case Colour::LightGreen:
        return Rgb{128, 255, 128};
    case Colour::DarkGreen:
        return Rgb{0, 128, 0};
    case Colour::Red:
        return Rgb{255, 0, 0};
    case Colour::ButtonFace:
    case Colour::ButtonText:
    case Colour::WindowBackground:
    case Colour::WindowText:
        break;
    }
    return std::nullopt;
}

} // namespace bexen::panel
