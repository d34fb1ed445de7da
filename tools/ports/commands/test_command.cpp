// SPDX-License-Identifier: MIT
#include "commands/test_command.h"

#include "commands/command_line.h"
#include "commands/context_ports.h"
#include "commands/controller.h"
#include "commands/program_junction.h"
#include "commands/run.h"
#include "commands/controller_capture.h"
#include "commands/status_line.h"
#include "commands/test_run_dir.h"
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
    bool showOutput = false;
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

// With --show-output, the controller's lines among the verdicts, each marked as its own.
ControllerCapture::Echo outputEcho(Context &ctx, StatusLine &status, bool shown)
{
    if (!shown)
        return {};
    return [&ctx, &status](bool fromStderr, const std::string &lines) {
        status.clear();
        (fromStderr ? ctx.err : ctx.out) << lines << std::flush;
    };
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
// that has ended fails the scenarios left. A port file that fails, or a foreign writer on a
// shared port 150, ends the run, and the scenarios left are listed as not run.
struct SuiteRun {
    std::vector<ScenarioResult> results;
    Clock::Duration took{};
    std::optional<io::AccessError> portError;
    std::optional<io::AccessError> chartError; // the first chart that could not be written
};

// The junction a run grades: its ports, the clock the scenarios play on, and the controller
// when the test started one.
struct GradedJunction {
    JunctionPorts &ports;
    Clock &clock;
    GradedController *controller = nullptr;
    bool privateFile = false; // nobody but the controller shares the port file
};

ScenarioResult runScenario(Context &ctx, const GradedJunction &junction, StatusLine &status,
                           ControllerCapture &capture, const Scenario &scenario,
                           const TestOptions &options)
{
    GradedController *const controller = junction.controller;
    if (controller) {
        if (auto ended = controller->ended())
            return notRun(scenario, *ended);
    }
    GradeHooks hooks;
    hooks.privateFile = junction.privateFile;
    hooks.stop = [&] { return ctx.stopping(); };
    if (controller)
        hooks.controllerEnded = [controller] { return controller->ended(); };
    hooks.progress = [&](Clock::Duration elapsed, const JunctionState &state) {
        if (controller)
            capture.add(controller->takeOutput());
        status.show(scenario.name, elapsed, scenario.duration, state);
    };
    ScenarioResult result = gradeScenario(junction.ports, junction.clock, scenario, options.maxWait,
                                          options.seed, hooks);
    status.clear();
    if (controller)
        capture.add(controller->takeOutput());
    capture.handOver(result);
    return result;
}

// The scenarios from `next` on, each failed with why none of them ran.
void listNotRun(const Context &ctx, SuiteRun &run, const std::vector<Scenario> &scenarios,
                std::size_t next, const std::string &why)
{
    for (std::size_t i = next; i < scenarios.size(); ++i) {
        run.results.push_back(notRun(scenarios[i], "not run: " + why));
        printVerdict(ctx.out, run.results.back());
    }
}

// Why the run cannot go on after the scenario just graded, if it cannot.
std::optional<std::string> runBroken(const SuiteRun &run)
{
    if (run.portError)
        return "the port file failed: " + run.portError->message();
    if (!run.results.empty() && run.results.back().foreignWriter)
        return "the run stopped when port 150 was written by someone other than the test";
    return std::nullopt;
}

SuiteRun runSuite(Context &ctx, const GradedJunction &junction, const std::vector<Scenario> &scenarios,
                  const TestOptions &options)
{
    GradedController *const controller = junction.controller;
    StatusLine status(ctx.out, isTerminal(ctx.out));
    ControllerCapture capture(outputEcho(ctx, status, options.showOutput));
    SuiteRun run;
    const Clock::TimePoint start = junction.clock.now();
    for (std::size_t i = 0; i < scenarios.size() && !ctx.stopping(); ++i) {
        std::size_t left = i + 1; // the first scenario not graded
        try {
            run.results.push_back(runScenario(ctx, junction, status, capture, scenarios[i], options));
            printVerdict(ctx.out, run.results.back());
            if (!options.charts.empty()) {
                auto error = writeChart(options.charts, run.results.back());
                if (!run.chartError)
                    run.chartError = std::move(error);
            }
        } catch (const PortFailure &failure) {
            status.clear();
            run.portError = failure.error();
            left = i; // the scenario under way never finished
        }
        if (auto why = runBroken(run)) {
            listNotRun(ctx, run, scenarios, left, *why);
            break;
        }
    }
    if (controller) {
        controller->stop();
        capture.add(controller->takeOutput());
        ScenarioResult rest;
        capture.handOver(run.results.empty() ? rest : run.results.back());
    }
    run.took = junction.clock.now() - start;
    return run;
}

// Each report that can be written is, whatever became of the others; answers the failures.
std::vector<io::AccessError> writeReports(const TestOptions &options, const SuiteRun &run,
                                          std::chrono::system_clock::time_point began)
{
    std::vector<io::AccessError> failed;
    if (run.chartError)
        failed.push_back(*run.chartError);
    if (!options.junit.empty()) {
        if (auto error = writeFileWhole(options.junit, junitReport(run.results, run.took, began)))
            failed.push_back(*error);
    }
    if (!options.gradescope.empty()) {
        if (auto error = writeFileWhole(options.gradescope, gradescopeReport(run.results, run.took)))
            failed.push_back(*error);
    }
    return failed;
}

// The tally, the reports and the exit status of a run of `planned` scenarios.
int finishRun(Context &ctx, const TestOptions &options, std::size_t planned, SuiteRun &run,
              std::chrono::system_clock::time_point began)
{
    const std::vector<ScenarioResult> &results = run.results;
    ctx.out << summaryLine(results) << std::endl;
    const std::vector<io::AccessError> reportErrors = writeReports(options, run, began);
    int code = tally(results).passed == static_cast<int>(results.size()) && results.size() == planned
            ? kExitOk
            : kExitViolations;
    if (run.portError)
        code = ctx.failAccess(*run.portError);
    const auto foreign = std::ranges::find_if(results, [](const ScenarioResult &r) {
        return r.foreignWriter.has_value();
    });
    if (foreign != results.end()) {
        ctx.failUsage(kCommand, std::string(ctx.controller ? "the controller or another program"
                                                           : "another program")
                                        + " (such as an open panel) writes port 150: "
                                        + *foreign->foreignWriter
                                        + "; nothing is graded on a port the test does not control");
        code = kExitAccessFailed;
    }
    for (const io::AccessError &error : reportErrors)
        code = ctx.failAccess(error);
    return code;
}

// `--program`: the program and the grader share the machine's virtual clock and its ports in
// memory; no port file, no child, no sleeping.
// Without the machine (Windows) only the refusals are left, and options and scenarios go unread.
int testProgram(Context &ctx, [[maybe_unused]] const TestOptions &options,
                [[maybe_unused]] const std::vector<Scenario> &scenarios)
{
    if (ctx.controller)
        return ctx.failUsage(kCommand, "--program and -- COMMAND cannot be given together: the "
                                       "program is the controller");
    // BEXEN_PORT_FILE, which a graded controller inherits, is no --file of the user's.
    if (!ctx.fileOverride.empty() && ctx.fileOverride != portFileFromEnvironment())
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
    // The program's ports are its own: a byte on port 150 that the grader did not write is the
    // program's.
    const auto began = program->clock().wallNow();
    SuiteRun run = runSuite(ctx, GradedJunction{program->ports(), program->clock(), &program->controller(), true},
                            scenarios, options);
    return finishRun(ctx, options, scenarios.size(), run, began);
#else
    return ctx.failUsage(kCommand, "this build of bexen-ports has no machine to run a DOS program "
                                   "on (Unicorn is not built for Windows); run it on Linux");
#endif
}

// A controller that cannot be started fails every scenario, and the reports say so: an
// autograder reads the reason there, not on a terminal.
int failToStart(Context &ctx, const TestOptions &options, const std::vector<Scenario> &scenarios,
                const std::string &why, std::chrono::system_clock::time_point began)
{
    ctx.err << usageLine(kCommand, why) << std::endl;
    SuiteRun run;
    listNotRun(ctx, run, scenarios, 0, why);
    finishRun(ctx, options, scenarios.size(), run, began);
    return kExitAccessFailed;
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
    TestPortFile portFile;
    if (auto error = portFile.prepare(ctx, ctx.controller.has_value()))
        return ctx.failAccess(*error);
    Context graded = ctx;
    graded.fileOverride = portFile.path();
    const auto began = ctx.clock.wallNow();

    std::unique_ptr<ControllerProcess> controller;
    if (ctx.controller) {
        ControllerLimits limits;
        limits.grace = options.grace;
        if (auto error = ControllerProcess::start(*ctx.controller, portFile.environment(), limits,
                                                  controller))
            return failToStart(graded, options, scenarios,
                               "cannot start the controller " + quoteArgument(ctx.controller->front())
                                       + ": " + *error,
                               began);
    }
    ContextPorts ports(graded, io::WhenMissing::Create);
    SuiteRun run = runSuite(graded, GradedJunction{ports, ctx.clock, controller.get(), portFile.isPrivate()},
                            scenarios, options);
    return finishRun(graded, options, scenarios.size(), run, began);
}

// --program and its --speed: the DOS program graded on the machine instead of a controller.
void addProgramOptions(CommandLine &line, CLI::App &test, TestOptions &options)
{
    CLI::Option *program = line.addPath(
            test, "--program", options.program,
            "grade the DOS program PROGRAM (.COM or .EXE) on the machine, in virtual time: the "
            "scenarios play in milliseconds, the same on every run and host; no port file and "
            "no -- COMMAND. What it prints is the controller's output; an exit or a fault fails "
            "the scenario it comes in, and the scenarios left");
    program->type_name("PROGRAM");
    CLI::Option *speed = line.addWholeNumber(
            test, "--speed", options.speed, 1'000'000'000,
            "with --program, run IPS instructions a virtual second (default); its waits skip "
            "virtual time on, as INT 15h and INT 1Ah see it");
    speed->type_name("IPS");
#ifndef BEXEN_HAVE_MACHINE
    // Not listed where the machine is not built; asked for, they say why.
    program->group("");
    speed->group("");
#endif
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
    addProgramOptions(line, test, *options);
    test.add_flag("--show-output", options->showOutput,
                  "pass the controller's output on as it comes, each line marked \"controller: \" "
                  "or \"controller (stderr): \" (the reports hold it in any case)");
    test.add_flag("--list", options->list,
                  "print the built-in scenarios (name, title, duration, points) and exit");
    test.footer("-- COMMAND [ARGUMENTS]... starts the controller before the first scenario and "
                "ends it after the last (also on Ctrl-C); if it exits early, the scenarios left "
                "fail. Without --file the run grades on a fresh port file of its own, in a private "
                "directory removed afterwards, so runs side by side never meet; the controller "
                "finds it through TMPDIR, as the emulator does, and BEXEN_PORT_FILE holds its "
                "path (bexen-ports reads that itself). What the controller prints goes to the "
                "reports, not among the verdicts (--show-output). Exit status: 0 every scenario "
                "passed, 3 one failed, 2 bad arguments or a faulty scenario, 1 the port file could "
                "not be used, a report could not be written, or someone else writes port 150 of a "
                "shared file. Ctrl-C clears the sensors and writes the reports of the scenarios "
                "run so far.");
}

} // namespace bexen::ports
