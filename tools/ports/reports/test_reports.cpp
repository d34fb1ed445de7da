// SPDX-License-Identifier: MIT
#include "reports/test_reports.h"

#include "reports/xml_text.h"

#include <nlohmann/json.hpp>

#include <ctime>

namespace bexen::ports {

namespace {

constexpr std::string_view kSuiteName = "bexen-ports test";

std::string attribute(std::string_view name, std::string_view value)
{
    return " " + std::string(name) + "=\"" + xmlText(value) + "\"";
}

std::string element(std::string_view name, const std::string &text)
{
    if (text.empty())
        return {};
    return "      <" + std::string(name) + ">" + xmlText(text) + "</" + std::string(name) + ">\n";
}

std::string junitCase(const ScenarioResult &r)
{
    std::string xml = "    <testcase" + attribute("name", r.name)
            + attribute("classname", "bexen-ports." + r.suite) + attribute("time", tenths(r.elapsed));
    const std::string output = element("system-out", r.controllerOut)
            + element("system-err", r.controllerErr);
    if (r.passed() && output.empty())
        return xml + "/>\n";
    xml += ">\n";
    if (!r.passed()) {
        xml += "      <failure" + attribute("message", r.reason()) + attribute("type", "FAIL") + ">";
        for (const GradeFailure &f : r.failures)
            xml += xmlText(r.ran ? "at " + tenths(f.at) + " s: " + f.what : f.what) + "\n";
        xml += "</failure>\n";
    }
    return xml + output + "    </testcase>\n";
}

// The reason, then what the controller printed, each stream under its own heading.
std::string gradescopeOutput(const ScenarioResult &r)
{
    std::string text = r.passed() ? r.verdict() : r.reason();
    for (const auto &[heading, stream] : {std::pair{"the controller's output", &r.controllerOut},
                                          std::pair{"the controller's errors", &r.controllerErr}}) {
        if (stream->empty())
            continue;
        text += text.ends_with('\n') ? "\n" : "\n\n";
        text += std::string(heading) + ":\n" + *stream;
    }
    return text;
}

} // namespace

std::string isoTimestamp(std::chrono::system_clock::time_point when)
{
    const auto t = static_cast<std::time_t>(
            std::chrono::floor<std::chrono::seconds>(when.time_since_epoch()).count());
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &t);
#else
    gmtime_r(&t, &utc);
#endif
    char text[32];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return {text, n};
}

std::string junitReport(const std::vector<ScenarioResult> &results, Clock::Duration took,
                        std::chrono::system_clock::time_point began)
{
    const std::size_t failures = results.size() - static_cast<std::size_t>(tally(results).passed);
    const std::string counts = attribute("tests", std::to_string(results.size()))
            + attribute("failures", std::to_string(failures)) + attribute("errors", "0")
            + attribute("skipped", "0") + attribute("time", tenths(took));
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites"
            + attribute("name", kSuiteName) + counts + ">\n  <testsuite"
            + attribute("name", kSuiteName) + counts + attribute("timestamp", isoTimestamp(began))
            + ">\n";
    for (const ScenarioResult &r : results)
        xml += junitCase(r);
    xml += "  </testsuite>\n</testsuites>\n";
    return xml;
}

std::string gradescopeReport(const std::vector<ScenarioResult> &results, Clock::Duration took)
{
    nlohmann::ordered_json tests = nlohmann::ordered_json::array();
    for (const ScenarioResult &r : results) {
        nlohmann::ordered_json test{{"name", r.name},
                                    {"score", r.passed() ? r.points : 0},
                                    {"max_score", r.points},
                                    {"status", r.passed() ? "passed" : "failed"},
                                    {"visibility", r.visibility},
                                    {"output", gradescopeOutput(r)}};
        tests.push_back(std::move(test));
    }
    const Tally t = tally(results);
    nlohmann::ordered_json document{
            {"score", t.score},
            {"execution_time", static_cast<long long>((took.count() + 500) / 1000)},
            {"output", summaryLine(results)},
            {"tests", std::move(tests)}};
    // Names, reasons and the controller's output may carry a stray byte: it is replaced rather
    // than ending the report.
    return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

} // namespace bexen::ports
