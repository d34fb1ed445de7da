// SPDX-License-Identifier: MIT
#pragma once

// Helpers for the Windows tests: a private directory under the process's own temporary
// directory, and the three variables the temporary-directory query reads, set inside the process
// (Wine takes them from its registry, not from the environment it was started with).

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace bexen::wintest {

inline constexpr std::array<const char *, 3> kTempVariables = {"TMP", "TEMP", "USERPROFILE"};

inline std::optional<std::string> environmentVariable(const char *name)
{
    const DWORD size = ::GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0)
        return std::nullopt;
    std::string value(size, '\0');
    const DWORD length = ::GetEnvironmentVariableA(name, value.data(), size);
    value.resize(length);
    return value;
}

inline void setEnvironmentVariable(const char *name, const std::optional<std::string> &value)
{
    ::SetEnvironmentVariableA(name, value ? value->c_str() : nullptr);
}

// TMP, TEMP and USERPROFILE as the test found them, put back when it ends; likewise the current
// directory, where the port file goes when the temporary directory cannot be queried.
class SavedEnvironment {
public:
    SavedEnvironment()
    {
        for (std::size_t i = 0; i < kTempVariables.size(); ++i)
            m_values[i] = environmentVariable(kTempVariables[i]);
        m_currentDirectory = std::filesystem::current_path();
    }
    ~SavedEnvironment()
    {
        for (std::size_t i = 0; i < kTempVariables.size(); ++i)
            setEnvironmentVariable(kTempVariables[i], m_values[i]);
        std::error_code ec;
        std::filesystem::current_path(m_currentDirectory, ec);
    }
    SavedEnvironment(const SavedEnvironment &) = delete;
    SavedEnvironment &operator=(const SavedEnvironment &) = delete;

private:
    std::array<std::optional<std::string>, kTempVariables.size()> m_values;
    std::filesystem::path m_currentDirectory;
};

// A directory of the test's own below the temporary directory the process started with,
// removed with everything in it when the test ends. Its path has no trailing backslash.
class PrivateDirectory {
public:
    PrivateDirectory()
    {
        std::array<char, MAX_PATH + 1> base{};
        const DWORD length = ::GetTempPathA(static_cast<DWORD>(base.size()), base.data());
        if (length == 0 || length >= base.size())
            throw std::runtime_error("no temporary directory for the test");
        static unsigned serial = 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string candidate = std::string(base.data(), length) + "bexen-test-"
                    + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++serial);
            if (::CreateDirectoryA(candidate.c_str(), nullptr)) {
                m_path = std::move(candidate);
                return;
            }
        }
        throw std::runtime_error("cannot make a private directory for the test");
    }
    ~PrivateDirectory()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    PrivateDirectory(const PrivateDirectory &) = delete;
    PrivateDirectory &operator=(const PrivateDirectory &) = delete;

    const std::string &path() const { return m_path; }
    std::string file(std::string_view name) const { return m_path + "\\" + std::string(name); }
    std::string portFile() const { return file("emu_port.dat"); }

    // A subdirectory, made now.
    std::string makeDirectory(std::string_view name) const
    {
        const std::string dir = file(name);
        ::CreateDirectoryA(dir.c_str(), nullptr);
        return dir;
    }

private:
    std::string m_path;
};

inline bool exists(const std::string &path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The whole file, or nothing when it cannot be opened.
inline std::optional<std::string> fileBytes(const std::string &path)
{
    const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes;
    std::array<char, 4096> chunk{};
    DWORD got = 0;
    while (::ReadFile(h, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) && got > 0)
        bytes.append(chunk.data(), got);
    ::CloseHandle(h);
    return bytes;
}

inline bool writeFile(const std::string &path, const std::string &bytes)
{
    const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
            && written == bytes.size();
    return ::CloseHandle(h) && ok;
}

} // namespace bexen::wintest
