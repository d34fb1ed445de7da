// SPDX-License-Identifier: MIT
#pragma once

#include "colours.h"
#include "junction_facts.h"
#include "pictures/figure.h"
#include "poll_cycle.h"
#include "twips.h"

#include <string_view>

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

constexpr int fontPixels(int hundredthsOfPoint, int dpi = kLayoutDpi)
{
    return (hundredthsOfPoint * dpi + 7200 / 2) / 7200;
}

inline constexpr int kFormFontPixels = fontPixels(kFormFontHundredthsOfPoint);
inline constexpr int kNumberFontPixels = fontPixels(kNumberFontHundredthsOfPoint);

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
    std::string_view name;
    TwipsRect at;
    std::string_view initialText;
    Colour back;
    Colour fore;
    int tabIndex;
    std::string_view spoken; // the accessible name, for those who cannot see where it stands
};

inline constexpr TextBoxRow kTextBoxes[] = {
    {TextBox::Text1, "Text1", {480, 4560, 1455, 285}, "Port 150 to prog", Colour::WindowBackground,
     Colour::Red, 30, "Sensor bits sent to port 150"},
    {TextBox::Text2, "Text2", {840, 3000, 375, 285}, "", Colour::LightGreen, Colour::Red, 32,
     "Value read from port 162, light 3"},
    {TextBox::Text3, "Text3", {1320, 720, 495, 285}, "", Colour::LightGreen, Colour::Red, 33,
     "Value read from port 161, light 2"},
    {TextBox::Text4, "Text4", {4800, 1320, 375, 285}, "", Colour::LightGreen, Colour::Red, 34,
     "Value read from port 160, light 1"},
    {TextBox::Text5, "Text5", {4440, 3720, 375, 285}, "", Colour::LightGreen, Colour::Red, 35,
     "Value read from port 163, light 4"},
};

inline constexpr int kCheckBoxWidthTwips = 135;
inline constexpr int kCheckBoxHeightTwips = 195;

// index -1: a single control, not an element of an array.
struct CheckBoxRow {
    std::string_view name;
    int index;
    TwipsPoint at;
    std::string_view caption;
    Colour back;
    Colour fore;
    int tabIndex;
};

inline constexpr CheckBoxRow kCheckBoxes[] = {
    {"Check1", 0, {4200, 2040}, "Check1", Colour::Red, Colour::Red, 11},
    {"Check1", 1, {2760, 1080}, "Check1", Colour::Red, Colour::ButtonText, 12},
    {"Check1", 2, {1800, 2520}, "Check1", Colour::Red, Colour::ButtonText, 13},
    {"Check1", 3, {3240, 3480}, "Check1", Colour::Red, Colour::ButtonText, 14},
    // The legend's sample of a sensor box, above "V for car"; the tick never reads it.
    {"Check2", -1, {240, 5160}, "Check2", Colour::ButtonFace, Colour::ButtonText, 15},
};

struct PictureBoxRow {
    std::string_view name;
    int index;
    TwipsRect at;
    Colour back;
    int tabIndex;
    Figure figure;
    std::string_view spoken;
};

// The vehicles lie on the road and share its yellow; the pedestrians stand on the green blocks.
inline constexpr PictureBoxRow kPictureBoxes[] = {
    {"Picture1", 0, {4440, 1920, 1455, 375}, Colour::LightYellow, 0, Figure::Vehicle1,
     "Car approaching light 1 from the east"},
    {"Picture1", 1, {2520, 120, 495, 975}, Colour::LightYellow, 1, Figure::Vehicle2,
     "Car approaching light 2 from the north"},
    {"Picture1", 2, {360, 2400, 1215, 375}, Colour::LightYellow, 2, Figure::Vehicle3,
     "Tow truck approaching light 3 from the west"},
    {"Picture1", 3, {3000, 3720, 495, 1095}, Colour::LightYellow, 3, Figure::Vehicle4,
     "Bus approaching light 4 from the south"},
    {"Picture2", -1, {3720, 720, 375, 615}, Colour::LightGreen, 4, Figure::Man,
     "Man with a briefcase on the north-east corner"},
    {"Picture3", -1, {2040, 3000, 375, 615}, Colour::LightGreen, 5, Figure::WomanWithChild,
     "Woman carrying a child on the south-west corner"},
    {"Picture4", -1, {4200, 3000, 375, 615}, Colour::LightGreen, 6, Figure::WomanWithPram,
     "Woman pushing a pram on the south-east corner"},
};

