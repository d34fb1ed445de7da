// SPDX-License-Identifier: MIT
#pragma once

#include "caption_wrap.h"
#include "colours.h"
#include "junction_facts.h"
#include "pictures/figure.h"
#include "poll_cycle.h"
#include "twips.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

namespace bexen::panel {

using poll::TextBox;
using pictures::Figure;

// The client area of Form1, 410 by 416 pixels.
inline constexpr int kFormWidthTwips = 6150;
inline constexpr int kFormHeightTwips = 6240;
inline constexpr std::string_view kFormCaption = "Bexen  Semaphores";

// "MS Sans Serif" 8.25 points for the form, 12 points bold for the light numbers. A font's size
// in pixels is its points at the screen's density, 72 points to the inch: 11 and 16 pixels at 96.
inline constexpr std::string_view kFormFontFamily = "MS Sans Serif";
inline constexpr int kFormFontHundredthsOfPoint = 825;
inline constexpr int kNumberFontHundredthsOfPoint = 1200;

inline constexpr int kFormFontPixels = fontPixels(kFormFontHundredthsOfPoint);

inline constexpr int kTimer1IntervalMs = 100;

// Each light of the junction and the controls that belong to it. The array indexes do not follow
// the light numbers: light 4's state image is Image18(0).
struct LightRow {
    int light;
    int port;
    TextBox valueBox;
    int image18;
    int check1;
};

inline constexpr LightRow kLights[] = {
    {1, junction::lightPort(1), TextBox::Text4, 1, 0},
    {2, junction::lightPort(2), TextBox::Text3, 2, 1},
    {3, junction::lightPort(3), TextBox::Text2, 3, 2},
    {4, junction::lightPort(4), TextBox::Text5, 0, 3},
};

struct TextBoxRow {
    TextBox box;
    TwipsRect at;
    std::string_view initialText;
    Colour back;
    Colour fore;
    int tabIndex;
    std::string_view spoken; // the accessible name, for those who cannot see where it stands
};

inline constexpr TextBoxRow kTextBoxes[] = {
    {TextBox::Text1, {480, 4560, 1455, 285}, "Port 150 to prog", Colour::WindowBackground,
     Colour::Red, 30, "Sensor bits sent to port 150"},
    {TextBox::Text2, {840, 3000, 375, 285}, "", Colour::LightGreen, Colour::Red, 32,
     "Value read from port 162, light 3"},
    {TextBox::Text3, {1320, 720, 495, 285}, "", Colour::LightGreen, Colour::Red, 33,
     "Value read from port 161, light 2"},
    {TextBox::Text4, {4800, 1320, 375, 285}, "", Colour::LightGreen, Colour::Red, 34,
     "Value read from port 160, light 1"},
    {TextBox::Text5, {4440, 3720, 375, 285}, "", Colour::LightGreen, Colour::Red, 35,
     "Value read from port 163, light 4"},
};

inline constexpr int kCheckBoxWidthTwips = 135;
inline constexpr int kCheckBoxHeightTwips = 195;

// Check1(0) to Check1(3) are the car sensors the tick reads; Check2 is the legend's sample of one.
enum class CheckRole { Sensor, LegendSample };

struct CheckBoxRow {
    CheckRole role;
    int index; // the Check1 element of a sensor
    TwipsPoint at;
    std::string_view caption;
    Colour back;
    Colour fore;
    int tabIndex;

