// SPDX-License-Identifier: MIT
#include "reports/chart.h"

#include "commands/command_line.h"
#include "commands/port_args.h"
#include "commands/recorder.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>

namespace bexen::ports {

namespace {

namespace fs = std::filesystem;

// The page, in SVG user units (pixels at 100 %): the lanes' labels on the left, the plot on the
// right, the lights above the sensors, the time axis and the legend below.
constexpr double kWidth = 1200;
constexpr double kPlotLeft = 250;
constexpr double kPlotRight = 1170;
constexpr double kLabelRight = kPlotLeft - 12;
constexpr double kMarksTop = 62; // the rows of violation marks
constexpr double kMarkPitch = 16;
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

// A light's fill for each value the panel shows; red and yellow shows both lamps, one above the
// other, and a value the panel cannot show is hatched so it cannot pass for a dark light.
constexpr std::array<std::string_view, 5> kLightFills{"#2b2b2b", kRedFill, "url(#red-yellow)",
                                                      kYellowFill, "#2f9e44"};
constexpr std::string_view kOutOfRangeFill = "url(#out-of-range)";

struct RuleStyle {
    Rule rule;
    std::string_view id; // the mark's class
    std::string_view colour;
    std::string_view shape; // a path drawn from the mark's centre
};

// Each rule a colour and a shape of its own, so marks that fall together still tell apart.
constexpr std::array<RuleStyle, kRuleCount> kRuleStyles{{
    {Rule::ValueOutOfRange, "value-out-of-range", "#b5179e", "m-6 -6h12v12h-12z"},
    {Rule::BothRoadsMoving, "both-roads-moving", "#d00000", "m-7 -6h14l-7 12z"},
    {Rule::IllegalChange, "illegal-change", "#f76707", "m0 -7l7 7l-7 7l-7 -7z"},
    {Rule::CarLeftWaiting, "car-left-waiting", "#1864ab", "m-6 0a6 6 0 1 0 12 0a6 6 0 1 0 -12 0z"},
}};

const RuleStyle &styleOf(Rule rule)
{
    return kRuleStyles[static_cast<std::size_t>(rule)];
}

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

// "12.5", "120", "0.05": a tick's label, seconds without trailing zeros.
std::string secondsLabel(Clock::Duration d)
{
    std::string text = formatSeconds(d);
    while (text.ends_with('0'))
        text.pop_back();
    if (text.ends_with('.'))
        text.pop_back();
    return text;
}

// Text as XML takes it: markup characters escaped, and whatever is not valid UTF-8 or not
// allowed in XML (a stray byte of a file name, a control character) replaced by "?".
std::string xmlText(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            switch (byte) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += (byte < 0x20 && byte != '\t' && byte != '\n') || byte == 0x7f
                            ? '?' : static_cast<char>(byte);
            }
            ++i;
            continue;
        }
        const std::size_t length = byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : byte >= 0xc2 ? 2 : 0;
        bool valid = length != 0 && byte <= 0xf4 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xc0) == 0x80;
        if (valid && length >= 3) {
            // Overlong forms, UTF-16 surrogates and code points past U+10FFFF.
            const auto next = static_cast<unsigned char>(text[i + 1]);
            valid = !(byte == 0xe0 && next < 0xa0) && !(byte == 0xed && next >= 0xa0)
                    && !(byte == 0xf0 && next < 0x90) && !(byte == 0xf4 && next >= 0x90);
        }
        if (valid) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += '?';
            ++i;
        }
    }
    return out;
}

