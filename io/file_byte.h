// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bexen::io {

// The platform's one-byte access to the shared port file. Each call opens the file, moves one
// byte at `offset` and closes it again; nothing is held between calls. The result is empty on
// success, or the system's reason for the failure. `path` is the port file's, zero-terminated.
//
// The file lives in a directory other users can write to and is written at any moment by the
// emulator, so an access never blocks, never follows a link planted at the name, never
// truncates or appends, and refuses anything but a regular file of ours with a single link.

enum class WhenMissing {
    Create, // create the file empty (as the panel does), then read
    ReadZero, // report 0 and leave the directory as it is
};

// Reads the byte at `offset`; a byte past the end of the file reads 0 and is not a failure.
std::optional<std::string> readFileByte(const char *path, std::uint64_t offset,
                                        std::uint8_t &value,
                                        WhenMissing whenMissing = WhenMissing::Create);

// Writes the byte at `offset`; past the end, the file grows and the gap reads 0.
std::optional<std::string> writeFileByte(const char *path, std::uint64_t offset,
                                         std::uint8_t value);

} // namespace bexen::io