    constexpr TwipsRect rect() const { return {at.x, at.y, kCheckBoxWidthTwips, kCheckBoxHeightTwips}; }
};

inline constexpr CheckBoxRow kCheckBoxes[] = {
    {CheckRole::Sensor, 0, {4200, 2040}, "Check1", Colour::Red, Colour::Red, 11},
    {CheckRole::Sensor, 1, {2760, 1080}, "Check1", Colour::Red, Colour::ButtonText, 12},
    {CheckRole::Sensor, 2, {1800, 2520}, "Check1", Colour::Red, Colour::ButtonText, 13},
    {CheckRole::Sensor, 3, {3240, 3480}, "Check1", Colour::Red, Colour::ButtonText, 14},
    // The legend's sample of a sensor box, above "V for car"; the tick never reads it.
    {CheckRole::LegendSample, 0, {240, 5160}, "Check2", Colour::ButtonFace, Colour::ButtonText, 15},
};

// Each picture box holds its own figure, which names it: the four vehicles are Picture1(0) to
// Picture1(3), the three pedestrians Picture2 to Picture4.
struct PictureBoxRow {
    TwipsRect at;
    Colour back;
    int tabIndex;
    Figure figure;
    std::string_view spoken;
};

// The vehicles lie on the road and share its yellow; the pedestrians stand on the green blocks.
inline constexpr PictureBoxRow kPictureBoxes[] = {
    {{4440, 1920, 1455, 375}, Colour::LightYellow, 0, Figure::Vehicle1,
     "Car approaching light 1 from the east"},
    {{2520, 120, 495, 975}, Colour::LightYellow, 1, Figure::Vehicle2,
     "Car approaching light 2 from the north"},
    {{360, 2400, 1215, 375}, Colour::LightYellow, 2, Figure::Vehicle3,
     "Tow truck approaching light 3 from the west"},
    {{3000, 3720, 495, 1095}, Colour::LightYellow, 3, Figure::Vehicle4,
     "Bus approaching light 4 from the south"},
    {{3720, 720, 375, 615}, Colour::LightGreen, 4, Figure::Man,
     "Man with a briefcase on the north-east corner"},
    {{2040, 3000, 375, 615}, Colour::LightGreen, 5, Figure::WomanWithChild,
     "Woman carrying a child on the south-west corner"},
    {{4200, 3000, 375, 615}, Colour::LightGreen, 6, Figure::WomanWithPram,
     "Woman pushing a pram on the south-east corner"},
};

// Every image is exactly one light picture, 12 by 29 pixels.
inline constexpr int kImageWidthTwips = 180;
inline constexpr int kImageHeightTwips = 435;

// Image18(0) to Image18(3) show the lights' states; Image11(0) to Image11(4) are the legend row.
enum class ImageRole { LightState, Legend };

struct ImageRow {
    ImageRole role;
    int index;
    TwipsPoint at;