// Every image is exactly one light picture, 12 by 29 pixels.
inline constexpr int kImageWidthTwips = 180;
inline constexpr int kImageHeightTwips = 435;

struct ImageRow {
    std::string_view name;
    int index;
    TwipsPoint at;
};

inline constexpr ImageRow kImages[] = {
    {"Image18", 0, {3720, 3360}},
    {"Image18", 1, {4080, 1320}},
    {"Image18", 2, {2280, 840}},
    {"Image18", 3, {1800, 3000}},
    // The legend row under "Value for output", and the store the tick copies light pictures from.
    {"Image11", 0, {4320, 5400}},
    {"Image11", 1, {4680, 5400}},
    {"Image11", 2, {5040, 5400}},
    {"Image11", 3, {5400, 5400}},
    {"Image11", 4, {5760, 5400}},
};

enum class Align { Left, Right, Centre };
enum class LabelFont { Default, BoldNumber, Underlined };

struct LabelRow {
    std::string_view name;
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
    {"Label1", "1", {4560, 1320, 255, 255}, Align::Left, Colour::LightGreen, Colour::ButtonText,
     LabelFont::BoldNumber, true, 7},
    {"Label2", "2", {1800, 720, 255, 255}, Align::Right, Colour::LightGreen, Colour::ButtonText,
     LabelFont::BoldNumber, true, 8},
    {"Label3", "3", {1200, 3000, 255, 255}, Align::Right, Colour::LightGreen, Colour::ButtonText,
     LabelFont::BoldNumber, true, 9},
    {"Label4", "4", {4200, 3720, 255, 255}, Align::Left, Colour::LightGreen, Colour::ButtonText,
     LabelFont::BoldNumber, true, 10},
    {"Label5", kLabel5Caption, {600, 5040, 1455, 855}, Align::Left, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Default, true, 16},
    {"Label6", kLabel6Caption, {4320, 5880, 1575, 255}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Default, true, 17},
    {"Label7", "Value for output", {4320, 5040, 1575, 255}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Underlined, true, 18},
    {"Label8", "Semaphore", {2280, 4920, 855, 255}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Underlined, true, 19},
    {"Label9", "Out to port", {3240, 4920, 855, 255}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Underlined, true, 20},
    {"Label10", "1", {2280, 5160, 855, 255}, Align::Centre, Colour::ButtonFace, Colour::ButtonText,
     LabelFont::Default, true, 21},
    {"Label11", "160", {3240, 5160, 855, 255}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Default, true, 22},
    {"Label12", "2", {2280, 5400, 855, 255}, Align::Centre, Colour::ButtonFace, Colour::ButtonText,
     LabelFont::Default, true, 23},
    {"Label13", "161", {3240, 5400, 855, 255}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Default, true, 24},
    {"Label14", "3", {2280, 5640, 855, 255}, Align::Centre, Colour::ButtonFace, Colour::ButtonText,
     LabelFont::Default, true, 25},
    {"Label15", "162", {3240, 5640, 855, 255}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Default, true, 26},
    {"Label16", "4", {2280, 5880, 855, 255}, Align::Centre, Colour::ButtonFace, Colour::ButtonText,
     LabelFont::Default, true, 27},
    {"Label17", "163", {3240, 5880, 855, 255}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Default, true, 28},
    {"Label18", "V for car", {240, 5400, 255, 615}, Align::Centre, Colour::ButtonFace,
     Colour::ButtonText, LabelFont::Default, true, 29},
    {"Label19", "Port 150", {120, 4440, 375, 375}, Align::Left, Colour::LightYellow,
     Colour::ButtonText, LabelFont::Default, true, 31},
    // Sized to its caption, so it keeps the caption on one line rather than wrapping it.
    {"Label20", " Updating every 100 milliseconds ", {3720, 4560, 2400, 225}, Align::Left,
     Colour::WindowBackground, Colour::WindowText, LabelFont::Default, false, 36},
};

} // namespace bexen::panel
