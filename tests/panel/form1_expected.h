// SPDX-License-Identifier: MIT
#pragma once
// Form1 as both front-ends must show it: its title, its client area and every control's place at
// 96 dots per inch, worked out by hand from the form's twips at 15 twips to the pixel, and what
// each label and check box says. The Qt panel's tests and the Windows panel's tests read these
// same rows; neither takes them from the panel's own tables.

#include <string_view>

namespace bexen::panel::expected {

// Every twip value on the form is a multiple of 15, so each place below is exact at 96 dots per
// inch, and 15 times it is the twips to scale to any other density.
inline constexpr int kTwipsPerPixel = 15;

inline constexpr std::string_view kTitle = "Bexen  Semaphores";
inline constexpr int kClientWidth = 410;  // 6150 twips
inline constexpr int kClientHeight = 416; // 6240 twips

// The kinds of control, and each control's row among those of its kind, counted as the form
// lists them: the order the Windows panel numbers its child windows in.
enum class Kind { TextBox, CheckBox, PictureBox, Image, Label };

// Wrapped in its box, Label5 reads as a diagram of port 150: the blanks stand the bars and the
// light numbers under the four sensor bits.
inline constexpr std::string_view kLabel5Caption = "Input from port 150"
                                                   "  "
                                                   "0000 x x x x"
                                                   "                       " // 23 blanks
                                                   "|  |  |  |"
                                                   "                       " // 23 blanks
                                                   "4 3 2 1";
static_assert(kLabel5Caption.size() == 96);

// The legend's value digits, spaced under the five light pictures.
inline constexpr std::string_view kLabel6Caption = " 0"
                                                   "      " // 6 blanks
                                                   "1"
                                                   "     " // 5
                                                   "2"
                                                   "      " // 6
                                                   "3"
                                                   "     " // 5
                                                   "4";
static_assert(kLabel6Caption.size() == 28);

struct Control {
    Kind kind;
    int row;
    std::string_view name; // an array's element in brackets: Check1[0]
    int left;
    int top;
    int width;
    int height;
    std::string_view caption; // what a label or check box says; empty for the other kinds
};

inline constexpr Control kControls[] = {
    {Kind::TextBox, 0, "Text1", 32, 304, 97, 19, {}},
    {Kind::TextBox, 1, "Text2", 56, 200, 25, 19, {}},
    {Kind::TextBox, 2, "Text3", 88, 48, 33, 19, {}},
    {Kind::TextBox, 3, "Text4", 320, 88, 25, 19, {}},
    {Kind::TextBox, 4, "Text5", 296, 248, 25, 19, {}},
    {Kind::CheckBox, 0, "Check1[0]", 280, 136, 9, 13, "Check1"},
    {Kind::CheckBox, 1, "Check1[1]", 184, 72, 9, 13, "Check1"},
    {Kind::CheckBox, 2, "Check1[2]", 120, 168, 9, 13, "Check1"},
    {Kind::CheckBox, 3, "Check1[3]", 216, 232, 9, 13, "Check1"},
    {Kind::CheckBox, 4, "Check2", 16, 344, 9, 13, "Check2"},
    {Kind::PictureBox, 0, "Picture1[0]", 296, 128, 97, 25, {}},
    {Kind::PictureBox, 1, "Picture1[1]", 168, 8, 33, 65, {}},
    {Kind::PictureBox, 2, "Picture1[2]", 24, 160, 81, 25, {}},
    {Kind::PictureBox, 3, "Picture1[3]", 200, 248, 33, 73, {}},
    {Kind::PictureBox, 4, "Picture2", 248, 48, 25, 41, {}},
    {Kind::PictureBox, 5, "Picture3", 136, 200, 25, 41, {}},
    {Kind::PictureBox, 6, "Picture4", 280, 200, 25, 41, {}},
    {Kind::Image, 0, "Image18[0]", 248, 224, 12, 29, {}},
    {Kind::Image, 1, "Image18[1]", 272, 88, 12, 29, {}},
    {Kind::Image, 2, "Image18[2]", 152, 56, 12, 29, {}},
    {Kind::Image, 3, "Image18[3]", 120, 200, 12, 29, {}},
    {Kind::Image, 4, "Image11[0]", 288, 360, 12, 29, {}},
    {Kind::Image, 5, "Image11[1]", 312, 360, 12, 29, {}},
    {Kind::Image, 6, "Image11[2]", 336, 360, 12, 29, {}},
    {Kind::Image, 7, "Image11[3]", 360, 360, 12, 29, {}},
    {Kind::Image, 8, "Image11[4]", 384, 360, 12, 29, {}},
    {Kind::Label, 0, "Label1", 304, 88, 17, 17, "1"},
    {Kind::Label, 1, "Label2", 120, 48, 17, 17, "2"},
    {Kind::Label, 2, "Label3", 80, 200, 17, 17, "3"},
    {Kind::Label, 3, "Label4", 280, 248, 17, 17, "4"},
    {Kind::Label, 4, "Label5", 40, 336, 97, 57, kLabel5Caption},
    {Kind::Label, 5, "Label6", 288, 392, 105, 17, kLabel6Caption},
    {Kind::Label, 6, "Label7", 288, 336, 105, 17, "Value for output"},
    {Kind::Label, 7, "Label8", 152, 328, 57, 17, "Semaphore"},
    {Kind::Label, 8, "Label9", 216, 328, 57, 17, "Out to port"},
    // The bottom strip's table: light k in Label(8 + 2k), its port 159 + k in Label(9 + 2k).
    {Kind::Label, 9, "Label10", 152, 344, 57, 17, "1"},
    {Kind::Label, 10, "Label11", 216, 344, 57, 17, "160"},
    {Kind::Label, 11, "Label12", 152, 360, 57, 17, "2"},
    {Kind::Label, 12, "Label13", 216, 360, 57, 17, "161"},
    {Kind::Label, 13, "Label14", 152, 376, 57, 17, "3"},
    {Kind::Label, 14, "Label15", 216, 376, 57, 17, "162"},
    {Kind::Label, 15, "Label16", 152, 392, 57, 17, "4"},
    {Kind::Label, 16, "Label17", 216, 392, 57, 17, "163"},
    {Kind::Label, 17, "Label18", 16, 360, 17, 41, "V for car"},
    {Kind::Label, 18, "Label19", 8, 296, 25, 25, "Port 150"},
    // Its blanks are part of the caption.
    {Kind::Label, 19, "Label20", 248, 304, 160, 15, " Updating every 100 milliseconds "},
};

} // namespace bexen::panel::expected
