// SPDX-License-Identifier: MIT
#pragma once

#include "model/grading.h"
#include "shared/clock.h"

#include <chrono>
#include <string>
#include <vector>

namespace bexen::ports {

// The verdicts of a test run as the servers that collect them read them, each a whole document.
// JUnit XML, as CI servers take it: one testsuite stamped with when the run began, a testcase
// per scenario with its suite, its time, a failure element holding the reason of each that
// failed, and what the controller printed meanwhile.
std::string junitReport(const std::vector<ScenarioResult> &results, Clock::Duration took,
                        std::chrono::system_clock::time_point began);
// Gradescope's results.json: the score, the time taken, the run's summary line, and a test per
// scenario with its points, its visibility, and its reason followed by the controller's output.
std::string gradescopeReport(const std::vector<ScenarioResult> &results, Clock::Duration took);

// "2026-12-09T18:19:43Z": ISO 8601, in UTC.
std::string isoTimestamp(std::chrono::system_clock::time_point when);

} // namespace bexen::ports
