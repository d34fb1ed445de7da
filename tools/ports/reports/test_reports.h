// SPDX-License-Identifier: MIT
#pragma once

#include "model/grading.h"
#include "shared/clock.h"

#include <string>
#include <vector>

namespace bexen::ports {

// The verdicts of a test run as the servers that collect them read them, each a whole document.
// JUnit XML, as CI servers take it: one testsuite, a testcase per scenario with its time, and a
// failure element holding the reason of each that failed.
std::string junitReport(const std::vector<ScenarioResult> &results, Clock::Duration took);
// Gradescope's results.json: the score, the time taken, and a test per scenario with its points.
std::string gradescopeReport(const std::vector<ScenarioResult> &results, Clock::Duration took);

} // namespace bexen::ports
