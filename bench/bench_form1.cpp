// SPDX-License-Identifier: MIT
// The whole of Timer1's tick on the real window: the exchange with the port file and the
// controls it updates. Run on the offscreen platform (QT_QPA_PLATFORM=offscreen) or any display.

#include "form1.h"

#include <QApplication>
#include <QCheckBox>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

// A tick whose port bytes stay the same: the usual case, where every setter finds nothing to do.
void BM_Form1TickSteady(benchmark::State &state)
{
    bexen::panel::Form1 form;
    form.timer1()->stop();
    form.timer1Tick();
    for (auto _ : state)
        form.timer1Tick();
}
BENCHMARK(BM_Form1TickSteady)->Unit(benchmark::kMicrosecond);

// The steady tick again, with a port file of 1 GiB that is all hole but its first bytes: what a
// tick costs must not grow with the file, which is never read beyond its five bytes.
void BM_Form1TickSparse(benchmark::State &state)
{
    QTemporaryDir dir;
    const QByteArray oldTmpDir = qgetenv("TMPDIR");
    qputenv("TMPDIR", dir.path().toLocal8Bit());
    {
        std::ofstream file(dir.path().toStdString() + "/emu_port.dat", std::ios::binary);
        file << std::string(64, '\0');
    }
    std::filesystem::resize_file(dir.path().toStdString() + "/emu_port.dat", std::uintmax_t{1} << 30);
    {
        bexen::panel::Form1 form;
        form.timer1()->stop();
        form.timer1Tick();
        for (auto _ : state)
            form.timer1Tick();
    }
    qputenv("TMPDIR", oldTmpDir);
}
BENCHMARK(BM_Form1TickSparse)->Unit(benchmark::kMicrosecond);

// A tick in which every light changes and a sensor box flips: texts and pictures all replaced.
void BM_Form1TickChanging(benchmark::State &state)
{
    bexen::panel::Form1 form;
    form.timer1()->stop();
    const std::string path = std::string(std::getenv("TMPDIR")) + "/emu_port.dat";
    std::uint8_t value = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(60);
            const char lights[4] = {char(value % 5), char((value + 1) % 5), char((value + 2) % 5),
                                    char((value + 3) % 5)};
            file.write(lights, 4);
        }
        form.check1(value % 4)->toggle();
        ++value;
        state.ResumeTiming();
        form.timer1Tick();
    }
}
BENCHMARK(BM_Form1TickChanging)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    qputenv("TMPDIR", dir.path().toLocal8Bit());
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    {
        std::ofstream file(dir.path().toStdString() + "/emu_port.dat", std::ios::binary);
        file << std::string(64, '\0');
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
