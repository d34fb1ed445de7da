// SPDX-License-Identifier: MIT
#include "shared/context.h"

#include "shared/interrupt.h"

#include <cstdlib>
#include <filesystem>

namespace bexen::ports {

io::PortFileLocation Context::portFile() const
{
    if (!fileOverride.empty())
        return {fileOverride, std::nullopt};
    return io::locatePortFile();
}

io::ReadOutcome Context::read(std::int32_t port, io::WhenMissing whenMissing) const
{
    const io::PortFileLocation location = portFile();
    if (location.error)
        return {0, location.error};
    io::ReadOutcome outcome = io::readPortByte(port, location.path, whenMissing);
    // A missing port file reads 0 because the emulator has not made it yet; a missing directory
    // means the user named the wrong place (a mistyped --file or TMPDIR), and all those zeros
    // would only hide that.
    if (whenMissing == io::WhenMissing::ReadZero && !outcome.error && outcome.value == 0) {
        const std::filesystem::path dir = std::filesystem::path(location.path).parent_path();
        std::error_code ec;
        if (!dir.empty()
            && std::filesystem::status(dir, ec).type() == std::filesystem::file_type::not_found)
            outcome.error = io::AccessError{location.path,
                                            "its directory " + dir.string() + " does not exist"};
    }
    return outcome;
}

std::optional<io::AccessError> Context::write(std::int32_t port, std::uint8_t value) const
{
    const io::PortFileLocation location = portFile();
    if (location.error)
        return location.error;
    return io::writePortByte(port, value, location.path);
}

std::string portFileFromEnvironment()
{
    const char *value = std::getenv("BEXEN_PORT_FILE");
    return value ? std::string(value) : std::string();
}

bool Context::stopping() const
{
    return stopRequested() || (stopWhen && stopWhen());
}

int Context::failAccess(const io::AccessError &error) const
{
    err << kToolName << ": " << error.message() << std::endl;
    return kExitAccessFailed;
}

std::string usageLine(std::string_view command, std::string_view what)
{
    std::string line = std::string(kToolName) + ": ";
    if (!command.empty())
        line.append(command).append(": ");
    return line.append(what);
}

int Context::failUsage(std::string_view command, std::string_view what) const
{
    err << usageLine(command, what) << std::endl;
    return kExitBadArguments;
}

} // namespace bexen::ports
