// SPDX-License-Identifier: MIT
#include "temp_path.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace bexen::io {

std::uint32_t queryTempPath(std::uint32_t length, char *buffer)
{
    ::SetLastError(ERROR_SUCCESS);
    const DWORD count = ::GetTempPathA(length, buffer);
    // TMP (or TEMP, or USERPROFILE) names a directory longer than MAX_PATH: the query answers 0,
    // the same as when there is no temporary directory at all, which would put the port file in
    // whatever directory the panel was started from, where the emulator does not look. The
    // directory is there, only too long, so it is refused like one too long for our buffer.
    if (count == 0 && ::GetLastError() == ERROR_FILENAME_EXCED_RANGE)
        return kTempPathTooLong;
    return count;
}

} // namespace bexen::io
