// SPDX-License-Identifier: MIT
#include "reports/test_reports.h"

#include "reports/xml_text.h"

#include <nlohmann/json.hpp>


namespace bexen::ports {

namespace {

constexpr std::string_view kSuiteName = "bexen-ports test";

std::string attribute(std::string_view name, std::string_view value)
{
    return " " + std::string(name) + "=\"" + xmlText(value) + "\"";
}

} // namespace

std::string junitReport(const std::vector<ScenarioResult> &results, Clock::Duration took)
{
    const std::size_t failures = results.size() - static_cast<std::size_t>(tally(results).passed);
    const std::string counts = attribute("tests", std::to_string(results.size()))
            + attribute("failures", std::to_string(failures)) + attribute("errors", "0")
            + attribute("skipped", "0") + attribute("time", tenths(took));
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites"
            + attribute("name", kSuiteName) + counts + ">\n  <testsuite"
            + attribute("name", kSuiteName) + counts + ">\n";
    for (const ScenarioResult &r : results) {
        xml += "    <testcase" + attribute("name", r.name) + attribute("classname", "bexen-ports.test")
                + attribute("time", tenths(r.elapsed));
        if (r.passed()) {
            xml += "/>\n";
            continue;
        }
        xml += ">\n      <failure" + attribute("message", r.reason()) + attribute("type", "FAIL") + ">";
        for (const GradeFailure &f : r.failures)
            xml += xmlText("at " + tenths(f.at) + " s: " + f.what) + "\n";
        xml += "</failure>\n    </testcase>\n";
    }
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
                                    {"output", r.passed() ? r.verdict() : r.reason()}};
        tests.push_back(std::move(test));
    }
    const Tally t = tally(results);
    nlohmann::ordered_json document{
            {"score", t.score},
            {"execution_time", static_cast<long long>((took.count() + 500) / 1000)},
            {"output", std::to_string(t.passed) + " of " + std::to_string(results.size())
                               + " scenarios passed"},
            {"tests", std::move(tests)}};
    // Names and reasons hold only what the tool wrote, but a file name may carry a stray byte:
    // it is replaced rather than ending the report.
    return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

} // namespace bexen::ports
