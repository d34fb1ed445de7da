// SPDX-License-Identifier: MIT
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

namespace bexen::ports {

// The tool's help on CLI11's formatter: a usage line, the summary, then each table with its
// descriptions in one column just past its widest entry, and the notes of the whole tool.
std::shared_ptr<CLI::Formatter> makeHelpLayout();

// The notes that close every help: what a port, a value and seconds are, and the exit statuses.
std::string helpNotes();

} // namespace bexen::ports
