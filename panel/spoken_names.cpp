// SPDX-License-Identifier: MIT
#include "spoken_names.h"

#include "form1_tables.h"
#include "pictures/light_pictures.h"

#include <cstddef>

namespace bexen::panel {
namespace {

// The light whose state image or sensor box is `index` in its array: the arrays do not follow
// the light numbers.
const LightRow &lightOfImage18(int index)
{
    return kLights[kLightOfImage18.at(static_cast<std::size_t>(index))];
}

std::string lightSaying(int image18Index, const std::string &state)
{
    const LightRow &light = lightOfImage18(image18Index);
    return "Light " + std::to_string(light.light) + ", port " + std::to_string(light.port) + ": " + state;
}

} // namespace

std::string lightNotReadName(int image18Index)
{
    return lightSaying(image18Index, "not read yet");
}

std::string lightName(int image18Index, int value)
{
    return lightSaying(image18Index, pictures::lightStateWords(value));
}

std::string legendName(int value)
{
    return "Value " + std::to_string(value) + ": " + pictures::lightStateWords(value);
}

std::string sensorName(int check1Index)
{
    return "Car waiting at light " + std::to_string(kLights[kLightOfCheck1.at(static_cast<std::size_t>(check1Index))].light);
}

std::string sampleSensorName()
{
    return "Sample sensor box of the legend";
}

} // namespace bexen::panel
