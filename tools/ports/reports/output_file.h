// SPDX-License-Identifier: MIT
#pragma once

#include "port_channel.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bexen::ports {

// Writes `content` to a file beside `target` under a name of its own and renames it over `target`
// only once whole, so a failure leaves no half-written report and an older one stays as it was.
// The error names `target`.
std::optional<io::AccessError> writeFileWhole(const std::string &target, const std::string &content);

// Whether two paths name one file: the same text, or one file reached two ways (a link, "./").
bool isSameFile(const std::string &a, const std::string &b);

// A file that an output must not land on: the port file (opening it for output would empty the
// emulator's ports), or the input being read.
struct KeptFile {
    std::string path;
    std::string_view what; // "the port file", "the recording"
};

// A file a command is about to write, as its error lines name it.
struct OutputTarget {
    std::string_view argument; // "OUT", "--junit", "FILE"
    std::string path;
    std::string_view work; // "draw the chart": "...; draw the chart into another file"
    std::string_view file; // "the chart's file": "... is a directory; name the chart's file"
};

// What is wrong with writing `target`, found before anything is written: one of `kept`, a
// directory, or a place whose directory is missing or no directory. Nothing when it is usable.
std::optional<std::string> checkOutputPath(const OutputTarget &target,
                                           const std::vector<KeptFile> &kept);

} // namespace bexen::ports
