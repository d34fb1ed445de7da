// SPDX-License-Identifier: MIT
#include "reports/chart_svg.h"

#include "reports/xml_text.h"
#include "shared/words.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <functional>

namespace bexen::ports {

namespace {

// The page, in SVG user units (pixels at 100 %): the lanes' labels on the left, the plot on the
// right, the lights above the sensors, the time axis and the legend below.
constexpr double kWidth = 1200;
constexpr double kPlotLeft = 250;
constexpr double kPlotRight = 1170;
constexpr double kLabelRight = kPlotLeft - 12;
constexpr double kMarksTop = 62; // the rows of violation marks
constexpr double kMarkPitch = 16;
constexpr double kFirstMarkCentre = kMarksTop + kMarkPitch / 2;
// Marks closer than this would hide one another: the later one goes a row lower.
constexpr double kMarkClearance = 14;
constexpr int kMarkRows = 3;
constexpr double kLightHeight = 28;
constexpr double kLightPitch = 36;
constexpr double kSensorHeight = 14;
constexpr double kSensorPitch = 24;
constexpr double kLegendPitch = 24;
// Twelve steps at most keep the labels of a long run clear of one another.
constexpr long long kMostSteps = 12;

constexpr std::string_view kRedFill = "#e03131";
constexpr std::string_view kYellowFill = "#f5b800";
constexpr std::string_view kCarFill = "#1c6dd0";
constexpr std::string_view kAxisStroke = "stroke=\"#333333\" stroke-width=\"1\"";

// A light's fill for each value the panel shows; red and yellow shows both lamps, one above the
// other, and a value the panel cannot show is hatched so it cannot pass for a dark light.
constexpr std::array<std::string_view, 5> kLightFills{"#2b2b2b", kRedFill, "url(#red-yellow)",
                                                      kYellowFill, "#2f9e44"};
constexpr std::string_view kOutOfRangeFill = "url(#out-of-range)";

struct MarkStyle {
    std::string_view id; // the mark's class
    std::string_view colour;
    std::string_view shape; // a path drawn from the mark's centre
};

struct RuleStyle {
    Rule rule;
    MarkStyle mark;
};

// Each rule a colour and a shape of its own, so marks that fall together still tell apart.
constexpr std::array<RuleStyle, kRuleCount> kRuleStyles{{
    {Rule::ValueOutOfRange, {"value-out-of-range", "#b5179e", "m-6 -6h12v12h-12z"}},
    {Rule::BothRoadsMoving, {"both-roads-moving", "#d00000", "m-7 -6h14l-7 12z"}},
    {Rule::IllegalChange, {"illegal-change", "#f76707", "m0 -7l7 7l-7 7l-7 -7z"}},
    {Rule::CarLeftWaiting, {"car-left-waiting", "#1864ab", "m-6 0a6 6 0 1 0 12 0a6 6 0 1 0 -12 0z"}},
}};

// A test's expectation that the lights did not meet: a cross, black, unlike any rule's mark.
constexpr MarkStyle kExpectationStyle{
        "failed-expectation", "#212529",
        "m-6 -4l2 -2l4 4l4 -4l2 2l-4 4l4 4l-2 2l-4 -4l-4 4l-2 -2l4 -4z"};

std::string_view lightFill(std::uint8_t value)
{
    return value < kLightFills.size() ? kLightFills[value] : kOutOfRangeFill;
}

// Numbers for coordinates, written the same whatever the user's locale.
std::string num(double value)
{
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                         std::chars_format::fixed, 2);
    std::string text(buffer, ec == std::errc() ? end : buffer);
    while (text.find('.') != std::string::npos && (text.ends_with('0') || text.ends_with('.')))
        text.pop_back();
    return text == "-0" ? "0" : text;
}

// A stretch of time over which one lane keeps one value.
struct Span {
    Clock::Duration from;
    Clock::Duration to;
    int value;
};

// The spans of one lane inside the window, neighbours of the same value joined.
std::vector<Span> spansOf(const ChartInput &in, const std::function<int(const JunctionState &)> &valueOf)
{
    std::vector<Span> spans;
    const auto &states = in.run.states;
    for (std::size_t i = 0; i < states.size(); ++i) {
        const Clock::Duration from = std::max(states[i].from, in.from);
        const Clock::Duration to = std::min(i + 1 < states.size() ? states[i + 1].from : in.run.end(), in.to);
        if (from >= to)
            continue;
        const int value = valueOf(states[i].state);
        if (!spans.empty() && spans.back().value == value && spans.back().to == from)
            spans.back().to = to;
        else
            spans.push_back({from, to, value});
    }
    return spans;
}

// A violation or a failed expectation inside the window, and the row of marks it is drawn in.
template<typename Event>
struct Shown {
    const Event *event;
    int row;
};

class ChartWriter {
public:
    explicit ChartWriter(const ChartInput &in)
        : m_in(in)
        , m_scale((kPlotRight - kPlotLeft) / static_cast<double>((in.to - in.from).count()))
    {
        std::array<double, kMarkRows> lastX;
        lastX.fill(-kMarkClearance);
        int rows = 1;
        const auto placeMark = [&](Clock::Duration at) {
            const double x = xOf(at);
            int row = 0;
            while (row + 1 < kMarkRows && x - lastX[static_cast<std::size_t>(row)] < kMarkClearance)
                ++row;
            lastX[static_cast<std::size_t>(row)] = x;
            rows = std::max(rows, row + 1);
            return row;
        };
        const auto placeMarks = [&](const auto &events, auto &shown) {
            for (const auto &event : events) {
                if (event.at >= in.from && event.at <= in.to)
                    shown.push_back({&event, placeMark(event.at)});
            }
        };
        placeMarks(in.violations, m_shown);
        placeMarks(in.failedExpectations, m_notes);
        m_lightTop = kMarksTop + rows * kMarkPitch + 10;
        m_sensorTop = m_lightTop + kLightCount * kLightPitch + 14;
        m_lanesBottom = m_sensorTop + (kLightCount - 1) * kSensorPitch + kSensorHeight;
        m_axisY = m_lanesBottom + 10;
        m_legendTop = m_axisY + 56;
        m_height = m_legendTop + 2 * kLegendPitch + 10;
    }

