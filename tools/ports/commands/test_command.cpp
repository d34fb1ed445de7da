// SPDX-License-Identifier: MIT
#include "commands/test_command.h"

#include "commands/command_line.h"
#include "commands/controller.h"
#include "commands/port_args.h"
#include "model/builtin_scenarios.h"
#include "model/grading.h"
#include "model/port_view.h"
#include "reports/chart_svg.h"
#include "reports/output_file.h"
#include "reports/test_reports.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace bexen::ports {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kCommand = "test";
// rush-hour's cars come where this seed puts them unless --seed says otherwise, so two runs of
// one controller see the same traffic.
constexpr std::uint32_t kDefaultSeed = 17;

struct TestOptions {
    Clock::Duration maxWait = CheckOptions{}.maxWait;
    Clock::Duration grace = ControllerLimits{}.grace;
    std::string junit;
    std::string gradescope;
    std::string charts;
    std::uint32_t seed = kDefaultSeed;
    bool list = false;
    std::vector<std::string> scenarios;
};

std::string stemOf(std::string_view file)
{
    return fs::path(file).stem().string();
}

std::vector<Scenario> builtinSuite()
{
    std::vector<Scenario> suite;
    for (const BuiltinScenario &b : builtinScenarios())
        suite.push_back(parseScenario(b.text, stemOf(b.file)).scenario);
    return suite;
}

// The scenarios named, built-in ones by name and the others read from their files; the first
// fault is the one error line.
std::optional<std::string> loadScenarios(const std::vector<std::string> &named,
                                         std::vector<Scenario> &loaded)
{
    const std::vector<Scenario> suite = builtinSuite();
    if (named.empty()) {
        loaded = suite;
        return std::nullopt;
    }
    for (const std::string &word : named) {
        const auto builtin = std::ranges::find(suite, word, &Scenario::name);
        std::error_code ec;
        if (builtin != suite.end() && !fs::exists(word, ec)) {
            loaded.push_back(*builtin);
            continue;
        }
        if (!fs::exists(word, ec))
            return "scenario " + quoteArgument(word)
                    + " is neither a built-in one (see test --list) nor a file";
        std::string text;
        if (auto error = readPlayFile(word, text))
            return error;
        ParsedScenario parsed = parseScenario(text, stemOf(word));
        if (parsed.error)
            return describeError(word, *parsed.error);
        loaded.push_back(std::move(parsed.scenario));
    }
    return std::nullopt;
}

void listScenarios(std::ostream &out)
{
    const auto suite = builtinSuite();
    std::size_t nameWidth = 0;
    std::size_t titleWidth = 0;
    for (const Scenario &s : suite) {
        nameWidth = std::max(nameWidth, s.name.size());
        titleWidth = std::max(titleWidth, s.title.size());
    }
    Clock::Duration total{};
    int points = 0;
    for (const Scenario &s : suite) {
        out << s.name << std::string(nameWidth - s.name.size() + 2, ' ') << s.title
            << std::string(titleWidth - s.title.size() + 2, ' ') << tenths(s.duration) << " s  "
            << s.points << (s.points == 1 ? " point" : " points") << '\n';
        total += s.duration;
        points += s.points;
    }
    out << suite.size() << " scenarios, " << tenths(total) << " s, " << points << " points\n";
}

// What is wrong with a report's path, found before anything runs.
std::optional<std::string> checkReportPath(const Context &ctx, const std::string &option,
                                           const std::string &path)
{
    if (path.empty())
        return std::nullopt;
    const std::string named = option + " " + quoteArgument(path);
    const io::PortFileLocation portFile = ctx.portFile();
    if (!portFile.error && isSameFile(path, portFile.path))
        return named + " is the port file itself";
    std::error_code ec;
    if (fs::is_directory(path, ec))
        return named + " is a directory; name the report's file";
    const fs::path directory = fs::path(path).parent_path();
    if (!directory.empty() && !fs::is_directory(directory, ec))
        return named + ": its directory " + quoteArgument(directory.string()) + " does not exist";
    return std::nullopt;
}

bool isTerminal(const std::ostream &out)
{
    if (&out != &std::cout)
        return false;
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return ::isatty(STDOUT_FILENO) != 0;
#endif
}

// The line a terminal shows while a scenario runs, drawn over itself, and blanked before a
// verdict is printed in its place.
class StatusLine {
public:
    StatusLine(std::ostream &out, bool shown)
        : m_out(out)
        , m_shown(shown)
    {
    }

