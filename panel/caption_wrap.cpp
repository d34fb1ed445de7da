// SPDX-License-Identifier: MIT
#include "caption_wrap.h"

namespace bexen::panel {
namespace {

constexpr char kBlank = ' ';

} // namespace

std::vector<std::string> wrapCaption(std::string_view caption, const TextWidth &textWidth,
                                     int boxWidth)
{
    std::vector<std::string> lines;
    std::string line;
    const auto fits = [&](std::string_view more) {
        return textWidth(line + std::string(more)) <= boxWidth;
    };
    const auto breakLine = [&] {
        line.erase(line.find_last_not_of(kBlank) + 1); // the blanks before a break are dropped
        lines.push_back(std::move(line));
        line.clear();
    };

    std::size_t i = 0;
    const std::size_t n = caption.size();
    while (i < n) {
        if (caption[i] == kBlank) {
            if (fits(" "))
                line += kBlank;
            else if (!line.empty())
                breakLine(); // the break takes the place of this blank
            ++i;
            continue;
        }
        std::size_t end = caption.find(kBlank, i);
        if (end == std::string_view::npos)
            end = n;
        const std::string_view word = caption.substr(i, end - i);
        if (!fits(word)) {
            if (line.find_first_not_of(kBlank) == std::string::npos)
                line.clear(); // an indent too deep for the word: the word starts the line
            else
                breakLine();
        }
        line += word;
        i = end;
    }
    lines.push_back(line);
    return lines;
}

int fittedFontPixels(int hundredthsOfPoint, int dpi, const std::vector<std::string_view> &captions,
                     const SizedTextWidth &textWidth)
{
    const int smallest = fontPixels(hundredthsOfPoint, kLayoutDpi);
    std::vector<long> at96;
    at96.reserve(captions.size());
    for (const std::string_view caption : captions)
        at96.push_back(textWidth(smallest, caption));
    const auto fits = [&](int pixels) {
        for (std::size_t i = 0; i < captions.size(); ++i) {
            if (textWidth(pixels, captions[i]) * long{kLayoutDpi} > at96[i] * dpi)
                return false;
        }
        return true;
    };
    return largestFittingPixels(fontPixels(hundredthsOfPoint, dpi), smallest, fits);
}

int largestFittingPixels(int pixels, int smallest, const std::function<bool(int pixels)> &fits)
{
    while (pixels > smallest && !fits(pixels))
        --pixels;
    return pixels;
}

} // namespace bexen::panel
