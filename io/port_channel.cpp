// SPDX-License-Identifier: MIT
#include "port_channel.h"

#include "temp_path.h"
#include "tick_path.h"

#include <array>
#include <string_view>
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

// Why `port` has no byte in the file.
BEXEN_OFF_TICK_PATH std::string noPlaceFor(std::int32_t port)
{
    return "port " + std::to_string(port) + " has no place in the file (ports start at "
            + std::to_string(kFirstPort) + ")";
}

// The byte of `port`, or why the port has none. Worked out in 64 bits: no port overflows.
BEXEN_TICK_PATH std::optional<std::string> portOffset(std::int32_t port, std::uint64_t &offset)
{
    if (port < kFirstPort)
        return noPlaceFor(port);
    offset = static_cast<std::uint64_t>(static_cast<std::int64_t>(port) - kFirstPort);
    return std::nullopt;
}

// Why a directory for which the query answered `count` cannot name the port file.
BEXEN_OFF_TICK_PATH AccessError unnamedPortFile(std::uint32_t count)
{
    const std::string reason = count == kTempPathTooLong
            ? std::string("the temporary directory's path is longer than the system can report")
            // The count is the size the query needs, its terminating zero included.
            : "the temporary directory's path is " + std::to_string(count - 1)
                    + " characters long; at most " + std::to_string(kTempPathLengthPassed - 1)
                    + " are supported";
    return AccessError{std::string(kPortFileName) + " in the temporary directory", reason};
}

// Whether a directory needs the separator before a name is put after it.
BEXEN_TICK_PATH bool needsSeparator(std::string_view dir)
{
    return !dir.empty() && dir.back() != kSeparator;
}

// The port file's path, made afresh for each access in a buffer of its own on the stack: the
// directory query writes straight into it and no allocation is made, so an access costs little
// more than its system calls.
class PortFilePath {
public:
    // Empty, with the reason, when the directory cannot name the file.
    BEXEN_TICK_PATH std::optional<AccessError> locate()
    {
        const std::uint32_t count = queryTempPath(kTempPathLengthPassed, m_chars.data());
        // The buffer does not hold the directory: any path made from it would name some other
        // file, so there is none.
        if (count >= kTempPathLengthPassed)
            return unnamedPortFile(count);
        // A failed query (0) leaves the bare name, which names the file in the current directory.
        m_length = count;
        if (needsSeparator({m_chars.data(), m_length}))
            m_chars[m_length++] = kSeparator;
        kPortFileName.copy(m_chars.data() + m_length, kPortFileName.size());
        m_length += kPortFileName.size();
        m_chars[m_length] = '\0';
        return std::nullopt;
    }

    const char *c_str() const { return m_chars.data(); }
    std::string str() const { return {m_chars.data(), m_length}; }

private:
    // The query's buffer, then room for the separator, the name and the terminating zero.
    std::array<char, kTempPathBufferSize + 1 + kPortFileName.size() + 1> m_chars;
    std::size_t m_length = 0;
};

} // namespace

std::string AccessError::message() const
{
    return path + ": " + reason;
}

std::string add_backslash(std::string dir)
{
    if (needsSeparator(dir))
        dir += kSeparator;
    return dir;
}

PortFileLocation locatePortFile()
{
    PortFilePath path;
    if (std::optional<AccessError> error = path.locate())
        return {{}, std::move(error)};
    return {path.str(), {}};
}

ReadOutcome readPortByte(std::int32_t port, const std::string &path, WhenMissing whenMissing)
{
    ReadOutcome outcome;
    std::uint64_t offset = 0;
    std::optional<std::string> reason = portOffset(port, offset);
    if (!reason)
        reason = readFileByte(path.c_str(), offset, outcome.value, whenMissing);
    if (reason) {
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
    if (auto reason = writeFileByte(path.c_str(), offset, value))
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

// The panel's procedures take the path as it stands in its buffer: eight accesses every 100 ms
// with nothing but the system calls to pay for.
BEXEN_TICK_PATH std::uint8_t READ_IO_BYTE(std::int32_t port)
{
    PortFilePath path;
    std::uint64_t offset = 0;
    std::uint8_t value = 0;
    if (path.locate() || portOffset(port, offset)
        || readFileByte(path.c_str(), offset, value, WhenMissing::Create))
        return 0;
    return value;
}

BEXEN_TICK_PATH void WRITE_IO_BYTE(std::int32_t port, std::uint8_t value)
{
    PortFilePath path;
    std::uint64_t offset = 0;
    if (path.locate() || portOffset(port, offset))
        return;
    (void)writeFileByte(path.c_str(), offset, value);
}

} // namespace bexen::io