    void show(const std::string &name, Clock::Duration elapsed, Clock::Duration total,
              const JunctionState &state)
    {
        if (!m_shown)
            return;
        std::string text = name + "  " + tenths(elapsed) + " of " + tenths(total) + " s  lights";
        std::string cars;
        int waiting = 0;
        for (int light = 1; light <= kLightCount; ++light) {
            text += " " + std::to_string(light) + ":" + std::string(stateWord(lightOf(state, light)));
            if (carWaiting(state.sensors, light))
                cars += (waiting++ == 0 ? "" : ",") + std::to_string(light);
        }
        text += waiting == 0 ? "  no car waiting"
                             : (waiting == 1 ? "  car waiting at " : "  cars waiting at ") + cars;
        const std::size_t width = text.size();
        if (text.size() < m_width)
            text.append(m_width - text.size(), ' ');
        m_width = width;
        m_out << '\r' << text << std::flush;
    }

    void clear()
    {
        if (!m_shown || m_width == 0)
            return;
        m_out << '\r' << std::string(m_width, ' ') << '\r' << std::flush;
        m_width = 0;
    }

private:
    std::ostream &m_out;
    bool m_shown;
    std::size_t m_width = 0;
};

void printVerdict(std::ostream &out, const ScenarioResult &r)
{
    out << r.verdict() << std::endl;
}

std::optional<io::AccessError> writeChart(const std::string &dir, const ScenarioResult &r)
{
    if (!r.ran || r.run.states.size() < 2 || r.elapsed <= Clock::Duration::zero())
        return std::nullopt;
    ChartInput input{r.name, r.run, r.violations, r.failedExpectations, r.maxWait, {}, r.elapsed};
    return writeFileWhole((fs::path(dir) / (r.name + ".svg")).string(), renderChart(input));
}

// What the controller wrote, passed on as it comes, as when its output was the test's own.
void echoOutput(Context &ctx, ControllerProcess &controller, StatusLine &status)
{
    const ControllerOutput output = controller.takeOutput();
    if (output.out.empty() && output.err.empty() && output.outDropped == 0 && output.errDropped == 0)
        return;
    status.clear();
    ctx.out << output.out << std::flush;
    ctx.err << output.err;
    for (const std::size_t dropped : {output.outDropped, output.errDropped}) {
        if (dropped != 0)
            ctx.err << "[" << dropped << " bytes of the controller's output left out]\n";
    }
    ctx.err << std::flush;
}

int runTest(Context &ctx, const TestOptions &options)
{
    if (options.list) {
        listScenarios(ctx.out);
        return kExitOk;
    }
    std::vector<Scenario> scenarios;
    if (auto error = loadScenarios(options.scenarios, scenarios))
        return ctx.failUsage(kCommand, *error);
    for (const auto &[option, path] : {std::pair{"--junit", options.junit},
                                       std::pair{"--gradescope", options.gradescope}}) {
        if (auto error = checkReportPath(ctx, option, path))
            return ctx.failUsage(kCommand, *error);
    }
    std::error_code ec;
    if (!options.charts.empty() && !fs::is_directory(options.charts, ec)
        && !fs::create_directories(options.charts, ec))
        return ctx.failUsage(kCommand, "--charts " + quoteArgument(options.charts)
                                               + " is not a directory and cannot be made one");
    if (ctx.controller && ctx.controller->empty())
        return ctx.failUsage(kCommand, "-- needs the COMMAND that starts the controller");
    const io::PortFileLocation portFile = ctx.portFile();
    if (portFile.error)
        return ctx.failAccess(*portFile.error);

    std::unique_ptr<ControllerProcess> controller;
    if (ctx.controller) {
        ControllerLimits limits;
        limits.grace = options.grace;
        if (auto error = ControllerProcess::start(*ctx.controller, {}, limits, controller))
            return ctx.failUsage(kCommand, "cannot start the controller "
                                                   + quoteArgument(ctx.controller->front()) + ": " + *error);
    }

    ContextPorts ports(ctx, io::WhenMissing::Create);
    StatusLine status(ctx.out, isTerminal(ctx.out));
    std::vector<ScenarioResult> results;
    const Clock::TimePoint start = ctx.clock.now();
    std::optional<io::AccessError> reportError;
    for (const Scenario &scenario : scenarios) {
        if (ctx.stopping())
            break;
        if (controller) {
            if (auto ended = controller->ended()) {
                results.push_back(notRun(scenario, *ended));
                printVerdict(ctx.out, results.back());
                continue;
            }
        }
        GradeHooks hooks;
        hooks.stop = [&] { return ctx.stopping(); };
        if (controller)
            hooks.controllerEnded = [&] { return controller->ended(); };
        hooks.progress = [&](Clock::Duration elapsed, const JunctionState &state) {
            if (controller)
                echoOutput(ctx, *controller, status);
            status.show(scenario.name, elapsed, scenario.duration, state);
        };
        results.push_back(gradeScenario(ports, ctx.clock, scenario, options.maxWait, options.seed, hooks));
        status.clear();
        printVerdict(ctx.out, results.back());
        if (!options.charts.empty() && !reportError)
            reportError = writeChart(options.charts, results.back());
        if (results.back().foreignWriter)
            break;
    }
    if (controller) {
        controller->stop();
        echoOutput(ctx, *controller, status);
    }
    const Clock::Duration took = ctx.clock.now() - start;

    const Tally t = tally(results);
    ctx.out << t.passed << " of " << results.size() << " scenarios passed; score " << t.score << " of "
            << t.points << std::endl;
    if (!options.junit.empty() && !reportError)
        reportError = writeFileWhole(options.junit, junitReport(results, took));
    if (!options.gradescope.empty() && !reportError)
        reportError = writeFileWhole(options.gradescope, gradescopeReport(results, took));

    // Only the last scenario run can have met one: the run ends there.
    if (!results.empty() && results.back().foreignWriter) {
        ctx.failUsage(kCommand, "another program (such as an open panel) writes port 150: "
                                        + *results.back().foreignWriter
                                        + "; nothing is graded on a port the test does not control");
        return kExitAccessFailed;
    }
    if (reportError)
        return ctx.failAccess(*reportError);
    return t.passed == static_cast<int>(results.size()) && results.size() == scenarios.size() ? kExitOk
                                                                                           : kExitViolations;
}

} // namespace

