// fennick-list-fill: how long the desktop program's list takes to fill in the facts and fit marks of the
// layers given, and the longest time the event loop went without a turn meanwhile (what the user would
// feel as the window not answering).
//
//     fennick-list-fill LAYER...
//
// Runs the list's own model and background reader, as the main window does; prints the time until every
// row has its facts and its mark, and the longest gap between 5 ms timer ticks.

#include "ui/FactsReader.h"
#include "ui/FileFactsModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace fennick;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s LAYER LAYER...\n", argv[0]);
        return 2;
    }
    CFileFactsModel model;
    CFactsReader reader(model);
    reader.Serve();
    QElapsedTimer clock;
    qint64 lastTick = 0, longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    QObject::connect(&model, &CFileFactsModel::FitsChanged, [&] {
        if (!model.IsPending())
            app.quit();
    });
    clock.start();
    ticker.start(5);
    for (int i = 1; i < argc; ++i)
        model.Append(QString::fromLocal8Bit(argv[i]));
    app.exec();
    int unfit = 0;
    for (int i = 0; i < model.rowCount(); ++i)
        unfit += model.Fit(i) == EFileFit::Unfit ? 1 : 0;
    std::printf("%d files filled in %lld ms; longest event-loop gap %lld ms; %d unfit\n", model.rowCount(),
                static_cast<long long>(clock.elapsed()), static_cast<long long>(longestGap), unfit);
    return 0;
}
