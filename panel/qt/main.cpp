// SPDX-License-Identifier: MIT
#include "form1.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The installed desktop entry's name, by which a Wayland desktop finds the panel's icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("invalid.bexen.semaphores"));
    // One look on every desktop: the fixed layout was measured against it.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // Tooltips, and a text box while it is being made, use the application's font: make it the
    // form's, so that the desktop's default font is never loaded beside it.
    QApplication::setFont(bexen::panel::formFont());
    bexen::panel::Form1 form1;
    form1.show();
    return QApplication::exec();
}