    std::string write()
    {
        m_svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(kWidth) + "\" height=\""
                + num(m_height) + "\" viewBox=\"0 0 " + num(kWidth) + " " + num(m_height)
                + "\" font-family=\"DejaVu Sans, Liberation Sans, Arial, sans-serif\" font-size=\"12\">\n";
        m_svg += "<title>" + xmlText("Timing chart of " + m_in.name + ", " + secondsText(m_in.from)
                                     + " to " + secondsText(m_in.to)) + "</title>\n";
        drawDefinitions();
        m_svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
        drawHeading();
        drawGrid();
        drawLights();
        drawSensors();
        drawAxis();
        drawViolations();
        drawLegend();
        m_svg += "</svg>\n";
        return std::move(m_svg);
    }

private:
    double xOf(Clock::Duration t) const
    {
        return kPlotLeft + static_cast<double>((t - m_in.from).count()) * m_scale;
    }

    void text(double x, double y, std::string_view content, std::string_view attributes = {})
    {
        m_svg += "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\"";
        if (!attributes.empty())
            m_svg += " " + std::string(attributes);
        m_svg += ">" + xmlText(content) + "</text>\n";
    }

    // A segment of a lane, with the words a pointer over it shows; without words, a legend's
    // swatch.
    void rect(double x, double y, double width, double height, std::string_view fill,
              std::string_view title)
    {
        m_svg += title.empty() ? "<rect" : "<rect class=\"segment\"";
        m_svg += " x=\"" + num(x) + "\" y=\"" + num(y) + "\" width=\"" + num(width) + "\" height=\""
                + num(height) + "\" fill=\"" + std::string(fill) + "\"";
        if (title.empty())
            m_svg += "/>\n";
        else
            m_svg += "><title>" + xmlText(title) + "</title></rect>\n";
    }

