// SPDX-License-Identifier: MIT
#pragma once

#include "port_channel.h"

#include <optional>
#include <string>

namespace bexen::ports {

// Writes `content` to a file beside `target` under a name of its own and renames it over `target`
// only once whole, so a failure leaves no half-written report and an older one stays as it was.
// The error names `target`.
std::optional<io::AccessError> writeFileWhole(const std::string &target, const std::string &content);

// Whether two paths name one file: the same text, or one file reached two ways (a link, "./").
bool isSameFile(const std::string &a, const std::string &b);

} // namespace bexen::ports
