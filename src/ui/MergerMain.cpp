// fennick: the desktop program.

#include "ui/FennickIcon.h"
#include "ui/MergerApp.h"

#include <QApplication>

#include <csignal>

int main(int argc, char** argv) {
    // A file-size limit makes the writer fail with a message instead of killing the program mid-merge.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication application(argc, argv);
    QApplication::setWindowIcon(fennick::FennickIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("fennick"));
    fennick::CMergerApp app;
    // Qt has taken its own options out of the arguments; the rest name files to list.
    app.SetStartFiles(QApplication::arguments().mid(1));
    app.InitInstance();
    return 0;
}
