// SPDX-License-Identifier: MIT
// Keeps replacing the junction's port file with every kind of thing the emulator's side, another
// program or a hostile user could leave at its name, while the panel ticks against it.
//   soak_replacer PORT_FILE SENTINEL COUNTS_FILE SEED
// Runs until SIGTERM, then prints one line of figures: "replacements=N regular=N missing=N ...".
// Every kind is put in place atomically with rename(), except the in-place truncation.

#include "chaos_shared.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace bexen::soak;

namespace {

enum class Kind { Regular, Missing, Fifo, Directory, SentinelLink, Truncated };

struct KindRow {
    Kind kind;
    const char *name;
    unsigned weight; // regular files come often, so the emulator's checks get their turn
};

constexpr KindRow kKinds[] = {
    {Kind::Regular, "regular", 4},
    {Kind::Missing, "missing", 1},
    {Kind::Fifo, "fifo", 1},
    {Kind::Directory, "directory", 1},
    {Kind::SentinelLink, "symlink", 1},
    {Kind::Truncated, "truncated", 3},
};
constexpr std::size_t kKindCount = std::size(kKinds);

class Replacer {
public:
    Replacer(std::string portFile, std::string sentinel, TruncationCounts &counts,
             std::uint64_t seed)
        : m_portFile(std::move(portFile)),
          m_staging(m_portFile.substr(0, m_portFile.rfind('/') + 1) + ".replacing"),
          m_sentinel(std::move(sentinel)),
          m_counts(counts),
          m_noise(seed)
    {
    }

    void runUntilStopped()
    {
        unsigned totalWeight = 0;
        for (const KindRow &row : kKinds)
            totalWeight += row.weight;
        while (!g_stopRequested) {
            unsigned pick = m_noise.below(totalWeight);
            std::size_t i = 0;
            while (pick >= kKinds[i].weight)
                pick -= kKinds[i++].weight;
            switch (replaceWith(kKinds[i].kind)) {
            case Outcome::Done: ++m_done[i]; break;
            case Outcome::NothingToTruncate: ++m_nothingToTruncate; break;
            case Outcome::Failed: ++m_failed; break;
            }
            // Long enough for a few ticks to meet each state, short enough for thousands a minute.
            sleepMicroseconds(m_noise.below(2500));
        }
    }

    void printFigures() const
    {
        unsigned long total = 0;
        for (unsigned long n : m_done)
            total += n;
        std::printf("replacements=%lu", total);
        for (std::size_t i = 0; i < kKindCount; ++i)
            std::printf(" %s=%lu", kKinds[i].name, m_done[i]);
        std::printf(" nothing_to_truncate=%lu failed=%lu\n", m_nothingToTruncate, m_failed);
        std::fflush(stdout);
    }

private:
    enum class Outcome { Done, NothingToTruncate, Failed };

    Outcome replaceWith(Kind kind)
    {
        bool ok = false;
        switch (kind) {
        case Kind::Regular: ok = stageRegularFile() && install(); break;
        case Kind::Missing: ok = removeName(m_portFile) || errno == ENOENT; break;
        case Kind::Fifo: ok = ::mkfifo(m_staging.c_str(), 0600) == 0 && install(); break;
        case Kind::Directory: ok = ::mkdir(m_staging.c_str(), 0700) == 0 && install(); break;
        case Kind::SentinelLink:
            ok = ::symlink(m_sentinel.c_str(), m_staging.c_str()) == 0 && install();
            break;
        case Kind::Truncated: return truncateInPlace();
        }
        return ok ? Outcome::Done : Outcome::Failed;
    }

    bool stageRegularFile()
    {
        std::vector<unsigned char> bytes(m_noise.below(161));
        for (unsigned char &b : bytes)
            b = static_cast<unsigned char>(m_noise.next());
        const int fd = ::open(m_staging.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        const bool ok = bytes.empty()
                || ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        return ::close(fd) == 0 && ok;
    }

    // Puts the staged thing at the port file's name in one step. rename() cannot put a file over
    // a directory or a directory over a file; the two are swapped atomically instead and the old
    // one removed afterwards, so the name is never missing on the way.
    bool install()
    {
        bool ok = ::rename(m_staging.c_str(), m_portFile.c_str()) == 0;
        if (!ok && (errno == EISDIR || errno == ENOTDIR || errno == ENOTEMPTY || errno == EEXIST)) {
            ok = ::renameat2(AT_FDCWD, m_staging.c_str(), AT_FDCWD, m_portFile.c_str(),
                             RENAME_EXCHANGE)
                    == 0;
            if (!ok && errno == EINVAL) // a file system without the exchange: not atomic then
                ok = removeName(m_portFile)
                        && ::rename(m_staging.c_str(), m_portFile.c_str()) == 0;
        }
        removeName(m_staging); // what was swapped out, or a staging left by a failure
        return ok;
    }

    static bool removeName(const std::string &path)
    {
        // remove() unlinks a symbolic link itself, never its target.
        return std::remove(path.c_str()) == 0;
    }

    // Truncation in place: the inode stays, the bytes past the new length are gone. Only a
    // regular file is cut; with anything else at the name there is nothing to truncate.
    Outcome truncateInPlace()
    {
        const int fd = ::open(m_portFile.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return Outcome::NothingToTruncate;
        struct stat st{};
        Outcome outcome = Outcome::NothingToTruncate;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            const off_t length = st.st_size > 0 ? m_noise.below(st.st_size) : 0;
            begun(m_counts).fetch_add(1);
            outcome = ::ftruncate(fd, length) == 0 ? Outcome::Done : Outcome::Failed;
            finished(m_counts).fetch_add(1);
        }
        ::close(fd);
        return outcome;
    }

    std::string m_portFile;
    std::string m_staging;
    std::string m_sentinel;
    TruncationCounts &m_counts;
    Noise m_noise;
    unsigned long m_done[kKindCount]{};
    unsigned long m_nothingToTruncate = 0;
    unsigned long m_failed = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: soak_replacer PORT_FILE SENTINEL COUNTS_FILE SEED\n");
        return 2;
    }
    TruncationCounts *counts = mapTruncationCounts(argv[3]);
    if (counts == nullptr) {
        std::fprintf(stderr, "soak_replacer: %s: %s\n", argv[3], std::strerror(errno));
        return 2;
    }
    if (!installStopHandling())
        return 2;
    Replacer replacer(argv[1], argv[2], *counts, std::strtoull(argv[4], nullptr, 10));
    replacer.runUntilStopped();
    replacer.printFigures();
    return 0;
}
