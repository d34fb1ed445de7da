// SPDX-License-Identifier: MIT
#include "port_channel.h"

#include "temp_path.h"

#include <array>
#include <utility>

namespace bexen::io {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// The directory query gets a 500-character buffer and is told it holds 499, as the emulator's
// side does, so both sides agree on which directories they can name.
constexpr std::uint32_t kTempPathBufferSize = 500;
constexpr std::uint32_t kTempPathLengthPassed = kTempPathBufferSize - 1;

// The byte of `port`, or why the port has none. Worked out in 64 bits: no port overflows.
std::optional<std::string> portOffset(std::int32_t port, std::uint64_t &offset)
{
    if (port < kFirstPort)
        return "port " + std::to_string(port) + " has no place in the file (ports start at "
                + std::to_string(kFirstPort) + ")";
    offset = static_cast<std::uint64_t>(static_cast<std::int64_t>(port) - kFirstPort);
    return std::nullopt;
}

} // namespace

std::string AccessError::message() const
{
    return path + ": " + reason;
}

std::string add_backslash(std::string dir)
{
    if (!dir.empty() && dir.back() != kSeparator)
        dir += kSeparator;
    return dir;
}

PortFileLocation locatePortFile()
{
    std::array<char, kTempPathBufferSize> buffer{};
    const std::uint32_t count = queryTempPath(kTempPathLengthPassed, buffer.data());
    if (count >= kTempPathLengthPassed) {
        // The buffer does not hold the directory: any path made from it would name some other
        // file, so there is none.
        const std::string reason = count == kTempPathTooLong
                ? std::string("the temporary directory's path is longer than the system can report")
                // The count is the size the query needs, its terminating zero included.
                : "the temporary directory's path is " + std::to_string(count - 1)
                        + " characters long; at most " + std::to_string(kTempPathLengthPassed - 1)
                        + " are supported";
        return {{}, AccessError{std::string(kPortFileName) + " in the temporary directory", reason}};
    }
    // A failed query (0) leaves the bare name, which names the file in the current directory.
    std::string path;
    path.reserve(count + 1 + kPortFileName.size()); // one allocation per access, not three
    path.assign(buffer.data(), count);
    path = add_backslash(std::move(path));
    path += kPortFileName;
    return {std::move(path), {}};
}

ReadOutcome readPortByte(std::int32_t port, const std::string &path, WhenMissing whenMissing)
{
    ReadOutcome outcome;
    std::uint64_t offset = 0;
    if (auto reason = portOffset(port, offset)) {
        outcome.error = AccessError{path, *reason};
        return outcome;
    }
    if (auto reason = readFileByte(path, offset, outcome.value, whenMissing)) {
        outcome.value = 0;
        outcome.error = AccessError{path, *reason};
    }
    return outcome;
}

std::optional<AccessError> writePortByte(std::int32_t port, std::uint8_t value,
                                         const std::string &path)
{
    std::uint64_t offset = 0;
    if (auto reason = portOffset(port, offset))
        return AccessError{path, *reason};
    if (auto reason = writeFileByte(path, offset, value))
        return AccessError{path, *reason};
    return std::nullopt;
}

ReadOutcome readPortByte(std::int32_t port, WhenMissing whenMissing)
{
    PortFileLocation where = locatePortFile();
    if (where.error)
        return {0, where.error};
    return readPortByte(port, where.path, whenMissing);
}

std::optional<AccessError> writePortByte(std::int32_t port, std::uint8_t value)
{
    PortFileLocation where = locatePortFile();
    if (where.error)
        return where.error;
    return writePortByte(port, value, where.path);
}

std::uint8_t READ_IO_BYTE(std::int32_t port)
{
    return readPortByte(port).value;
}

void WRITE_IO_BYTE(std::int32_t port, std::uint8_t value)
{
    (void)writePortByte(port, value);
}

} // namespace bexen::io
