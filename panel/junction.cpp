// SPDX-License-Identifier: MIT
#include "junction.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace bexen::panel {
namespace {

struct ShapeRow {
    int number; // ShapeN
    int index; // element of the Shape1 array, -1 for the single shapes
    TwipsRect at;
    Colour border;
    int borderPixels;
    std::optional<Colour> fill;
};

// Back to front: the blocks, then the frames and sensor zones drawn over them.
constexpr ShapeRow kShapes[] = {
    {2, -1, {3600, 360, 2295, 1455}, Colour::DarkGreen, 3, Colour::LightGreen}, // north-east block
    {3, -1, {240, 2880, 2295, 1455}, Colour::DarkGreen, 3, Colour::LightGreen}, // south-west block
    {4, -1, {240, 360, 2295, 1455}, Colour::DarkGreen, 3, Colour::LightGreen}, // north-west block
    {5, -1, {3600, 2880, 2295, 1455}, Colour::DarkGreen, 3, Colour::LightGreen}, // south-east block
    {1, 0, {2640, 600, 375, 735}, Colour::WindowText, 1, std::nullopt}, // sensor zone, light 2
    {1, 1, {4080, 1920, 855, 375}, Colour::WindowText, 1, std::nullopt}, // sensor zone, light 1
    {1, 2, {1200, 2400, 855, 375}, Colour::WindowText, 1, std::nullopt}, // sensor zone, light 3
    {1, 3, {3120, 3360, 375, 735}, Colour::WindowText, 1, std::nullopt}, // sensor zone, light 4
    {6, -1, {120, 4920, 1935, 1215}, Colour::WindowText, 1, std::nullopt}, // port 150 diagram
    {7, -1, {4200, 4920, 1815, 1215}, Colour::WindowText, 1, std::nullopt}, // light-value legend
    {8, -1, {2160, 4920, 2055, 1215}, Colour::WindowText, 1, std::nullopt}, // light-to-port table
};

struct LineRow {
    int number; // LineN
    TwipsPoint from;
    TwipsPoint to;
    int widthPixels;
};

constexpr int kRoadMarking = 2;
constexpr int kZebraStripe = 5;
constexpr int kArrow = 1;

constexpr LineRow kLines[] = {
    // Centre line and stop line of each arm; traffic keeps to the right, so each stop line runs
    // from the end of the centre line across the approach lane to the kerb.
    {4, {3120, 360}, {3120, 1800}, kRoadMarking},
    {8, {3120, 1800}, {2520, 1800}, kRoadMarking},
    {6, {3600, 2400}, {5880, 2400}, kRoadMarking},
    {1, {3600, 1800}, {3600, 2400}, kRoadMarking},
    {5, {3000, 2880}, {3000, 4320}, kRoadMarking},
    {2, {3600, 2880}, {3000, 2880}, kRoadMarking},
    {7, {240, 2280}, {2520, 2280}, kRoadMarking},
    {3, {2520, 2280}, {2520, 2880}, kRoadMarking},
    // Zebra crossing, east arm.
    {9, {3960, 1920}, {3720, 1920}, kZebraStripe},
    {10, {3960, 2040}, {3720, 2040}, kZebraStripe},
    {11, {3960, 2160}, {3720, 2160}, kZebraStripe},
    {12, {3960, 2280}, {3720, 2280}, kZebraStripe},
    {13, {3960, 2400}, {3720, 2400}, kZebraStripe},
    {14, {3960, 2520}, {3720, 2520}, kZebraStripe},
    {15, {3960, 2640}, {3720, 2640}, kZebraStripe},
    {16, {3960, 2760}, {3720, 2760}, kZebraStripe},
    // Zebra crossing, west arm.
    {17, {2400, 2760}, {2160, 2760}, kZebraStripe},
    {18, {2400, 2640}, {2160, 2640}, kZebraStripe},
    {19, {2400, 2520}, {2160, 2520}, kZebraStripe},
    {20, {2400, 2400}, {2160, 2400}, kZebraStripe},
    {21, {2400, 2280}, {2160, 2280}, kZebraStripe},
    {22, {2400, 2160}, {2160, 2160}, kZebraStripe},
    {23, {2400, 2040}, {2160, 2040}, kZebraStripe},
    {24, {2400, 1920}, {2160, 1920}, kZebraStripe},
    // Zebra crossing, south arm.
    {25, {3120, 3240}, {3120, 3000}, kZebraStripe},
    {26, {2760, 3240}, {2760, 3000}, kZebraStripe},
    {27, {2880, 3240}, {2880, 3000}, kZebraStripe},
    {28, {3000, 3240}, {3000, 3000}, kZebraStripe},
    {29, {2640, 3240}, {2640, 3000}, kZebraStripe},
    {30, {3240, 3240}, {3240, 3000}, kZebraStripe},
    {31, {3360, 3240}, {3360, 3000}, kZebraStripe},
    {32, {3480, 3240}, {3480, 3000}, kZebraStripe},
    // Zebra crossing, north arm.
    {33, {2640, 1680}, {2640, 1440}, kZebraStripe},
    {34, {2760, 1680}, {2760, 1440}, kZebraStripe},
    {35, {2880, 1680}, {2880, 1440}, kZebraStripe},
    {36, {3000, 1680}, {3000, 1440}, kZebraStripe},
    {37, {3120, 1680}, {3120, 1440}, kZebraStripe},
    {38, {3240, 1680}, {3240, 1440}, kZebraStripe},
    {39, {3360, 1680}, {3360, 1440}, kZebraStripe},
    {40, {3480, 1680}, {3480, 1440}, kZebraStripe},
    // The direction of each light's traffic, beside its number: light 1 west, 2 south,
    // 3 east, 4 north.
    {47, {4320, 1560}, {4560, 1560}, kArrow},
    {48, {4320, 1560}, {4440, 1680}, kArrow},
    {49, {4320, 1560}, {4440, 1440}, kArrow},
    {50, {2040, 960}, {2040, 1200}, kArrow},
    {51, {1920, 1080}, {2040, 1200}, kArrow},
    {52, {2040, 1200}, {2160, 1080}, kArrow},
    {44, {1440, 3120}, {1680, 3120}, kArrow},
    {45, {1560, 3000}, {1680, 3120}, kArrow},
    {46, {1560, 3240}, {1680, 3120}, kArrow},
    {41, {4080, 3600}, {4080, 3840}, kArrow},
    {42, {4080, 3600}, {4200, 3720}, kArrow},
    {43, {3960, 3720}, {4080, 3600}, kArrow},
};

// A shape's border lies inside its rectangle, so a thick kerb never spills onto the road.
void addShape(std::vector<Fill> &fills, const ShapeRow &shape, int dpi)
{
    const PixelRect outer = shape.at.toPixels(dpi);
    const int b = scaledLineWidth(shape.borderPixels, dpi);
    if (shape.fill)
        fills.push_back({{outer.left + b, outer.top + b, outer.width - 2 * b, outer.height - 2 * b},
                         *shape.fill});
    fills.push_back({{outer.left, outer.top, outer.width, b}, shape.border});
    fills.push_back({{outer.left, outer.bottom() - b, outer.width, b}, shape.border});
    fills.push_back({{outer.left, outer.top, b, outer.height}, shape.border});
    fills.push_back({{outer.right() - b, outer.top, b, outer.height}, shape.border});
}

// A line of width w is centred on its segment: rows (or columns) p - w/2 to p - w/2 + w - 1.
// The road markings are axis-parallel and exact rectangles; an arrow head slants at 45 degrees
// and is a square of the line's width at every pixel step, both ends included.
void addLine(std::vector<Fill> &fills, const LineRow &line, int dpi)
{
    const PixelPoint a = line.from.toPixels(dpi);
    const PixelPoint b = line.to.toPixels(dpi);
    const int w = scaledLineWidth(line.widthPixels, dpi);
    const int spread = w / 2;
    constexpr Colour ink = Colour::WindowText;
    if (a.y == b.y) {
        fills.push_back({{std::min(a.x, b.x), a.y - spread, std::abs(b.x - a.x), w}, ink});
    } else if (a.x == b.x) {
        fills.push_back({{a.x - spread, std::min(a.y, b.y), w, std::abs(b.y - a.y)}, ink});
    } else {
        const int steps = std::max(std::abs(b.x - a.x), std::abs(b.y - a.y));
        for (int i = 0; i <= steps; ++i) {
            const int x = a.x + (b.x - a.x) * i / steps;
            const int y = a.y + (b.y - a.y) * i / steps;
            fills.push_back({{x - spread, y - spread, w, w}, ink});
        }
    }
}

} // namespace

std::vector<Fill> junctionFills(int dpi)
{
    std::vector<Fill> fills;
    fills.reserve(std::size(kShapes) * 5 + std::size(kLines) + std::size_t{32} * 3);
    for (const ShapeRow &shape : kShapes)
        addShape(fills, shape, dpi);
    for (const LineRow &line : kLines)
        addLine(fills, line, dpi);
    return fills;
}

} // namespace bexen::panel
