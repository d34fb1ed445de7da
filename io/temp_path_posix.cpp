// SPDX-License-Identifier: MIT
#include "temp_path.h"

#include "tick_path.h"

#include <cstdlib>
#include <cstring>
#include <string.h> // memccpy, which is POSIX's rather than C++'s

namespace bexen::io {

BEXEN_TICK_PATH std::uint32_t queryTempPath(std::uint32_t length, char *buffer)
{
    const char *tmpdir = std::getenv("TMPDIR");
    const char *dir = (tmpdir != nullptr && *tmpdir != '\0') ? tmpdir : "/tmp";

    // Like GetTempPathA: a buffer too small for the path and its zero gets nothing usable, and
    // the answer is the size it would need. The path is measured and copied in one pass.
    const void *end = buffer != nullptr ? ::memccpy(buffer, dir, '\0', length) : nullptr;
    if (end == nullptr)
        return static_cast<std::uint32_t>(std::strlen(dir) + 1);
    return static_cast<std::uint32_t>(static_cast<const char *>(end) - buffer - 1);
}

} // namespace bexen::io
