// SPDX-License-Identifier: MIT
#pragma once

#include "commands/cli.h"

namespace bexen::ports {

class CommandLine;

// where, get, set, dump and watch (with watch --check), each added to the tool's command line.
void addWhereCommand(CommandLine &line);
void addGetCommand(CommandLine &line);
void addSetCommand(CommandLine &line);
void addDumpCommand(CommandLine &line);
void addWatchCommand(CommandLine &line);

} // namespace bexen::ports
