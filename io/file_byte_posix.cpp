// SPDX-License-Identifier: MIT
#include "file_byte.h"

#include "tick_path.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace bexen::io {

namespace {

BEXEN_OFF_TICK_PATH std::string systemReason(int error)
{
    if (error == ELOOP)
        return "is a symbolic link, which is never followed";
    return std::strerror(error);
}

// Holds the descriptor for the one access and closes it on every way out.
class Descriptor {
public:
    Descriptor() = default;
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() { reset(-1); }
    int get() const { return m_fd; }
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

    // Closes now, so a failure of the close itself (a write lost on the way out) is seen.
    int close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd);
    }

private:
    int m_fd = -1;
};

// Why the file opened at the port file's name is not one the panel may use.
BEXEN_OFF_TICK_PATH std::string notOurs(const struct stat &st, uid_t ownUser)
{
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? "is a directory, not a regular file" : "is not a regular file";
    if (st.st_nlink != 1)
        return "has " + std::to_string(st.st_nlink)
                + " hard links; a port file of our own has exactly one";
    if (st.st_uid != ownUser)
        return "is owned by another user (uid " + std::to_string(st.st_uid) + ")";
    return {};
}

BEXEN_TICK_PATH int openFlags(WhenMissing whenMissing)
{
    // A tool that only looks opens read-only; the panel opens for both, as it may create.
    // O_NONBLOCK: a FIFO planted at the name must not hold the panel; O_NOFOLLOW: nor must a link
    // send our byte elsewhere. Never O_TRUNC or O_APPEND: the emulator's bytes stay where they are.
    return (whenMissing == WhenMissing::Create ? O_RDWR : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK
            | O_CLOEXEC | O_NOCTTY;
}

// A system call again for as long as a signal interrupts it before it has done anything.
template<typename Call>
BEXEN_TICK_PATH auto retryingInterrupts(Call call)
{
    auto result = call();
    while (result < 0 && errno == EINTR)
        result = call();
    return result;
}

// Opens the port file for one access. `missing` is set (and no error returned) when the file is
// absent and may not be created.
BEXEN_TICK_PATH std::optional<std::string> openPortFile(const char *path, WhenMissing whenMissing,
                                                        Descriptor &out, bool &missing)
{
    missing = false;
    const int flags = openFlags(whenMissing);
    const auto openPlain = [&] { return ::open(path, flags); };
    int fd = retryingInterrupts(openPlain);
    if (fd < 0 && errno == ENOENT) {
        if (whenMissing == WhenMissing::ReadZero) {
            missing = true;
            return std::nullopt;
        }
        fd = retryingInterrupts([&] { return ::open(path, flags | O_CREAT | O_EXCL, 0600); });
        // The emulator may have made it between our two opens: take the one it made.
        if (fd < 0 && errno == EEXIST)
            fd = retryingInterrupts(openPlain);
    }
    if (fd < 0)
        return systemReason(errno);
    out.reset(fd);

    struct stat st{};
    if (::fstat(fd, &st) != 0)
        return systemReason(errno);
    // The program never changes its user, so the question is asked once, not at every access.
    static const uid_t ownUser = ::geteuid();
    if (!S_ISREG(st.st_mode) || st.st_nlink != 1 || st.st_uid != ownUser)
        return notOurs(st, ownUser);
    return std::nullopt;
}

} // namespace

BEXEN_TICK_PATH std::optional<std::string> readFileByte(const char *path, std::uint64_t offset,
                                                        std::uint8_t &value, WhenMissing whenMissing)
{
    value = 0;
    Descriptor fd;
    bool missing = false;
    if (auto reason = openPortFile(path, whenMissing, fd, missing))
        return reason;
    if (missing)
        return std::nullopt;

    // Nothing read (the byte lies past the end of the file) leaves the 0.
    const ssize_t n = retryingInterrupts(
            [&] { return ::pread(fd.get(), &value, 1, static_cast<off_t>(offset)); });
    if (n < 0)
        return systemReason(errno);
    return std::nullopt;
}

BEXEN_TICK_PATH std::optional<std::string> writeFileByte(const char *path, std::uint64_t offset,
                                                         std::uint8_t value)
{
    Descriptor fd;
    bool missing = false;
    if (auto reason = openPortFile(path, WhenMissing::Create, fd, missing))
        return reason;

    const ssize_t n = retryingInterrupts(
            [&] { return ::pwrite(fd.get(), &value, 1, static_cast<off_t>(offset)); });
    if (n < 0)
        return systemReason(errno);
    if (n != 1)
        return "the byte was not written";
    if (fd.close() != 0 && errno != EINTR)
        return systemReason(errno);
    return std::nullopt;
}

} // namespace bexen::io
