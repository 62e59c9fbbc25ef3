// fennick-map-draw: how fast the desktop program's map shows the layers given, and what it holds.
//
//     fennick-map-draw [--size WxH] LAYER...
//
// Runs the map's own model, panel and background reader (the list's), as the main window does, offscreen:
// prints the time until every layer is drawn whole, the frames a second of a scripted pan (the drawn image
// moved at each step, as a drag moves it), the time until the layers are drawn anew at the pan's end and
// after a zoom, the time a hover lookup takes, the bytes the map keeps of the layers, and the longest the
// window's event loop waited meanwhile (while every layer was drawn, and after a row was selected).

#include "ui/FactsReader.h"
#include "ui/FileFactsModel.h"
#include "ui/MapModel.h"
#include "ui/MapPanel.h"
#include "ui/MapRenderer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWheelEvent>

#include <cstdio>
#include <cstring>

using namespace fennick;

namespace {

// Runs the event loop until the model has drawn every layer for the panel's view; milliseconds taken.
double WaitDrawn(const CMapModel& model, const CMapPanel& panel, QElapsedTimer& clock) {
    while (
        !(model.IsDrawn() && model.View() == panel.View() && !model.View().IsEmpty() && !panel.IsDrawing()))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return clock.nsecsElapsed() / 1e6;
}

// The longest time between two turns of the event loop since the last Take, in milliseconds.
class CGapMeter {
public:
    CGapMeter() {
        m_clock.start();
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_clock.restart()); });
        m_timer.start();
    }
    double Take() {
        const double longest = double(std::max(m_longest, m_clock.restart()));
        m_longest = 0;
        return longest;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int width = 1000, height = 700, first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--size") == 0) {
        std::sscanf(argv[2], "%dx%d", &width, &height);
        first = 3;
    }
    if (argc <= first) {
        std::fprintf(stderr, "usage: %s [--size WxH] LAYER...\n", argv[0]);
        return 2;
    }
    QStringList paths;
    for (int i = first; i < argc; ++i)
        paths << QString::fromLocal8Bit(argv[i]);

    CFileFactsModel facts;
    CFactsReader reader(facts);
    CMapModel model;
    model.SetRunner([&reader](std::function<void()> job) { reader.Run(std::move(job)); });
    CMapPanel panel(model);
    panel.resize(width, height);
    panel.show();
    // The empty map drawn first, as a window shows before files are added.
    while (panel.IsDrawing())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    CGapMeter gaps;
    QElapsedTimer clock;
    clock.start();
    gaps.Take();
    model.SetFiles(paths);
    double firstLayer = 0.0;
    QObject::connect(&model, &CMapModel::ShapesChanged, [&] {
        for (int row = 0; row < model.Count() && firstLayer == 0.0; ++row)
            if (model.Outline(row) != nullptr)
                firstLayer = clock.nsecsElapsed() / 1e6;
    });
    const double firstDrawing = WaitDrawn(model, panel, clock);
    const double drawingGap = gaps.Take();
    const std::size_t cache = model.CacheBytes();
    std::size_t items = 0, dots = 0, points = 0;
    for (int row = 0; row < model.Count(); ++row) {
        items += model.Outline(row)->items.size();
        dots += model.Outline(row)->dots.size();
        points += model.Outline(row)->points.size() / 2;
    }

    clock.restart();
    const QImage image = RenderMap(model, panel.View(), {});
    const double renderMs = clock.nsecsElapsed() / 1e6;

    // A pan of 100 steps of 4 pixels and back, each step painted at once, as a drag does.
    constexpr int kFrames = 200;
    clock.restart();
    for (int frame = 0; frame < kFrames; ++frame) {
        SMapView view = panel.View();
        view.centreX += (frame < kFrames / 2 ? 4 : -4) * view.unitsPerPixel / view.xStretch;
        panel.ShowView(view);
        panel.repaint();
        QCoreApplication::processEvents();
    }
    const double panMs = clock.nsecsElapsed() / 1e6;
    const double redrawAfterPan = WaitDrawn(model, panel, clock) - panMs;

    // Three wheel steps in at the centre, then the layers drawn again at the new scale.
    clock.restart();
    const QPointF centre(width / 2.0, height / 2.0);
    QWheelEvent wheel(centre, panel.mapToGlobal(centre), QPoint(), QPoint(0, 360), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&panel, &wheel);
    const double redrawAfterZoom = WaitDrawn(model, panel, clock);

    // A row selected: every layer drawn again, the selected one stronger.
    clock.restart();
    gaps.Take();
    panel.SetSelectedRows({model.Count() - 1});
    const double selectedMs = WaitDrawn(model, panel, clock);
    const double selectGap = gaps.Take();

    // Hover lookups across the view.
    clock.restart();
    int found = 0;
    constexpr int kLookups = 200;
    for (int i = 0; i < kLookups; ++i)
        found += model.HitAt(QPointF((i * 37) % width, (i * 53) % height), 2.0).row >= 0 ? 1 : 0;
    const double hoverMs = clock.nsecsElapsed() / 1e6 / kLookups;

    std::printf("layers: %d, view %dx%d\n", model.Count(), width, height);
    std::printf("first layer drawn: %.0f ms; every layer drawn: %.0f ms\n", firstLayer, firstDrawing);
    std::printf("cache: %.1f MB (%zu shapes, %zu folded pixels, %zu points)\n", cache / 1048576.0, items,
                dots, points);
    std::printf("one drawing of every layer into the image: %.0f ms\n", renderMs);
    std::printf("pan: %d frames in %.0f ms, %.0f frames/s\n", kFrames, panMs, kFrames * 1000.0 / panMs);
    std::printf("drawn anew after the pan: %.0f ms; after a zoom: %.0f ms\n", redrawAfterPan,
                redrawAfterZoom);
    std::printf("drawn again after a row was selected: %.0f ms\n", selectedMs);
    std::printf("longest wait of the event loop: %.0f ms while every layer was drawn, %.0f ms after the "
                "selection\n",
                drawingGap, selectGap);
    std::printf("hover lookup: %.2f ms (%d of %d points on a shape)\n", hoverMs, found, kLookups);
    return 0;
}