std::string secondsText(Clock::Duration d)
{
    return formatSeconds(d) + " s";
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

// A violation inside the window, and the row of marks it is drawn in.
struct ShownViolation {
    const TimedViolation *violation;
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
        for (const TimedViolation &v : in.violations) {
            if (v.at < in.from || v.at > in.to)
                continue;
            const double x = xOf(v.at);
            int row = 0;
            while (row + 1 < kMarkRows && x - lastX[static_cast<std::size_t>(row)] < kMarkClearance)
                ++row;
            lastX[static_cast<std::size_t>(row)] = x;
            rows = std::max(rows, row + 1);
            m_shown.push_back({&v, row});
        }
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

    void rect(double x, double y, double width, double height, std::string_view fill,
              std::string_view title, std::string_view attributes = {})
    {
        m_svg += "<rect";
        if (!attributes.empty())
            m_svg += " " + std::string(attributes);
        m_svg += " x=\"" + num(x) + "\" y=\"" + num(y) + "\" width=\"" + num(width) + "\" height=\""
                + num(height) + "\" fill=\"" + std::string(fill) + "\"";
        if (title.empty())
            m_svg += "/>\n";
        else
            m_svg += "><title>" + xmlText(title) + "</title></rect>\n";
    }

    void mark(const RuleStyle &style, double x, double y)
    {
        m_svg += "<path d=\"M" + num(x) + " " + num(y) + std::string(style.shape) + "\" fill=\""
                + std::string(style.colour) + "\" stroke=\"#ffffff\" stroke-width=\"1\"/>\n";
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
        line += " (checked as watch --check does, a car waiting at most " + secondsLabel(m_in.maxWait) + " s)";
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
            m_svg += "<line x1=\"" + num(xOf(t)) + "\" x2=\"" + num(xOf(t)) + "\" y1=\""
                    + num(m_lightTop - 4) + "\" y2=\"" + num(m_axisY) + "\"/>\n";
        }
        m_svg += "</g>\n";
    }

    void drawLights()
    {
        for (int light = 1; light <= kLightCount; ++light) {
            const double top = m_lightTop + (light - 1) * kLightPitch;
            const Road road = light % 2 == 1 ? Road::EastWest : Road::NorthSouth;
            const std::string id = "light-" + std::to_string(light);
            m_svg += "<g id=\"" + id + "\" class=\"lane light\">\n<title>"
                    + xmlText(lightLabel(light) + ", " + std::string(roadName(road)) + " road")
                    + "</title>\n";
            text(kLabelRight, top + 12, lightLabel(light), "text-anchor=\"end\" font-weight=\"bold\"");
            text(kLabelRight, top + 26, std::string(roadName(road)) + " road",
                 "text-anchor=\"end\" fill=\"#555555\" font-size=\"11\"");
            const auto spans = spansOf(m_in, [light](const JunctionState &s) { return lightOf(s, light); });
            for (const Span &span : spans) {
                const auto value = static_cast<std::uint8_t>(span.value);
                rect(xOf(span.from), top, xOf(span.to) - xOf(span.from), kLightHeight, lightFill(value),
                     "light " + std::to_string(light) + ": " + lightValueText(value) + " from "
                             + secondsText(span.from) + " to " + secondsText(span.to),
                     "class=\"segment\"");
            }
            m_svg += "</g>\n";
        }
    }

    void drawSensors()
    {
        for (int light = 1; light <= kLightCount; ++light) {
            const double top = m_sensorTop + (light - 1) * kSensorPitch;
            m_svg += "<g id=\"sensor-" + std::to_string(light) + "\" class=\"lane sensor\">\n<title>"
                    + xmlText("sensor of light " + std::to_string(light) + ": bit "
                              + std::to_string(light - 1) + " of port 150, set while a car waits")
                    + "</title>\n";
            text(kLabelRight, top + 11, "car at light " + std::to_string(light) + " (port 150, bit "
                         + std::to_string(light - 1) + ")", "text-anchor=\"end\"");
            // The lane's own line, so an empty lane still reads as "no car".
            m_svg += "<line x1=\"" + num(kPlotLeft) + "\" x2=\"" + num(kPlotRight) + "\" y1=\""
                    + num(top + kSensorHeight - 0.5) + "\" y2=\"" + num(top + kSensorHeight - 0.5)
                    + "\" stroke=\"#9a9a9a\" stroke-width=\"1\"/>\n";
            const auto spans = spansOf(m_in, [light](const JunctionState &s) {
                return carWaiting(s.sensors, light) ? 1 : 0;
            });
            for (const Span &span : spans) {
                if (span.value == 0)
                    continue;
                rect(xOf(span.from), top, xOf(span.to) - xOf(span.from), kSensorHeight, kCarFill,
                     "car waiting at light " + std::to_string(light) + " from " + secondsText(span.from)
                             + " to " + secondsText(span.to),
                     "class=\"segment\"");
            }
            m_svg += "</g>\n";
        }
    }

    void drawAxis()
    {
        m_svg += "<g id=\"axis\">\n<title>time in seconds from the start of the recording</title>\n";
        m_svg += "<line x1=\"" + num(kPlotLeft) + "\" x2=\"" + num(kPlotRight) + "\" y1=\"" + num(m_axisY)
                + "\" y2=\"" + num(m_axisY) + "\" stroke=\"#333333\" stroke-width=\"1\"/>\n";
        for (Clock::Duration t : ticks()) {
            m_svg += "<line x1=\"" + num(xOf(t)) + "\" x2=\"" + num(xOf(t)) + "\" y1=\"" + num(m_axisY)
                    + "\" y2=\"" + num(m_axisY + 5) + "\" stroke=\"#333333\" stroke-width=\"1\"/>\n";
            text(xOf(t), m_axisY + 18, secondsLabel(t), "class=\"tick\" text-anchor=\"middle\"");
        }
        text((kPlotLeft + kPlotRight) / 2, m_axisY + 36, "time (s)", "text-anchor=\"middle\" fill=\"#444444\"");
        m_svg += "</g>\n";
    }

    void drawViolations()
    {
        m_svg += "<g id=\"violations\">\n";
        const double firstRow = kMarksTop + kMarkPitch / 2;
        text(kLabelRight, firstRow + 4, "violations", "text-anchor=\"end\" font-weight=\"bold\"");
        if (m_shown.empty())
            text(kPlotLeft + 4, firstRow + 4, "none", "fill=\"#2f9e44\"");
        for (const auto &[v, row] : m_shown) {
            const RuleStyle &style = styleOf(v->violation.rule);
            const double centre = firstRow + row * kMarkPitch;
            const double x = xOf(v->at);
            m_svg += "<g class=\"violation " + std::string(style.id) + "\">\n<title>"
                    + xmlText(secondsText(v->at) + ": " + std::string(ruleName(v->violation.rule)) + ": "
                              + v->violation.detail)
                    + "</title>\n";
            m_svg += "<line x1=\"" + num(x) + "\" x2=\"" + num(x) + "\" y1=\"" + num(centre) + "\" y2=\""
                    + num(m_lanesBottom) + "\" stroke=\"" + std::string(style.colour)
                    + "\" stroke-width=\"1.5\" stroke-dasharray=\"4 3\"/>\n";
            mark(style, x, centre);
            m_svg += "</g>\n";
        }
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
            const auto count = std::count_if(m_shown.begin(), m_shown.end(), [&](const ShownViolation &v) {
                return v.violation->violation.rule == style.rule;
            });
            mark(style, x + 9, y + 6);
            x = legendEntry(x, y, std::string(ruleName(style.rule)) + ": " + std::to_string(count));
        }
        m_svg += "</g>\n";
    }

    const ChartInput &m_in;
    double m_scale;
    std::vector<ShownViolation> m_shown;
    // The rows of marks take what room they need; everything below follows them.
    double m_lightTop;
    double m_sensorTop;
    double m_lanesBottom;
    double m_axisY;
    double m_legendTop;
    double m_height;
    std::string m_svg;
};