    constexpr TwipsRect rect() const { return {at.x, at.y, kImageWidthTwips, kImageHeightTwips}; }
};

inline constexpr ImageRow kImages[] = {
    {ImageRole::LightState, 0, {3720, 3360}},
    {ImageRole::LightState, 1, {4080, 1320}},
    {ImageRole::LightState, 2, {2280, 840}},
    {ImageRole::LightState, 3, {1800, 3000}},
    // The legend row under "Value for output", and the store the tick copies light pictures from.
    {ImageRole::Legend, 0, {4320, 5400}},
    {ImageRole::Legend, 1, {4680, 5400}},
    {ImageRole::Legend, 2, {5040, 5400}},
    {ImageRole::Legend, 3, {5400, 5400}},
    {ImageRole::Legend, 4, {5760, 5400}},
};

enum class LabelFont { Default, BoldNumber, Underlined };

struct LabelRow {
    int number; // Label1 to Label20
    std::string_view caption;
    TwipsRect at;
    Align align;
    Colour back;
    Colour fore;
    LabelFont font;
    bool wraps;
    int tabIndex; // kept for the record: labels never take the focus
};

// Wrapped in its narrow box, this caption stands as a small diagram: the port, its eight bits
// with the high four always 0, bars under the four sensor bits and the light of each bit.
inline constexpr std::string_view kLabel5Caption =
    "Input from port 150  0000 x x x x                       |  |  |  |                       4 3 2 1";

// The blanks space the digits under the five legend pictures.
inline constexpr std::string_view kLabel6Caption = " 0      1     2      3     4";

inline constexpr LabelRow kLabels[] = {
    {1, "1", {4560, 1320, 255, 255}, Align::Left, Colour::LightGreen, Colour::ButtonText,
     LabelFont::BoldNumber, true, 7},
    {2, "2", {1800, 720, 255, 255}, Align::Right, Colour::LightGreen, Colour::ButtonText,
     LabelFont::BoldNumber, true, 8},
    {3, "3", {1200, 3000, 255, 255}, Align::Right, Colour::LightGreen, Colour::ButtonText,
     LabelFont::BoldNumber, true, 9},
    {4, "4", {4200, 3720, 255, 255}, Align::Left, Colour::LightGreen, Colour::ButtonText,
     LabelFont::BoldNumber, true, 10},
    {5, kLabel5Caption, {600, 5040, 1455, 855}, Align::Left, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Default, true, 16},
    {6, kLabel6Caption, {4320, 5880, 1575, 255}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Default, true, 17},
    {7, "Value for output", {4320, 5040, 1575, 255}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Underlined, true, 18},
    {8, "Semaphore", {2280, 4920, 855, 255}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Underlined, true, 19},
    {9, "Out to port", {3240, 4920, 855, 255}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Underlined, true, 20},
    {10, "1", {2280, 5160, 855, 255}, Align::Centre, Colour::ButtonFace, Colour::ButtonText,
     LabelFont::Default, true, 21},
    {11, "160", {3240, 5160, 855, 255}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Default, true, 22},
    {12, "2", {2280, 5400, 855, 255}, Align::Centre, Colour::ButtonFace, Colour::ButtonText,
     LabelFont::Default, true, 23},
    {13, "161", {3240, 5400, 855, 255}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Default, true, 24},
    {14, "3", {2280, 5640, 855, 255}, Align::Centre, Colour::ButtonFace, Colour::ButtonText,
     LabelFont::Default, true, 25},
    {15, "162", {3240, 5640, 855, 255}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Default, true, 26},
    {16, "4", {2280, 5880, 855, 255}, Align::Centre, Colour::ButtonFace, Colour::ButtonText,
     LabelFont::Default, true, 27},
    {17, "163", {3240, 5880, 855, 255}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Default, true, 28},
    {18, "V for car", {240, 5400, 255, 615}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Default, true, 29},
    {19, "Port 150", {120, 4440, 375, 375}, Align::Left, Colour::LightYellow,
     Colour::ButtonText, LabelFont::Default, true, 31},
    // Sized to its caption, so it keeps the caption on one line rather than wrapping it.
    {20, " Updating every 100 milliseconds ", {3720, 4560, 2400, 225}, Align::Left,
     Colour::WindowBackground, Colour::WindowText, LabelFont::Default, false, 36},
};

// The font size of each kind of label, in hundredths of a point.
constexpr int hundredthsOf(LabelFont font)
{
    return font == LabelFont::BoldNumber ? kNumberFontHundredthsOfPoint : kFormFontHundredthsOfPoint;
}

// The captions that must fit their boxes in a font of the panel: the labels of that font, and for
// the form's own font the text boxes' texts too.
inline std::vector<std::string_view> captionsIn(LabelFont font)
{
    std::vector<std::string_view> captions;
    for (const LabelRow &row : kLabels) {
        if (row.font == font)
            captions.push_back(row.caption);
    }
    if (font == LabelFont::Default) {
        for (const TextBoxRow &row : kTextBoxes)
            captions.push_back(row.initialText);
    }
    return captions;
}

// Which table a control comes from; a control is its table and its row there.
enum class Table { TextBoxes, CheckBoxes, PictureBoxes, Images, Labels };

struct ControlRef {
    Table table;
    std::size_t row;

