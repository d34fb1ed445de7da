// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

// What the two chaos processes of the soak test share. The replacer truncates the port file in
// place now and then; the emulator must tell a byte cut off by such a truncation (which the
// emulator's real program would lose too) from a byte the panel destroyed. The replacer counts
// every truncation in a small mapped file, once before and once after; an emulator check that saw
// the counts unchanged across it knows no truncation touched its bytes.
namespace bexen::soak {

struct alignas(8) TruncationCounts {
    std::uint64_t begun;
    std::uint64_t finished;
};

inline std::atomic_ref<std::uint64_t> begun(TruncationCounts &c)
{
    return std::atomic_ref<std::uint64_t>(c.begun);
}

inline std::atomic_ref<std::uint64_t> finished(TruncationCounts &c)
{
    return std::atomic_ref<std::uint64_t>(c.finished);
}

// Maps the counts file that the test made (zero-filled, at least one page); null on failure.
inline TruncationCounts *mapTruncationCounts(const char *path)
{
    const int fd = ::open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    void *p = ::mmap(nullptr, sizeof(TruncationCounts), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    return p == MAP_FAILED ? nullptr : static_cast<TruncationCounts *>(p);
}

inline volatile std::sig_atomic_t g_stopRequested = 0;

// Both helpers run until the test stops them with SIGTERM, then print their figures; if the test
// itself dies they are sent SIGTERM too, so none outlives it.
inline bool installStopHandling()
{
    struct sigaction sa{};
    sa.sa_handler = [](int) { g_stopRequested = 1; };
    ::sigemptyset(&sa.sa_mask);
    if (::sigaction(SIGTERM, &sa, nullptr) != 0 || ::sigaction(SIGINT, &sa, nullptr) != 0)
        return false;
    if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0)
        return false;
    return ::getppid() != 1;
}

inline void sleepMicroseconds(long us)
{
    timespec ts{us / 1000000, (us % 1000000) * 1000};
    ::nanosleep(&ts, nullptr); // a stop request cuts it short, which is what we want
}

// A small xorshift generator: the helpers need cheap, seedable noise, nothing more.
class Noise {
public:
    explicit Noise(std::uint64_t seed) : m_state(seed ? seed : 0x9E3779B97F4A7C15ull) { }
    std::uint64_t next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }
    // Uniform enough in [0, bound) for the small bounds used here.
    std::uint32_t below(std::uint32_t bound) { return static_cast<std::uint32_t>(next() % bound); }

private:
    std::uint64_t m_state;
};

} // namespace bexen::soak
