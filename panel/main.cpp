#include "form1.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // One look on every desktop: the fixed layout was measured against it.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    bexen::panel::Form1 form1;
    form1.show();
    return QApplication::exec();
}
