// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>

class QPalette;

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

QColor colour(Colour which, const QPalette &desktop);

} // namespace bexen::panel