    void line(double x1, double y1, double x2, double y2, std::string_view attributes = {})
    {
        m_svg += "<line x1=\"" + num(x1) + "\" x2=\"" + num(x2) + "\" y1=\"" + num(y1) + "\" y2=\""
                + num(y2) + "\"";
        if (!attributes.empty())
            m_svg += " " + std::string(attributes);
        m_svg += "/>\n";
    }

    void mark(const MarkStyle &style, double x, double y)
    {
        m_svg += "<path d=\"M" + num(x) + " " + num(y) + std::string(style.shape) + "\" fill=\""
                + std::string(style.colour) + "\" stroke=\"#ffffff\" stroke-width=\"1\"/>\n";
    }

    // A group, and the words a pointer over any part of it shows.
    void group(const std::string &attributes, const std::string &title)
    {
        m_svg += "<g " + attributes + ">\n<title>" + xmlText(title) + "</title>\n";
    }

    void drawDefinitions()
    {
        m_svg += "<defs>\n<linearGradient id=\"red-yellow\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">"
                 "<stop offset=\"0.5\" stop-color=\"" + std::string(kRedFill) + "\"/>"
                 "<stop offset=\"0.5\" stop-color=\"" + std::string(kYellowFill) + "\"/>"
                 "</linearGradient>\n"
                 "<pattern id=\"out-of-range\" width=\"8\" height=\"8\" patternUnits=\"userSpaceOnUse\""
                 " patternTransform=\"rotate(45)\"><rect width=\"8\" height=\"8\" fill=\""
                + std::string(kLightFills[kDark]) + "\"/><rect width=\"4\" height=\"8\" fill=\"#e64980\"/>"
                 "</pattern>\n</defs>\n";
    }

    void drawHeading()
    {
        text(kPlotLeft, 26, "Timing chart of " + m_in.name, "font-size=\"16\" font-weight=\"bold\"");
        const int total = static_cast<int>(m_in.violations.size());
        const int shown = static_cast<int>(m_shown.size());
        const Clock::Duration start = m_in.run.states.front().from;
        std::string line = m_in.from == start && m_in.to == m_in.run.end()
                ? secondsText(m_in.to - m_in.from) + " recorded; "
                : secondsText(m_in.from) + " to " + secondsText(m_in.to) + " of "
                        + secondsText(m_in.run.end() - start) + " recorded; ";
        line += shown == 0 ? std::string("no violations") : std::to_string(shown)
                        + (shown == 1 ? " violation" : " violations");
        if (total != shown)
            line += " here, " + std::to_string(total) + " in the whole run";
        if (!m_notes.empty())
            line += "; " + std::to_string(m_notes.size())
                    + (m_notes.size() == 1 ? " failed expectation" : " failed expectations");
        line += " (checked as watch --check does, a car waiting at most "
                + formatShortSeconds(m_in.maxWait) + " s)";
        text(kPlotLeft, 46, line, "fill=\"#444444\"");
    }

    std::vector<Clock::Duration> ticks() const
    {
        const Clock::Duration spacing = tickSpacing(m_in.to - m_in.from);
        std::vector<Clock::Duration> at;
        for (Clock::Duration t = (m_in.from + spacing - Clock::Duration{1}) / spacing * spacing;
             t <= m_in.to; t += spacing)
            at.push_back(t);
        return at;
    }

    void drawGrid()
    {
        m_svg += "<g id=\"grid\" stroke=\"#e2e2e2\" stroke-width=\"1\">\n";
        for (Clock::Duration t : ticks()) {
            line(xOf(t), m_lightTop - 4, xOf(t), m_axisY);
        }
        m_svg += "</g>\n";
    }

