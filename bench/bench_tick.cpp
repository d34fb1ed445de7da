// SPDX-License-Identifier: MIT
// The cost of one poll tick and of a single port access, on a real port file in a private
// temporary directory. A tick runs every 100 ms on the window's thread, so its cost is what the
// panel takes away from the user interface.

#include "poll_cycle.h"
#include "port_channel.h"
#include "support/private_tmpdir.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The window's part of a tick costs what Qt's setters cost; here it is as cheap as it can be, so
// the figure is the exchange itself.
class NullControls final : public bexen::poll::PanelControls {
public:
    void setText(bexen::poll::TextBox, std::string_view text) override
    {
        benchmark::DoNotOptimize(text.data());
    }
    int checkValue(int index) const override { return index & 1; }
    void showLegendPicture(int, int image11Index) override
    {
        benchmark::DoNotOptimize(image11Index);
    }
};

constexpr std::int32_t kReadPorts[7] = {161, 162, 163, 160, 161, 162, 163}; // a tick's reads, in order

// The floor: the system calls that no safe access can skip, eight times as a tick makes them.
// Each access opens the 51-byte file afresh, checks what it opened, moves its byte and closes.
void BM_Floor(benchmark::State &state)
{
    PrivateTmpDir dir;
    const std::string path = dir.portFile();
    {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        const char bytes[51] = {};
        if (fd < 0 || ::write(fd, bytes, sizeof bytes) != sizeof bytes) {
            state.SkipWithError("cannot make the port file");
            return;
        }
        ::close(fd);
    }
    std::uint8_t byte = 0;
    const auto access = [&](std::int32_t port, bool write) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        struct stat st{};
        ::fstat(fd, &st);
        const off_t offset = port - 100;
        if (write)
            benchmark::DoNotOptimize(::pwrite(fd, &byte, 1, offset));
        else
            benchmark::DoNotOptimize(::pread(fd, &byte, 1, offset));
        ::close(fd);
    };
    for (auto _ : state) {
        for (std::int32_t port : kReadPorts)
            access(port, false);
        access(150, true);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Floor)->Unit(benchmark::kMicrosecond);

// The channel: a tick's seven reads and one write through the panel's own procedures.
void BM_Channel(benchmark::State &state)
{
    PrivateTmpDir dir;
    bexen::io::WRITE_IO_BYTE(150, 0);
    std::uint8_t sensors = 0;
    for (auto _ : state) {
        for (std::int32_t port : kReadPorts)
            benchmark::DoNotOptimize(bexen::io::READ_IO_BYTE(port));
        bexen::io::WRITE_IO_BYTE(150, sensors);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Channel)->Unit(benchmark::kMicrosecond);

void BM_TickOnPortFile(benchmark::State &state)
{
    PrivateTmpDir dir;
    NullControls controls;
    bexen::poll::PortFileAccess ports;
    bexen::poll::TickMembers members;
    for (auto _ : state)
        bexen::poll::runTick(controls, ports, members);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TickOnPortFile)->Unit(benchmark::kMicrosecond);

void BM_ReadIoByte(benchmark::State &state)
{
    PrivateTmpDir dir;
    bexen::io::WRITE_IO_BYTE(163, 4);
    for (auto _ : state)
        benchmark::DoNotOptimize(bexen::io::READ_IO_BYTE(163));
}
BENCHMARK(BM_ReadIoByte)->Unit(benchmark::kMicrosecond);

void BM_WriteIoByte(benchmark::State &state)
{
    PrivateTmpDir dir;
    std::uint8_t value = 0;
    for (auto _ : state)
        bexen::io::WRITE_IO_BYTE(150, value++ & 15);
}
BENCHMARK(BM_WriteIoByte)->Unit(benchmark::kMicrosecond);

void BM_LocatePortFile(benchmark::State &state)
{
    PrivateTmpDir dir;
    for (auto _ : state)
        benchmark::DoNotOptimize(bexen::io::locatePortFile());
}
BENCHMARK(BM_LocatePortFile);

} // namespace

BENCHMARK_MAIN();
