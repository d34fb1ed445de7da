// SPDX-License-Identifier: MIT
#include "commands/watch_check.h"

#include "model/port_view.h"
#include "shared/words.h"

#include <string>

namespace bexen::ports {

namespace {

std::string summary(const ConflictChecker &checker, Clock::Duration checked)
{
    std::string text = "summary: " + formatSeconds(checked) + " s checked, ";
    if (checker.total() == 0)
        return text + "no violations";
    text += std::to_string(checker.total()) + (checker.total() == 1 ? " violation" : " violations");
    const char *separator = ": ";
    for (std::size_t i = 0; i < kRuleCount; ++i) {
        text += separator + std::string(ruleName(static_cast<Rule>(i))) + " "
                + std::to_string(checker.count(static_cast<Rule>(i)));
        separator = ", ";
    }
    return text;
}

} // namespace

int checkJunction(JunctionPorts &ports, Context &ctx, const CheckOptions &options)
{
    ConflictChecker checker(options.maxWait);
    const Clock::TimePoint start = ctx.clock.now();
    const auto sample = [&] {
        const JunctionState state = ports.readState();
        const auto violations = checker.observe(state, ctx.clock.now());
        if (violations.empty())
            return;
        const std::string stamp = formatTimestamp(ctx.clock.wallNow());
        for (const Violation &v : violations)
            ctx.out << stamp << "  violation: " << ruleName(v.rule) << ": " << v.detail << '\n';
        ctx.out.flush();
    };

    const auto printSummary = [&] {
        ctx.out << summary(checker, ctx.clock.now() - start) << std::endl;
    };
    try {
        sampleEvery(ctx.clock, options.interval, options.duration, [&] { return ctx.stopping(); },
                    sample);
    } catch (const PortFailure &) {
        // A run cut short by a failing port file still says what it saw up to then.
        printSummary();
        throw;
    }
    printSummary();
    return checker.total() == 0 ? kExitOk : kExitViolations;
}

} // namespace bexen::ports
