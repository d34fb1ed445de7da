// SPDX-License-Identifier: MIT
#pragma once

namespace bexen::ports {

class CommandLine;

// `bexen-ports chart RECORDING OUT`: a timing chart in SVG of a run that record wrote to CSV.
void addChartCommand(CommandLine &line);

} // namespace bexen::ports