std::optional<std::vector<std::string>> takeControllerCommand(Args &args)
{
    std::size_t i = 0;
    while (i < args.size()) {
        const std::string &word = args[i];
        if (word == "--file") {
            i += 2;
            continue;
        }
        if (!word.starts_with("-"))
            break;
        ++i;
    }
    if (i >= args.size() || args[i] != kCommand)
        return std::nullopt;
    const auto dashes = std::find(args.begin() + static_cast<std::ptrdiff_t>(i), args.end(), "--");
    if (dashes == args.end())
        return std::nullopt;
    std::vector<std::string> command(dashes + 1, args.end());
    args.erase(dashes, args.end());
    return command;
}

void addTestCommand(CommandLine &line)
{
    auto options = std::make_shared<TestOptions>();
    CLI::App &test = line.addCommand(
            "test", "play traffic scenarios against the controller and give each a verdict",
            [options](Context &ctx) { return runTest(ctx, *options); });
    test.add_option("SCENARIO", options->scenarios,
                    "a built-in scenario's name or a scenario file; none: the built-in suite. "
                    "A file holds one statement a line (\"#\" starts a comment):\n"
                    "  name NAME      title WORDS      points N (1)\n"
                    "  duration S (10 s after the last step)\n"
                    "  max-wait S (--max-wait)\n"
                    "  TIME sensor LIGHT on|off\n"
                    "  TIME car LIGHT\n"
                    "  TIME expect light LIGHT STATE [within S]\n"
                    "  TIME random-cars N within S\n"
                    "A car sets its sensor and drives off once its light has been green 1 s. "
                    "STATE is 0 to 4 or dark, red, red-yellow, yellow, green, shown at TIME or, "
                    "with within, at some poll before TIME + S. Random cars come at any light, "
                    "from --seed. Every rule of watch --check is judged throughout.");
    line.addSeconds(test, "--max-wait", options->maxWait,
                    "the longest a car may wait for green, where a scenario does not say (default)");
    line.addSeconds(test, "--grace", options->grace,
                    "how long a controller has to leave its lights after the test asks it to end "
                    "(default)");
    line.addPath(test, "--junit", options->junit, "write the verdicts to PATH as JUnit XML");
    line.addPath(test, "--gradescope", options->gradescope,
                 "write the verdicts to PATH as Gradescope's results.json");
    line.addPath(test, "--charts", options->charts,
                 "draw each scenario's run as a chart, PATH/NAME.svg, violations and failed "
                 "expectations marked");
    line.addWholeNumber(test, "--seed", options->seed, 4'294'967'295u,
                        "place rush-hour's random cars by seed N (default, so runs repeat)");
    test.add_flag("--list", options->list,
                  "print the built-in scenarios (name, title, duration, points) and exit");
    test.footer("-- COMMAND [ARGUMENTS]... starts the controller before the first scenario and "
                "ends it after the last (also on Ctrl-C); if it exits early, the scenarios left "
                "fail. Exit status: 0 every scenario passed, 3 one failed, 2 bad arguments or a "
                "faulty scenario, 1 the port file could not be used or another program writes "
                "port 150. Ctrl-C clears the sensors and writes the reports of the scenarios run "
                "so far.");
}

} // namespace bexen::ports
