// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace bexen::panel {

// What the panel tells those who cannot see it, the same in every front-end: a screen reader
// speaks these as the controls' names, and the lights' names are their tooltips too.

// A state image, by its Image18 index, before the first tick has read its port.
std::string lightNotReadName(int image18Index);

// A state image showing light value `value`, in words: "Light 2, port 161: red".
std::string lightName(int image18Index, int value);

// A legend image, Image11(value): "Value 2: red and yellow".
std::string legendName(int value);

// A sensor box, Check1(check1Index): "Car waiting at light 1".
std::string sensorName(int check1Index);

// Check2, the legend's sample of a sensor box.
std::string sampleSensorName();

} // namespace bexen::panel
