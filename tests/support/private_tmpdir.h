// SPDX-License-Identifier: MIT
#pragma once

// A private temporary directory and whole-file helpers, without any toolkit, for the tests of
// every platform.

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <cstdlib>
#include <unistd.h>
#endif

namespace bexen::testing {

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
// The variables GetTempPathA reads, in its order; the tests set TMP.
inline constexpr std::array<const char *, 3> kTempVariables = {"TMP", "TEMP", "USERPROFILE"};
#else
inline constexpr char kSeparator = '/';
inline constexpr std::array<const char *, 1> kTempVariables = {"TMPDIR"};
#endif

inline std::optional<std::string> environmentVariable(const char *name)
{
#ifdef _WIN32
    // The process's own block, which GetTempPathA and a started process read, not the C copy.
    const DWORD size = ::GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0)
        return std::nullopt;
    std::string value(size, '\0');
    value.resize(::GetEnvironmentVariableA(name, value.data(), size));
    return value;
#else
    const char *value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
#endif
}

// Sets the variable, or removes it for nullopt.
inline void setEnvironmentVariable(const char *name, const std::optional<std::string> &value)
{
#ifdef _WIN32
    ::SetEnvironmentVariableA(name, value ? value->c_str() : nullptr);
#else
    if (value)
        ::setenv(name, value->c_str(), 1);
    else
        ::unsetenv(name);
#endif
}

// The whole file, or nothing when it cannot be read.
inline std::optional<std::string> readFile(const std::string &path)
{
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return std::nullopt;
    return bytes;
}

// The whole file, empty when there is none.
inline std::string fileBytes(const std::string &path)
{
    return readFile(path).value_or(std::string());
}

inline bool writeFileBytes(const std::string &path, std::string_view bytes)
{
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

inline bool pathExists(const std::string &path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(std::filesystem::u8path(path), ec));
}

// The names in a directory, sorted.
inline std::vector<std::string> entriesOf(const std::string &dir)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(std::filesystem::u8path(dir), ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A temporary directory of the test's own, made the process's temporary directory (TMPDIR; TMP
// on Windows) for as long as it lives, so the port file of a real session is never touched. The
// variables and the current directory are put back when it ends, and the directory removed.
class PrivateTmpDir {
public:
    PrivateTmpDir()
    {
        for (std::size_t i = 0; i < kTempVariables.size(); ++i)
            m_saved[i] = environmentVariable(kTempVariables[i]);
        std::error_code ec;
        m_currentDirectory = std::filesystem::current_path(ec);
#ifdef _WIN32
        std::array<char, MAX_PATH + 1> base{};
        const DWORD length = ::GetTempPathA(static_cast<DWORD>(base.size()), base.data());
        if (length == 0 || length >= base.size())
            throw std::runtime_error("no temporary directory for the test");
        static unsigned serial = 0;
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            std::string candidate = std::string(base.data(), length) + "bexen-test-"
                    + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++serial);
            if (::CreateDirectoryA(candidate.c_str(), nullptr))
                m_path = std::move(candidate);
        }
#else
        const std::string base = m_saved[0] && !m_saved[0]->empty() ? *m_saved[0] : "/tmp";
        std::string pattern = base + "/bexen-test-XXXXXX";
        if (::mkdtemp(pattern.data()))
            m_path = pattern;
#endif
        if (m_path.empty())
            throw std::runtime_error("cannot make a private directory for the test");
        setTemporaryDirectory(m_path);
    }
    ~PrivateTmpDir()
    {
        for (std::size_t i = 0; i < kTempVariables.size(); ++i)
            setEnvironmentVariable(kTempVariables[i], m_saved[i]);
        std::error_code ec;
        std::filesystem::current_path(m_currentDirectory, ec);
        std::filesystem::remove_all(std::filesystem::u8path(m_path), ec);
    }
    PrivateTmpDir(const PrivateTmpDir &) = delete;
    PrivateTmpDir &operator=(const PrivateTmpDir &) = delete;

    // Points the process's temporary directory elsewhere (TMPDIR, or TMP on Windows).
    static void setTemporaryDirectory(const std::optional<std::string> &dir)
    {
        setEnvironmentVariable(kTempVariables[0], dir);
    }

    // Without a trailing separator.
    const std::string &path() const { return m_path; }
    std::string filePath(std::string_view name) const
    {
        return m_path + kSeparator + std::string(name);
    }
    std::string portFile() const { return filePath("emu_port.dat"); }
    std::string portBytes() const { return fileBytes(portFile()); }
    bool writePortBytes(std::string_view bytes) const { return writeFileBytes(portFile(), bytes); }

    // A subdirectory, made now.
    std::string makeDirectory(std::string_view name) const
    {
        std::string dir = filePath(name);
        std::error_code ec;
        std::filesystem::create_directory(std::filesystem::u8path(dir), ec);
        return dir;
    }

private:
    std::string m_path;
    std::array<std::optional<std::string>, kTempVariables.size()> m_saved;
    std::filesystem::path m_currentDirectory;
};

} // namespace bexen::testing

using bexen::testing::PrivateTmpDir;