    void drawLights()
    {
        for (int light = 1; light <= kLightCount; ++light) {
            const double top = m_lightTop + (light - 1) * kLightPitch;
            const Road road = light % 2 == 1 ? Road::EastWest : Road::NorthSouth;
            group("id=\"light-" + std::to_string(light) + "\" class=\"lane light\"",
                  lightLabel(light) + ", " + std::string(roadName(road)) + " road");
            text(kLabelRight, top + 12, lightLabel(light), "text-anchor=\"end\" font-weight=\"bold\"");
            text(kLabelRight, top + 26, std::string(roadName(road)) + " road",
                 "text-anchor=\"end\" fill=\"#555555\" font-size=\"11\"");
            const auto spans = spansOf(m_in, [light](const JunctionState &s) { return lightOf(s, light); });
            for (const Span &span : spans) {
                const auto value = static_cast<std::uint8_t>(span.value);
                rect(xOf(span.from), top, xOf(span.to) - xOf(span.from), kLightHeight, lightFill(value),
                     "light " + std::to_string(light) + ": " + lightValueText(value) + " from "
                             + secondsText(span.from) + " to " + secondsText(span.to));
            }
            m_svg += "</g>\n";
        }
    }

    void drawSensors()
    {
        for (int light = 1; light <= kLightCount; ++light) {
            const double top = m_sensorTop + (light - 1) * kSensorPitch;
            group("id=\"sensor-" + std::to_string(light) + "\" class=\"lane sensor\"",
                  "sensor of light " + std::to_string(light) + ": bit " + std::to_string(light - 1)
                          + " of port 150, set while a car waits");
            text(kLabelRight, top + 11, "car at light " + std::to_string(light) + " (port 150, bit "
                         + std::to_string(light - 1) + ")", "text-anchor=\"end\"");
            // The lane's own line, so an empty lane still reads as "no car".
            line(kPlotLeft, top + kSensorHeight - 0.5, kPlotRight, top + kSensorHeight - 0.5,
                 "stroke=\"#9a9a9a\" stroke-width=\"1\"");
            const auto spans = spansOf(m_in, [light](const JunctionState &s) {
                return carWaiting(s.sensors, light) ? 1 : 0;
            });
            for (const Span &span : spans) {
                if (span.value == 0)
                    continue;
                rect(xOf(span.from), top, xOf(span.to) - xOf(span.from), kSensorHeight, kCarFill,
                     "car waiting at light " + std::to_string(light) + " from " + secondsText(span.from)
                             + " to " + secondsText(span.to));
            }
            m_svg += "</g>\n";
        }
    }

    void drawAxis()
    {
        group("id=\"axis\"", "time in seconds from the start of the recording");
        line(kPlotLeft, m_axisY, kPlotRight, m_axisY, kAxisStroke);
        for (Clock::Duration t : ticks()) {
            line(xOf(t), m_axisY, xOf(t), m_axisY + 5, kAxisStroke);
            text(xOf(t), m_axisY + 18, formatShortSeconds(t),
                 "class=\"tick\" text-anchor=\"middle\"");
        }
        text((kPlotLeft + kPlotRight) / 2, m_axisY + 36, "time (s)", "text-anchor=\"middle\" fill=\"#444444\"");
        m_svg += "</g>\n";
    }

    void drawViolations()
    {
        m_svg += "<g id=\"violations\">\n";
        text(kLabelRight, kFirstMarkCentre + 4, "violations",
             "text-anchor=\"end\" font-weight=\"bold\"");
        if (m_shown.empty() && m_notes.empty())
            text(kPlotLeft + 4, kFirstMarkCentre + 4, "none", "fill=\"#2f9e44\"");
        for (const auto &[n, row] : m_notes)
            drawMark(kExpectationStyle, "2 3", n->at, n->text, row);
        for (const auto &[v, row] : m_shown) {
            drawMark(kRuleStyles[static_cast<std::size_t>(v->violation.rule)].mark, "4 3", v->at,
                     std::string(ruleName(v->violation.rule)) + ": " + v->violation.detail, row);
        }
        m_svg += "</g>\n";
    }

