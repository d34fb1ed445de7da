// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace bexen::ports {

// Text as XML takes it, in an element or an attribute in double quotes: markup characters
// escaped, and whatever is not valid UTF-8 or not allowed in XML (a stray byte of a file name, a
// control character) replaced by "?".
std::string xmlText(std::string_view text);

} // namespace bexen::ports
