// fennick_icon_png: paints the program's icon into PNG files for the desktop's icon theme, at build time.
// Usage: fennick_icon_png <folder> <size>... writes <folder>/<size>x<size>/apps/fennick.png for each size.
// Needs no display: run it with QT_QPA_PLATFORM=offscreen.

#include "ui/FennickIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: fennick_icon_png <folder> <size>...\n");
        return 2;
    }
    for (qsizetype i = 2; i < arguments.size(); ++i) {
        bool number = false;
        const int size = arguments[i].toInt(&number);
        if (!number || size <= 0) {
            std::fprintf(stderr, "not a size: %s\n", qPrintable(arguments[i]));
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(arguments[1]).arg(size);
        const QString path = folder + QStringLiteral("/fennick.png");
        if (!QDir().mkpath(folder) || !fennick::FennickPixmap(size).toImage().save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
