// SPDX-License-Identifier: MIT
// Plays the emulator's side of the port file while the panel ticks and the replacer keeps
// swapping the file: it writes the four light ports and a few other ports, never the sensor port
// 150, and checks through its own descriptor that every byte it wrote is still there.
//   soak_emulator PORT_FILE COUNTS_FILE SEED
// Runs until SIGTERM, then prints "rounds=N not_regular=N checked=N cut_off=N lost=N" and exits 1
// if a byte was lost. The first lost bytes are described on stderr as they are found.

#include "chaos_shared.h"

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

using namespace bexen::soak;

namespace {

constexpr int kFirstPort = 100;
constexpr int kSensorPort = 150; // the panel's byte: the emulator only ever reads it
constexpr int kLightPorts[] = {160, 161, 162, 163};
constexpr int kOtherPortsPerRound = 3;
constexpr int kHighestOtherPort = 227; // the file's first 128 bytes
constexpr unsigned long kLostBytesDescribed = 20; // the rest are only counted

struct Written {
    off_t offset;
    unsigned char value;
};

class Emulator {
public:
    Emulator(const char *portFile, TruncationCounts &counts, std::uint64_t seed)
        : m_portFile(portFile), m_counts(counts), m_noise(seed)
    {
    }

    void runUntilStopped()
    {
        while (!g_stopRequested) {
            oneRound();
            sleepMicroseconds(m_noise.below(300));
        }
    }

    bool printFigures() const
    {
        std::printf("rounds=%lu not_regular=%lu checked=%lu cut_off=%lu lost=%lu\n", m_rounds,
                    m_notRegular, m_checked, m_cutOff, m_lost);
        std::fflush(stdout);
        return m_lost == 0;
    }

private:
    // A port besides the lights, not the sensor port and not one already written this round
    // (a second value at the same place would make the first look lost).
    int nextOtherPort(const Written *written, std::size_t count)
    {
        for (;;) {
            const int port = kFirstPort
                    + static_cast<int>(m_noise.below(kHighestOtherPort - kFirstPort + 1));
            bool taken = port == kSensorPort;
            for (std::size_t i = 0; i < count && !taken; ++i)
                taken = written[i].offset == port - kFirstPort;
            if (!taken)
                return port;
        }
    }

    // One write-then-check round on whatever regular file is at the name now. The descriptor is
    // kept from the writes to the check, so the check looks at the very file written even if the
    // name has been given to another since: only the panel (or a truncation) can have touched it.
    void oneRound()
    {
        ++m_rounds;
        const int fd = ::open(m_portFile, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            ++m_notRegular;
            return;
        }
        struct stat st{};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ++m_notRegular;
            ::close(fd);
            return;
        }

        const std::uint64_t finishedBefore = finished(m_counts).load();
        Written written[std::size(kLightPorts) + kOtherPortsPerRound];
        std::size_t n = 0;
        for (int port : kLightPorts)
            written[n++] = {port - kFirstPort, static_cast<unsigned char>(m_noise.next())};
        for (int i = 0; i < kOtherPortsPerRound; ++i) {
            const int port = nextOtherPort(written, n);
            written[n++] = {port - kFirstPort, static_cast<unsigned char>(m_noise.next())};
        }
        // A byte that could not be written shows as lost at the check below.
        for (const Written &w : written) {
            if (::pwrite(fd, &w.value, 1, w.offset) != 1 && m_lost < kLostBytesDescribed)
                std::fprintf(stderr, "soak_emulator: %s: writing port %lld: %s\n", m_portFile,
                             static_cast<long long>(w.offset) + kFirstPort, std::strerror(errno));
        }

        // Let the panel tick against these bytes for a while.
        sleepMicroseconds(200 + m_noise.below(1500));

        unsigned char seen[std::size(written)];
        ssize_t got[std::size(written)];
        for (std::size_t i = 0; i < n; ++i)
            got[i] = ::pread(fd, &seen[i], 1, written[i].offset);
        const bool truncationMet = begun(m_counts).load() != finishedBefore;
        ::close(fd);

        for (std::size_t i = 0; i < n; ++i) {
            if (got[i] == 1 && seen[i] == written[i].value) {
                ++m_checked;
            } else if (truncationMet && (got[i] == 0 || (got[i] == 1 && seen[i] == 0))) {
                ++m_cutOff; // gone with a truncation, which is not the panel's doing
            } else if (++m_lost <= kLostBytesDescribed) {
                std::fprintf(stderr,
                             "soak_emulator: %s: port %lld: wrote %u, found %s%d, no truncation "
                             "in between\n",
                             m_portFile, static_cast<long long>(written[i].offset) + kFirstPort,
                             written[i].value, got[i] == 1 ? "" : "no byte, pread gave ",
                             got[i] == 1 ? seen[i] : static_cast<int>(got[i]));
            }
        }
    }

    const char *m_portFile;
    TruncationCounts &m_counts;
    Noise m_noise;
    unsigned long m_rounds = 0;
    unsigned long m_notRegular = 0;
    unsigned long m_checked = 0;
    unsigned long m_cutOff = 0;
    unsigned long m_lost = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: soak_emulator PORT_FILE COUNTS_FILE SEED\n");
        return 2;
    }
    TruncationCounts *counts = mapTruncationCounts(argv[2]);
    if (counts == nullptr) {
        std::fprintf(stderr, "soak_emulator: %s: %s\n", argv[2], std::strerror(errno));
        return 2;
    }
    if (!installStopHandling())
        return 2;
    Emulator emulator(argv[1], *counts, std::strtoull(argv[3], nullptr, 10));
    emulator.runUntilStopped();
    return emulator.printFigures() ? 0 : 1;
}
