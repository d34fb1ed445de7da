// SPDX-License-Identifier: MIT
#include "reports/output_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace bexen::ports {

namespace fs = std::filesystem;

std::optional<io::AccessError> writeFileWhole(const std::string &target, const std::string &content)
{
    const fs::path final(target);
    std::random_device random;
    const std::string suffix = std::to_string(random()) + std::to_string(random());
    // A short name of its own, so a long target name cannot make it too long for the directory.
    fs::path temporary = final;
    temporary.replace_filename(".bexen-" + suffix + ".tmp");

    std::ofstream out(temporary, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!out)
        return io::AccessError{target, std::string("cannot be written: ") + std::strerror(errno)};
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    std::error_code ec;
    if (!out) {
        fs::remove(temporary, ec);
        return io::AccessError{target, "could not be written completely"};
    }
    fs::rename(temporary, final, ec);
    if (ec) {
        const std::string reason = ec.message();
        fs::remove(temporary, ec);
        return io::AccessError{target, "could not be put in place: " + reason};
    }
    return std::nullopt;
}

bool isSameFile(const std::string &a, const std::string &b)
{
    std::error_code ec;
    return a == b || (fs::equivalent(a, b, ec) && !ec);
}

} // namespace bexen::ports
