// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace bexen::panel {

struct CheckBoxRow;
struct ImageRow;

// What the panel tells those who cannot see it, the same in every front-end: a screen reader
// speaks these as the controls' names, and the lights' names are their tooltips too.

// An image before the first tick: a legend image, Image11(value), says its value ("Value 2: red
// and yellow"); a state image that its light has not been read yet.
std::string imageName(const ImageRow &row);

// A state image showing light value `value`, in words: "Light 2, port 161: red".
std::string lightName(int image18Index, int value);

// A check box: a sensor box, Check1(index), "Car waiting at light 1"; or Check2, the legend's
// sample of one.
std::string checkBoxName(const CheckBoxRow &row);

} // namespace bexen::panel
