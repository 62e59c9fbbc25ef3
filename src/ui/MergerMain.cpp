// fennick: the desktop program.

#include "ui/FennickIcon.h"
#include "ui/MergerApp.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setWindowIcon(fennick::FennickIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("fennick"));
    fennick::CMergerApp app;
    app.InitInstance();
    return 0;
}
