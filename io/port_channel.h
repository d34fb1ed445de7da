// SPDX-License-Identifier: MIT
#pragma once

#include "file_byte.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bexen::io {

inline constexpr std::string_view kPortFileName = "emu_port.dat";

// Port p is the byte at offset p - 100 of the port file; ports below 100 have no place in it.
inline constexpr std::int32_t kFirstPort = 100;

// Why an access to the port file failed: the file (or directory) concerned and the reason.
struct AccessError {
    std::string path;
    std::string reason;

    std::string message() const; // "PATH: REASON"
};

struct ReadOutcome {
    std::uint8_t value = 0;
    std::optional<AccessError> error;
};

struct PortFileLocation {
    std::string path; // empty when `error` is set
    std::optional<AccessError> error;
};

// Appends the separator to a non-empty directory that does not already end in one. On Windows
// the separator is "\" and only "\" counts (a directory ending in "/" still gets one); on POSIX
// it is "/". An empty directory stays empty.
std::string add_backslash(std::string dir);

// The port file as the temporary directory names it now (queried afresh at every call). A
// directory too long for the query's 500-character buffer is an error: no path is made from it.
// A failed query (count 0) gives the bare file name, in the current directory.
PortFileLocation locatePortFile();

// The reporting form of the channel, for callers that must say why an access failed.
// `path` names the port file explicitly; the overloads without it locate the file afresh.
ReadOutcome readPortByte(std::int32_t port, const std::string &path,
                         WhenMissing whenMissing = WhenMissing::Create);
std::optional<AccessError> writePortByte(std::int32_t port, std::uint8_t value,
                                         const std::string &path);
ReadOutcome readPortByte(std::int32_t port, WhenMissing whenMissing = WhenMissing::Create);
std::optional<AccessError> writePortByte(std::int32_t port, std::uint8_t value);

// The panel's silent procedures: a failed read is 0, a failed write is dropped, nothing is said.
std::uint8_t READ_IO_BYTE(std::int32_t port);
void WRITE_IO_BYTE(std::int32_t port, std::uint8_t value);

} // namespace bexen::io
