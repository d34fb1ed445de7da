// SPDX-License-Identifier: MIT
#include "colours.h"

#include <QPalette>

namespace bexen::panel {

QColor colour(Colour which, const QPalette &desktop)
{
    switch (which) {
    case Colour::LightYellow:
        return {255, 255, 192};
    case Colour::LightGreen:
        return {128, 255, 128};
    case Colour::DarkGreen:
        return {0, 128, 0};
    case Colour::Red:
        return {255, 0, 0};
    case Colour::ButtonFace:
        return desktop.color(QPalette::Active, QPalette::Button);
    case Colour::ButtonText:
        return desktop.color(QPalette::Active, QPalette::ButtonText);
    case Colour::WindowBackground:
        return desktop.color(QPalette::Active, QPalette::Base);
    case Colour::WindowText:
        return desktop.color(QPalette::Active, QPalette::Text);
    }
    return {};
}

} // namespace bexen::panel
