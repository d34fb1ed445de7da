// SPDX-License-Identifier: MIT
#include "commands/test_run_dir.h"

#include "model/port_view.h"

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <cstdlib>
#include <unistd.h>
#endif

namespace bexen::ports {

namespace fs = std::filesystem;

namespace {

// A new directory only this user may enter, in `base`; empty when none could be made.
std::string makePrivateDirectory(const std::string &base)
{
#ifdef _WIN32
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = io::add_backslash(base) + "bexen-ports-run-"
                + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++serial);
        if (::CreateDirectoryA(candidate.c_str(), nullptr))
            return candidate;
    }
    return {};
#else
    std::string pattern = io::add_backslash(base) + "bexen-ports-run-XXXXXX";
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
#endif
}

} // namespace

TestPortFile::~TestPortFile()
{
    if (m_directory.empty())
        return;
    std::error_code ec;
    fs::remove_all(fs::u8path(m_directory), ec);
}

std::optional<io::AccessError> TestPortFile::prepare(const Context &ctx, bool ownDirectory)
{
    const io::PortFileLocation shared = ctx.portFile();
    if (shared.error)
        return shared.error;
    if (!ownDirectory || !ctx.fileOverride.empty()) {
        m_path = shared.path;
        return std::nullopt;
    }
    const std::string base = fs::path(shared.path).parent_path().string();
    m_directory = makePrivateDirectory(base.empty() ? "." : base);
    if (m_directory.empty())
        return io::AccessError{base, "no private directory for the run can be made in it"};
    m_path = io::add_backslash(m_directory) + std::string(io::kPortFileName);
    // Every junction port present and 0, as a panel just opened leaves the file.
    for (const std::int32_t port : kJunctionPorts) {
        if (auto error = io::writePortByte(port, 0, m_path))
            return error;
    }
    return std::nullopt;
}

ControllerEnvironment TestPortFile::environment() const
{
    std::error_code ec;
    const fs::path file = fs::absolute(fs::u8path(m_path), ec);
    ControllerEnvironment environment{{kPortFileVariable, file.string()}};
    if (file.filename() != io::kPortFileName)
        return environment;
    const std::string dir = file.parent_path().string();
#ifdef _WIN32
    environment.insert(environment.end(), {{"TMP", dir}, {"TEMP", dir}});
#endif
    environment.emplace_back("TMPDIR", dir);
    return environment;
}

} // namespace bexen::ports
