// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace bexen::io {

// The temporary-directory query, with the contract of Windows' GetTempPathA: the directory is
// written into `buffer` (at most `length` characters plus a terminating zero), and the result is
// the count written without the zero, 0 on failure, or the size needed (zero included) when the
// buffer is too small, in which case the buffer's contents are unspecified.
// On Windows this is GetTempPathA itself; on POSIX it reports TMPDIR when set and not empty,
// else "/tmp".
std::uint32_t queryTempPath(std::uint32_t length, char *buffer);

// The count for a directory that the system cannot report because it exceeds the system's own
// path limit: Windows answers such a directory with 0, as if there were none.
inline constexpr std::uint32_t kTempPathTooLong = 0xFFFFFFFFu;

} // namespace bexen::io
