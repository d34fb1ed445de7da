// SPDX-License-Identifier: MIT
#include "file_byte.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace bexen::io {

namespace {

std::string systemReason(DWORD error)
{
    char *text = nullptr;
    const DWORD length = ::FormatMessageA(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                    | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, error, 0, reinterpret_cast<char *>(&text), 0, nullptr);
    std::string reason = length > 0 ? std::string(text, length) : "error " + std::to_string(error);
    if (text != nullptr)
        ::LocalFree(text);
    reason.erase(reason.find_last_not_of("\r\n.") + 1);
    return reason;
}

class Handle {
public:
    Handle() = default;
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
    }
    void reset(HANDLE h) { m_handle = h; }
    HANDLE get() const { return m_handle; }
    bool close()
    {
        const HANDLE h = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return ::CloseHandle(h) != 0;
    }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};

// Shared for reading, writing and deleting, so the emulator can open, replace or remove the file
// while we hold it for our one byte. A reparse point is opened as itself, never followed.
std::optional<std::string> openPortFile(const char *path, WhenMissing whenMissing,
                                        Handle &out, bool &missing)
{
    missing = false;
    const DWORD disposition = whenMissing == WhenMissing::Create ? OPEN_ALWAYS : OPEN_EXISTING;
    const DWORD access = whenMissing == WhenMissing::Create ? GENERIC_READ | GENERIC_WRITE
                                                            : GENERIC_READ;
    const HANDLE h = ::CreateFileA(path, access,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   disposition,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (whenMissing == WhenMissing::ReadZero
            && (error == ERROR_FILE_NOT_FOUND)) {
            missing = true;
            return std::nullopt;
        }
        return systemReason(error);
    }
    out.reset(h);

    if (::GetFileType(h) != FILE_TYPE_DISK)
        return "is not a regular file";
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info))
        return systemReason(::GetLastError());
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return "is a directory, not a regular file";
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return "is a link, which is never followed";
    if (info.nNumberOfLinks != 1)
        return "has " + std::to_string(info.nNumberOfLinks)
                + " hard links; a port file of our own has exactly one";
    return std::nullopt;
}

OVERLAPPED at(std::uint64_t offset)
{
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return position;
}

} // namespace

std::optional<std::string> readFileByte(const char *path, std::uint64_t offset,
                                        std::uint8_t &value, WhenMissing whenMissing)
{
    value = 0;
    Handle file;
    bool missing = false;
    if (auto reason = openPortFile(path, whenMissing, file, missing))
        return reason;
    if (missing)
        return std::nullopt;

    // Nothing read (the byte lies past the end of the file) leaves the 0.
    DWORD read = 0;
    OVERLAPPED position = at(offset);
    if (!::ReadFile(file.get(), &value, 1, &read, &position)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_HANDLE_EOF)
            return std::nullopt;
        return systemReason(error);
    }
    return std::nullopt;
}

std::optional<std::string> writeFileByte(const char *path, std::uint64_t offset,
                                         std::uint8_t value)
{
    Handle file;
    bool missing = false;
    if (auto reason = openPortFile(path, WhenMissing::Create, file, missing))
        return reason;

    DWORD written = 0;
    OVERLAPPED position = at(offset);
    if (!::WriteFile(file.get(), &value, 1, &written, &position))
        return systemReason(::GetLastError());
    if (written != 1)
        return "the byte was not written";
    if (!file.close())
        return systemReason(::GetLastError());
    return std::nullopt;
}

} // namespace bexen::io
