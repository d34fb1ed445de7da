// SPDX-License-Identifier: MIT
#include "reports/output_file.h"

#include "shared/words.h"

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

std::optional<std::string> checkOutputPath(const OutputTarget &target,
                                           const std::vector<KeptFile> &kept)
{
    const std::string named = std::string(target.argument) + " " + quoteArgument(target.path);
    for (const KeptFile &file : kept) {
        if (isSameFile(target.path, file.path))
            return named + " is " + std::string(file.what) + " itself; " + std::string(target.work)
                    + " into another file";
    }
    std::error_code ec;
    if (fs::is_directory(target.path, ec))
        return named + " is a directory; name " + std::string(target.file);
    const fs::path directory = fs::path(target.path).parent_path();
    if (directory.empty())
        return std::nullopt;
    const fs::file_status status = fs::status(directory, ec);
    if (status.type() == fs::file_type::not_found)
        return named + ": its directory " + quoteArgument(directory.string()) + " does not exist";
    if (!ec && !fs::is_directory(status))
        return named + ": " + quoteArgument(directory.string()) + " is not a directory";
    return std::nullopt;
}

} // namespace bexen::ports