// The chart lands in a file beside OUT under a name of its own and is renamed over OUT only once
// whole, so a failure leaves no half-written chart and an older OUT stays as it was.
std::optional<io::AccessError> writeWhole(const std::string &target, const std::string &content)
{
    const fs::path final(target);
    std::random_device random;
    const std::string suffix = std::to_string(random()) + std::to_string(random());
    // A short name of its own, so a long OUT name cannot make it too long for the directory.
    fs::path temporary = final;
    temporary.replace_filename(".bexen-chart-" + suffix + ".tmp");

    std::ofstream out(temporary, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!out)
        return io::AccessError{target, std::string("cannot be written: ") + std::strerror(errno)};
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    std::error_code ec;
    if (!out) {
        fs::remove(temporary, ec);
        return io::AccessError{target, "could not be written completely"};
    }
    fs::rename(temporary, final, ec);
    if (ec) {
        const std::string reason = ec.message();
        fs::remove(temporary, ec);
        return io::AccessError{target, "could not be put in place: " + reason};
    }
    return std::nullopt;
}

bool isSameFile(const std::string &a, const std::string &b)
{
    std::error_code ec;
    return a == b || (fs::equivalent(a, b, ec) && !ec);
}

// What is wrong with OUT, found before any work is done.
std::optional<std::string> checkTarget(const Context &ctx, const std::string &recording,
                                       const std::string &target)
{
    const std::string named = "OUT " + quoteArgument(target);
    if (isSameFile(target, recording))
        return named + " is the recording itself; draw the chart into another file";
    const io::PortFileLocation portFile = ctx.portFile();
    if (!portFile.error && isSameFile(target, portFile.path))
        return named + " is the port file itself; draw the chart into another file";
    std::error_code ec;
    if (fs::is_directory(target, ec))
        return named + " is a directory; name the chart's file";
    const fs::path directory = fs::path(target).parent_path();
    if (directory.empty())
        return std::nullopt;
    const fs::file_status status = fs::status(directory, ec);
    if (status.type() == fs::file_type::not_found)
        return named + ": its directory " + quoteArgument(directory.string()) + " does not exist";
    if (!ec && !fs::is_directory(status))
        return named + ": " + quoteArgument(directory.string()) + " is not a directory";
    return std::nullopt;
}

} // namespace

RecordedRun replayRecording(const std::vector<PlayStep> &rows)
{
    RecordedRun run;
    JunctionState state;
    for (const PlayStep &row : rows) {
        const auto byte = static_cast<std::uint8_t>((state.byteOf(row.port) & ~row.mask) | (row.value & row.mask));
        setPortByte(state, row.port, byte);
        if (!run.states.empty() && run.states.back().from == row.at)
            run.states.back().state = state;
        else
            run.states.push_back({row.at, state});
    }
    return run;
}

