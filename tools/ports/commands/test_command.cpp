// SPDX-License-Identifier: MIT
#include "commands/test_command.h"

#include "commands/command_line.h"
#include "commands/context_ports.h"
#include "commands/controller.h"
#include "commands/program_junction.h"
#include "commands/run.h"
#include "commands/status_line.h"
#include "model/grading.h"
#include "model/port_view.h"
#include "model/scenario_suite.h"
#include "reports/chart_svg.h"
#include "reports/output_file.h"
#include "reports/test_reports.h"
#include "shared/words.h"

#include <filesystem>
#include <memory>
#include <utility>

namespace bexen::ports {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kCommand = "test";
// rush-hour's cars come where this seed puts them unless --seed says otherwise, so two runs of
// one controller see the same traffic.
constexpr std::uint32_t kDefaultSeed = 17;

struct TestOptions {
    Clock::Duration maxWait = kDefaultMaxWait;
    Clock::Duration grace = ControllerLimits{}.grace;
    std::string junit;
    std::string gradescope;
    std::string charts;
    std::uint32_t seed = kDefaultSeed;
    bool list = false;
    std::string program; // --program: graded on the machine in virtual time
    std::uint32_t speed = kDefaultSpeed;
    std::vector<std::string> scenarios;
};

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
std::optional<std::string> checkReportPath(const Context &ctx, std::string_view option,
                                           const std::string &path)
{
    if (path.empty())
        return std::nullopt;
    return checkOutputPath({option, path, "write the report", "the report's file"}, keptPortFile(ctx));
}

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
void echoOutput(Context &ctx, GradedController &controller, StatusLine &status)
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

// What the command line asks that cannot be done, found before anything runs; the directory of
// --charts is made here when it is missing.
std::optional<std::string> prepareOutputs(const Context &ctx, const TestOptions &options)
{
    for (const auto &[option, path] : {std::pair{"--junit", options.junit},
                                       std::pair{"--gradescope", options.gradescope}}) {
        if (auto error = checkReportPath(ctx, option, path))
            return error;
    }
    std::error_code ec;
    if (!options.charts.empty() && !fs::is_directory(options.charts, ec)
        && !fs::create_directories(options.charts, ec))
        return "--charts " + quoteArgument(options.charts) + " is not a directory and cannot be made one";
    if (ctx.controller && ctx.controller->empty())
        return std::string("-- needs the COMMAND that starts the controller");
    return std::nullopt;
}

// The scenarios run one after the other, each verdict printed as it is reached; a controller
// that has ended fails the scenarios left, and a foreign writer on port 150 ends the run.
struct SuiteRun {
    std::vector<ScenarioResult> results;
    Clock::Duration took{};
    std::optional<io::AccessError> reportError; // a chart that could not be written
};

// The junction a run grades: its ports, the clock the scenarios play on, and the controller
// when the test started one.
struct GradedJunction {
    JunctionPorts &ports;
    Clock &clock;
    GradedController *controller = nullptr;
};

ScenarioResult runScenario(Context &ctx, const GradedJunction &junction, StatusLine &status,
                           const Scenario &scenario, const TestOptions &options)
{
    GradedController *const controller = junction.controller;
    if (controller) {
        if (auto ended = controller->ended())
            return notRun(scenario, *ended);
    }
    GradeHooks hooks;
    hooks.stop = [&] { return ctx.stopping(); };
    if (controller)
        hooks.controllerEnded = [controller] { return controller->ended(); };
    hooks.progress = [&](Clock::Duration elapsed, const JunctionState &state) {
        if (controller)
            echoOutput(ctx, *controller, status);
        status.show(scenario.name, elapsed, scenario.duration, state);
    };
    ScenarioResult result = gradeScenario(junction.ports, junction.clock, scenario, options.maxWait,
                                          options.seed, hooks);
    status.clear();
    return result;
}

SuiteRun runSuite(Context &ctx, const GradedJunction &junction, const std::vector<Scenario> &scenarios,
                  const TestOptions &options)
{
    GradedController *const controller = junction.controller;
    StatusLine status(ctx.out, isTerminal(ctx.out));
    SuiteRun run;
    const Clock::TimePoint start = junction.clock.now();
    for (const Scenario &scenario : scenarios) {
        if (ctx.stopping())
            break;
        run.results.push_back(runScenario(ctx, junction, status, scenario, options));
        const ScenarioResult &result = run.results.back();
        printVerdict(ctx.out, result);
        if (!options.charts.empty() && !run.reportError)
            run.reportError = writeChart(options.charts, result);
        if (result.foreignWriter)
            break;
    }
    if (controller) {
        controller->stop();
        echoOutput(ctx, *controller, status);
    }
    run.took = junction.clock.now() - start;
    return run;
}

// The tally, the reports and the exit status of a run of `planned` scenarios.
int finishRun(Context &ctx, const TestOptions &options, std::size_t planned, SuiteRun &run)
{
    const std::vector<ScenarioResult> &results = run.results;
    const Tally t = tally(results);
    ctx.out << t.passed << " of " << results.size() << " scenarios passed; score " << t.score << " of "
            << t.points << std::endl;
    std::optional<io::AccessError> &reportError = run.reportError;
    if (!options.junit.empty() && !reportError)
        reportError = writeFileWhole(options.junit, junitReport(results, run.took));
    if (!options.gradescope.empty() && !reportError)
        reportError = writeFileWhole(options.gradescope, gradescopeReport(results, run.took));

    // Only the last scenario run can have met one: the run ends there.
    if (!results.empty() && results.back().foreignWriter) {
        ctx.failUsage(kCommand, "another program (such as an open panel) writes port 150: "
                                        + *results.back().foreignWriter
                                        + "; nothing is graded on a port the test does not control");
        return kExitAccessFailed;
    }
    if (reportError)
        return ctx.failAccess(*reportError);
    return t.passed == static_cast<int>(results.size()) && results.size() == planned ? kExitOk
                                                                                      : kExitViolations;
}

// `--program`: the program and the grader share the machine's virtual clock and its ports in
// memory; no port file, no child, no sleeping.
int testProgram(Context &ctx, const TestOptions &options, const std::vector<Scenario> &scenarios)
{
    if (ctx.controller)
        return ctx.failUsage(kCommand, "--program and -- COMMAND cannot be given together: the "
                                       "program is the controller");
    if (!ctx.fileOverride.empty())
        return ctx.failUsage(kCommand, "--program uses no port file (the program's ports are in "
                                       "memory); leave out --file");
#ifdef BEXEN_HAVE_MACHINE
    if (options.speed == 0)
        return ctx.failUsage(kCommand, "--speed 0 has no meaning with --program: the program runs "
                                       "in virtual time, at a speed of at least 1");
    ProgramSettings settings{options.program, {}, options.speed};
    if (auto error = readProgramFile(options.program, settings.file))
        return ctx.failUsage(kCommand, *error);
    std::string error;
    const std::unique_ptr<ProgramJunction> program = ProgramJunction::load(settings, error);
    if (!program)
        return ctx.failUsage(kCommand, error);
    SuiteRun run = runSuite(ctx, GradedJunction{program->ports(), program->clock(), &program->controller()},
                            scenarios, options);
    return finishRun(ctx, options, scenarios.size(), run);
#else
    (void)scenarios;
    return ctx.failUsage(kCommand, "this build of bexen-ports has no machine to run a DOS program "
                                   "on (Unicorn is not built for Windows); run it on Linux");
#endif
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
    if (auto error = prepareOutputs(ctx, options))
        return ctx.failUsage(kCommand, *error);
    if (!options.program.empty())
        return testProgram(ctx, options, scenarios);
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
    SuiteRun run = runSuite(ctx, GradedJunction{ports, ctx.clock, controller.get()}, scenarios, options);
    return finishRun(ctx, options, scenarios.size(), run);
}

} // namespace

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
    CLI::Option *program = line.addPath(
            test, "--program", options->program,
            "grade the DOS program PROGRAM (.COM or .EXE) on the machine, in virtual time: the "
            "scenarios play in milliseconds, the same on every run and host; no port file and "
            "no -- COMMAND. What it prints is the controller's output; an exit or a fault fails "
            "the scenario it comes in, and the scenarios left");
    program->type_name("PROGRAM");
    CLI::Option *speed = line.addWholeNumber(
            test, "--speed", options->speed, 1'000'000'000,
            "with --program, run IPS instructions a virtual second (default); its waits skip "
            "virtual time on, as INT 15h and INT 1Ah see it");
    speed->type_name("IPS");
#ifndef BEXEN_HAVE_MACHINE
    // Not listed where the machine is not built; asked for, they say why.
    program->group("");
    speed->group("");
#endif
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
