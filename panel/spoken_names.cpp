// SPDX-License-Identifier: MIT
#include "spoken_names.h"

#include "form1_tables.h"
#include "pictures/light_pictures.h"

#include <cstddef>

namespace bexen::panel {
namespace {

// A state image's light and what it shows. The light is found through its row, as the Image18
// array does not follow the light numbers.
std::string lightSaying(int image18Index, const std::string &state)
{
    const LightRow &light = kLights[kLightOfImage18.at(static_cast<std::size_t>(image18Index))];
    return "Light " + std::to_string(light.light) + ", port " + std::to_string(light.port) + ": " + state;
}

} // namespace

std::string imageName(const ImageRow &row)
{
    if (row.role == ImageRole::Legend)
        return "Value " + std::to_string(row.index) + ": " + pictures::lightStateWords(row.index);
    return lightSaying(row.index, "not read yet");
}

std::string lightName(int image18Index, int value)
{
    return lightSaying(image18Index, pictures::lightStateWords(value));
}

std::string checkBoxName(const CheckBoxRow &row)
{
    if (row.role == CheckRole::LegendSample)
        return "Sample sensor box of the legend";
    return "Car waiting at light " + std::to_string(kLights[kLightOfCheck1.at(static_cast<std::size_t>(row.index))].light);
}

} // namespace bexen::panel