    friend constexpr bool operator==(const ControlRef &, const ControlRef &) = default;
};

// For each element 0 to Count-1 of a group of controls, the row of `table` that holds it:
// `elementOf(row)` says which element a row is, or -1 for a row outside the group. Evaluated
// while building, so that a table edit that leaves an element without its row, gives it two, or
// adds one beyond the group does not build.
template <std::size_t Count, typename Row, std::size_t N, typename ElementOf>
consteval std::array<std::size_t, Count> rowsOf(const Row (&table)[N], ElementOf elementOf)
{
    std::array<std::size_t, Count> rows{};
    rows.fill(N);
    for (std::size_t i = 0; i < N; ++i) {
        const int element = elementOf(table[i]);
        if (element < 0)
            continue;
        if (static_cast<std::size_t>(element) >= Count)
            throw "a row beyond the group's elements";
        if (rows[static_cast<std::size_t>(element)] != N)
            throw "two rows hold one element";
        rows[static_cast<std::size_t>(element)] = i;
    }
    if (std::ranges::find(rows, N) != rows.end())
        throw "an element has no row";
    return rows;
}

inline constexpr std::size_t kLightRows = std::size(kLights);
static_assert(kLightRows == junction::kLightCount);

// The row of kLights of each Image18 element and of each Check1 element.
inline constexpr auto kLightOfImage18 =
        rowsOf<kLightRows>(kLights, [](const LightRow &row) { return row.image18; });
inline constexpr auto kLightOfCheck1 =
        rowsOf<kLightRows>(kLights, [](const LightRow &row) { return row.check1; });

// The rows of every control the program reaches by its name and index.
inline constexpr auto kTextBoxRows = rowsOf<5>(
        kTextBoxes, [](const TextBoxRow &row) { return static_cast<int>(row.box); });
inline constexpr auto kCheck1Rows = rowsOf<kLightRows>(kCheckBoxes, [](const CheckBoxRow &row) {
    return row.role == CheckRole::Sensor ? row.index : -1;
});
inline constexpr auto kImage18Rows = rowsOf<kLightRows>(kImages, [](const ImageRow &row) {
    return row.role == ImageRole::LightState ? row.index : -1;
});
inline constexpr auto kImage11Rows = rowsOf<junction::kLightValues>(kImages, [](const ImageRow &row) {
    return row.role == ImageRole::Legend ? row.index : -1;
});
inline constexpr auto kLabelRows =
        rowsOf<std::size(kLabels)>(kLabels, [](const LabelRow &row) { return row.number - 1; });
// Each figure in one picture box, which it names.
inline constexpr auto kPictureBoxRows = rowsOf<std::size(kPictureBoxes)>(
        kPictureBoxes, [](const PictureBoxRow &row) { return static_cast<int>(row.figure); });

// The controls that take the focus, in their tab order: the text, check and picture boxes.
inline constexpr std::size_t kTabStopCount =
        std::size(kTextBoxes) + std::size(kCheckBoxes) + std::size(kPictureBoxes);

consteval std::array<ControlRef, kTabStopCount> tabOrder()
{
    struct Stop {
        int tabIndex;
        ControlRef control;
    };
    std::array<Stop, kTabStopCount> stops{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < std::size(kTextBoxes); ++i)
        stops[n++] = {kTextBoxes[i].tabIndex, {Table::TextBoxes, i}};
    for (std::size_t i = 0; i < std::size(kCheckBoxes); ++i)
        stops[n++] = {kCheckBoxes[i].tabIndex, {Table::CheckBoxes, i}};
    for (std::size_t i = 0; i < std::size(kPictureBoxes); ++i)
        stops[n++] = {kPictureBoxes[i].tabIndex, {Table::PictureBoxes, i}};
    std::ranges::sort(stops, {}, &Stop::tabIndex);
    if (std::ranges::adjacent_find(stops, {}, &Stop::tabIndex) != stops.end())
        throw "two controls share a tab index";
    std::array<ControlRef, kTabStopCount> order{};
    std::ranges::transform(stops, order.begin(), &Stop::control);
    return order;
}

inline constexpr std::array<ControlRef, kTabStopCount> kTabOrder = tabOrder();

// Where a control stands in kTabOrder; kTabStopCount for a control that never takes the focus.
constexpr std::size_t tabPosition(ControlRef control)
{
    return static_cast<std::size_t>(std::ranges::find(kTabOrder, control) - kTabOrder.begin());
}

} // namespace bexen::panel
