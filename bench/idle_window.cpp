// The yardstick for the panel's idle cost: a bare Qt window of the panel's size with the same
// 100 ms timer, whose ticks do nothing. scripts/bench.sh runs it beside the panel and compares
// the CPU time and peak memory of the two.

#include "form1_tables.h"
#include "twips.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setFixedSize(bexen::panel::toPixels(bexen::panel::kFormWidthTwips),
                        bexen::panel::toPixels(bexen::panel::kFormHeightTwips));
    QTimer timer;
    timer.setInterval(100);
    QObject::connect(&timer, &QTimer::timeout, &window, [] { });
    timer.start();
    window.show();
    return app.exec();
}
