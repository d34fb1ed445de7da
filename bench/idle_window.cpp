// SPDX-License-Identifier: MIT
// The yardstick for the panel's idle cost: a bare Qt window of the panel's size with the same
// 100 ms timer, whose ticks do nothing. scripts/bench.sh runs it in turns with the panel and
// compares the CPU time and peak memory of the two.
//   bench_idle_window             ticks that do nothing
//   bench_idle_window --floor     ticks that make the floor's eight bare accesses to the port file
//                                 in TMPDIR: what no safe tick can skip, paid at the tick's pace

#include "form1_tables.h"
#include "twips.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <cstdlib>
#include <string>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

void floorAccesses([[maybe_unused]] const std::string &path)
{
#ifndef _WIN32
    static std::uint8_t byte = 0;
    constexpr int kPorts[8] = {161, 162, 163, 160, 161, 162, 163, 150};
    for (int i = 0; i < 8; ++i) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st{};
        ::fstat(fd, &st);
        // Whether the byte moved is not the floor's concern, but the fortified calls want it kept.
        const ssize_t moved = i == 7 ? ::pwrite(fd, &byte, 1, kPorts[i] - 100)
                                     : ::pread(fd, &byte, 1, kPorts[i] - 100);
        (void)moved;
        ::close(fd);
    }
#endif
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const bool floor = app.arguments().contains(QStringLiteral("--floor"));
    const char *tmpdir = std::getenv("TMPDIR");
    const std::string path = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/emu_port.dat";

    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setFixedSize(bexen::panel::toPixels(bexen::panel::kFormWidthTwips),
                        bexen::panel::toPixels(bexen::panel::kFormHeightTwips));
    QTimer timer;
    timer.setInterval(100);
    QObject::connect(&timer, &QTimer::timeout, &window, [&] {
        if (floor)
            floorAccesses(path);
    });
    timer.start();
    window.show();
    return app.exec();
}