    // A mark in its row, and a dashed line from it down through the lanes at its moment.
    void drawMark(const MarkStyle &style, std::string_view dashes, Clock::Duration at,
                  const std::string &what, int row)
    {
        const double centre = kFirstMarkCentre + row * kMarkPitch;
        const double x = xOf(at);
        group("class=\"violation " + std::string(style.id) + "\"", secondsText(at) + ": " + what);
        line(x, centre, x, m_lanesBottom, "stroke=\"" + std::string(style.colour)
                     + "\" stroke-width=\"1.5\" stroke-dasharray=\"" + std::string(dashes) + "\"");
        mark(style, x, centre);
        m_svg += "</g>\n";
    }

    // Swatches and marks in a row, each followed by its words; the words' width is reckoned at
    // a generous average for a 12 px sans-serif face.
    double legendEntry(double x, double y, std::string_view words)
    {
        text(x + 24, y + 10, words);
        return x + 24 + 6.8 * static_cast<double>(words.size()) + 18;
    }

    void drawLegend()
    {
        m_svg += "<g id=\"legend\">\n";
        double y = m_legendTop;
        text(kLabelRight, y + 10, "lights", "text-anchor=\"end\" font-weight=\"bold\"");
        double x = kPlotLeft;
        for (std::uint8_t value = kDark; value <= kGreen; ++value) {
            rect(x, y, 18, 12, kLightFills[value], {});
            x = legendEntry(x, y, lightValueName(value));
        }
        rect(x, y, 18, 12, kOutOfRangeFill, {});
        x = legendEntry(x, y, "5 to 255: out of range");
        rect(x, y, 18, 12, kCarFill, {});
        legendEntry(x, y, "a car waiting");

        y += kLegendPitch;
        text(kLabelRight, y + 10, "violations", "text-anchor=\"end\" font-weight=\"bold\"");
        x = kPlotLeft;
        for (const RuleStyle &style : kRuleStyles) {
            const auto count = std::count_if(m_shown.begin(), m_shown.end(), [&](const Shown<TimedViolation> &v) {
                return v.event->violation.rule == style.rule;
            });
            mark(style.mark, x + 9, y + 6);
            x = legendEntry(x, y, std::string(ruleName(style.rule)) + ": " + std::to_string(count));
        }
        if (!m_notes.empty()) {
            mark(kExpectationStyle, x + 9, y + 6);
            legendEntry(x, y, "failed expectation: " + std::to_string(m_notes.size()));
        }
        m_svg += "</g>\n";
    }

    const ChartInput &m_in;
    double m_scale;
    std::vector<Shown<TimedViolation>> m_shown;
    std::vector<Shown<TimedNote>> m_notes;
    // The rows of marks take what room they need; everything below follows them.
    double m_lightTop;
    double m_sensorTop;
    double m_lanesBottom;
    double m_axisY;
    double m_legendTop;
    double m_height;
    std::string m_svg;
};

} // namespace

Clock::Duration tickSpacing(Clock::Duration length)
{
    using namespace std::chrono_literals;
    static constexpr std::array<Clock::Duration, 21> kSpacings{
            1ms, 2ms, 5ms, 10ms, 20ms, 50ms, 100ms, 200ms, 500ms, 1s, 2s, 5s, 10s, 15s, 30s,
            1min, 2min, 5min, 10min, 15min, 30min};
    for (Clock::Duration spacing : kSpacings) {
        if (length.count() <= kMostSteps * spacing.count())
            return spacing;
    }
    const auto hours = (length.count() + kMostSteps * 3'600'000 - 1) / (kMostSteps * 3'600'000);
    return std::chrono::hours(hours);
}

std::string renderChart(const ChartInput &input)
{
    return ChartWriter(input).write();
}

} // namespace bexen::ports
