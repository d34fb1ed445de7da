// SPDX-License-Identifier: MIT
#include "temp_path.h"

#include "tick_path.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace bexen::io {

BEXEN_TICK_PATH std::uint32_t queryTempPath(std::uint32_t length, char *buffer)
{
    const char *tmpdir = std::getenv("TMPDIR");
    const std::string_view dir = (tmpdir != nullptr && *tmpdir != '\0') ? tmpdir : "/tmp";

    // Like GetTempPathA: a buffer too small for the path and its zero gets nothing, and the
    // answer is the size it would need.
    if (dir.size() + 1 > length || buffer == nullptr)
        return static_cast<std::uint32_t>(dir.size() + 1);
    std::memcpy(buffer, dir.data(), dir.size());
    buffer[dir.size()] = '\0';
    return static_cast<std::uint32_t>(dir.size());
}

} // namespace bexen::io