std::vector<TimedViolation> checkRun(const RecordedRun &run, Clock::Duration maxWait)
{
    ConflictChecker checker(maxWait);
    std::vector<TimedViolation> found;
    const auto observe = [&](const JunctionState &state, Clock::Duration at) {
        for (Violation &v : checker.observe(state, Clock::TimePoint(at)))
            found.push_back({at, std::move(v)});
    };
    for (std::size_t i = 0; i < run.states.size(); ++i) {
        const RecordedState &recorded = run.states[i];
        observe(recorded.state, recorded.from);
        // Between two changes only a car's wait grows; the polls find when it has grown too long.
        const Clock::Duration until = i + 1 < run.states.size() ? run.states[i + 1].from : recorded.from;
        for (Clock::Duration poll = (recorded.from / kPanelPoll + 1) * kPanelPoll; poll < until;
             poll += kPanelPoll)
            observe(recorded.state, poll);
    }
    return found;
}

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

int chartRecording(Context &ctx, const ChartOptions &options)
{
    constexpr std::string_view command = "chart";
    const std::string &recording = options.recording;
    const std::string &target = options.out;
    const std::optional<Clock::Duration> &from = options.from;
    const std::optional<Clock::Duration> &to = options.to;
    if (recording.empty() || target.empty())
        return ctx.failUsage(command, recording.empty() ? "RECORDING must not be empty" : "OUT must not be empty");
    if (from && to && *from >= *to)
        return ctx.failUsage(command, "--from " + secondsText(*from) + " must come before --to "
                                     + secondsText(*to));
    if (auto error = checkTarget(ctx, recording, target))
        return ctx.failUsage(command, *error);

    std::string text;
    if (auto error = readPlayFile(recording, text))
        return ctx.failUsage(command, *error);
    if (text.empty())
        return ctx.failUsage(command, recording + ": is empty; a recording starts with the line "
                                     + std::string(kCsvHeader));
    const ParsedPlay parsed = parseRecording(text);
    if (parsed.error)
        return ctx.failUsage(command, describeError(recording, *parsed.error));

    ChartInput input{fs::path(recording).filename().string(), replayRecording(parsed.steps), {},
                     options.maxWait, {}, {}};
    const Clock::Duration start = input.run.states.front().from;
    const Clock::Duration end = input.run.end();
    if (end <= start)
        return ctx.failUsage(command, recording + ": every row is at " + secondsText(start)
                                     + "; a recording to chart spans some time");
    input.from = std::max(from.value_or(start), start);
    input.to = std::min(to.value_or(end), end);
    if (input.from >= input.to) {
        const std::string cut = from && *from >= end ? "--from " + secondsText(*from)
                                                     : "--to " + secondsText(to.value_or(end));
        return ctx.failUsage(command, recording + ": runs from " + secondsText(start) + " to "
                                     + secondsText(end) + "; " + cut + " leaves nothing of it to chart");
    }
    input.violations = checkRun(input.run, options.maxWait);

    if (auto error = writeWhole(target, renderChart(input)))
        return ctx.failAccess(*error);
    const auto shown = std::count_if(input.violations.begin(), input.violations.end(),
                                     [&](const TimedViolation &v) { return v.at >= input.from && v.at <= input.to; });
    ctx.out << "chart: " << target << ": " << secondsText(input.from) << " to " << secondsText(input.to)
            << " of " << recording << ", " << shown << (shown == 1 ? " violation" : " violations")
            << std::endl;
    return kExitOk;
}

void addChartCommand(CommandLine &line)
{
    auto options = std::make_shared<ChartOptions>();
    CLI::App &chart = line.addCommand(
            "chart", "draw a CSV recording as a timing chart in SVG, every violation marked",
            [options](Context &ctx) { return chartRecording(ctx, *options); });
    line.addPath(chart, "RECORDING", options->recording, "a CSV recording made by record",
                 "RECORDING must not be empty", "missing RECORDING, the CSV recording to chart");
    line.addPath(chart, "OUT", options->out,
                 "the SVG file to write: one lane per light and per sensor, and a mark at each "
                 "violation watch --check would have reported",
                 "OUT must not be empty", "missing OUT, the SVG file to draw the chart into");
    line.addSeconds(chart, "--max-wait", options->maxWait,
                    "the longest a car may wait for green, as for watch --check (default 60)");
    line.addSeconds(chart, "--from", options->from,
                    "start the chart S seconds into the recording (default: its start)");
    line.addSeconds(chart, "--to", options->to,
                    "end it S seconds into the recording (default: its end)");
}

} // namespace bexen::ports
