// SPDX-License-Identifier: MIT
#include "commands/cli.h"

#include "commands/chart.h"
#include "commands/command_line.h"
#include "commands/commands_basic.h"
#include "commands/controller_args.h"
#include "commands/demo.h"
#include "commands/play.h"
#include "commands/recorder.h"
#include "commands/run.h"
#include "commands/test_command.h"
#include "model/junction_ports.h"
#include "shared/interrupt.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>

namespace bexen::ports {

int runTool(const Args &args, std::ostream &out, std::ostream &err, Clock &clock,
            std::function<bool()> stopWhen)
{
    Context ctx{out, err, clock, portFileFromEnvironment(), std::move(stopWhen), {}};
    // The commands in the order help lists them.
    CommandLine line;
    for (const auto add : {addWhereCommand, addGetCommand, addSetCommand, addDumpCommand,
                           addWatchCommand, addDemoCommand, addRecordCommand, addPlayCommand,
                           addChartCommand, addTestCommand, addRunCommand})
        add(line);
    Args words = args;
    ctx.controller = takeControllerCommand(words, line.valueOptions());
    try {
        return line.run(words, ctx);
    } catch (const PortFailure &failure) {
        // The port file failed in the middle of a command's work: the path and the reason.
        return ctx.failAccess(failure.error());
    }
}

int runMain(int argc, char **argv)
{
    installStopHandler();
    SystemClock clock;
    Args args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    try {
        return runTool(args, std::cout, std::cerr, clock);
    } catch (const std::exception &e) {
        std::cerr << kToolName << ": " << e.what() << std::endl;
        return kExitAccessFailed;
    }
}

} // namespace bexen::ports
