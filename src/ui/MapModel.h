#pragma once
// CMapModel: what the map beside the list draws: each listed file's colour (kept while it is listed, the
// list's swatch shows it), its extent in the coordinates the merge will write, and its shapes decimated to
// the view the map shows (ReadLayerOutline), one copy per file. Reads run as jobs on the background thread
// the list reads its facts on; a file's extent is read once, its shapes again whenever the view changes.
// A removed file goes at once; a file that changes on disk is read again (a watcher notices, and every new
// view checks). With conversion on, every file is drawn converted as the merge converts it.

#include "merge/LayerOutline.h"

#include <QColor>
#include <QDateTime>
#include <QFileSystemWatcher>
#include <QObject>
#include <QPointF>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace fennick {

class CMapModel : public QObject {
    Q_OBJECT

public:
    // Runs a job on the background thread.
    using Runner = std::function<void(std::function<void()>)>;

    explicit CMapModel(QObject* parent = nullptr);
    ~CMapModel() override;

    void SetRunner(Runner runner) { m_runner = std::move(runner); }

    // The listed files, first on top; new files get a colour and are read, the others keep theirs.
    void SetFiles(const QStringList& paths);
    // Whether coordinates are converted (the merge's option), and the target system ("EPSG:CODE" or a .prj
    // path; empty: the first file's).
    void SetConversion(bool convert, const QString& target = QString());
    // The view the map shows: every file's shapes are read again for it, unless those read already cover it
    // (the same scale, panned by less than a screen).
    void SetView(const SMapView& view);
    const SMapView& View() const { return m_view; }
    // Reads again the files changed on disk since they were read.
    void CheckFiles();

    int Count() const { return static_cast<int>(m_layers.size()); }
    QString Path(int row) const;
    // The file's colour; invalid for a file not listed.
    QColor Colour(const QString& path) const;
    // The file's shapes for some view (the latest read), null until read.
    const SLayerOutline* Outline(int row) const;
    // The same, shared: it stays whole while another thread draws it, whatever the model does meanwhile.
    std::shared_ptr<const SLayerOutline> SharedOutline(int row) const;
    // The files' extents together; empty until one is known.
    CGeoRect Extent() const;
    // How much wider a unit is drawn along x: the cosine of the extent's middle latitude when the first
    // file is drawn in a geographic system, else 1.
    double XStretch() const;
    // Every file is read for the current view.
    bool IsDrawn() const;
    // Bytes held by the files' shapes.
    std::size_t CacheBytes() const;

    // The file row and record (from 1) under a pixel of the current view, the top file first; row -1 for
    // none.
    struct SHit {
        int row = -1;
        int32_t record = 0;
    };
    SHit HitAt(QPointF pixel, double tolerance) const;

signals:
    // A file came or went or its extent was read: the map fits again.
    void ExtentChanged();
    // A file's shapes arrived or went, or a colour changed.
    void ShapesChanged();

private:
    struct SLayer {
        QString path;
        QColor colour;
        bool stamped = false; // modified and size are taken
        QDateTime modified;   // of the main file, as read
        qint64 size = -1;
        bool extentKnown = false;
        CGeoRect extent;
        bool geographic = false;
        std::shared_ptr<const SLayerOutline> outline;
        uint64_t asked = 0; // the latest read asked for it
        // The same, for the read running: a read no longer the latest stops early.
        std::shared_ptr<std::atomic<uint64_t>> latest = std::make_shared<std::atomic<uint64_t>>(0);
    };
    SLayer* Find(const QString& path);
    bool AllExtentsKnown() const;
    void Ask(SLayer& layer, bool withView);
    void Take(uint64_t ticket, std::shared_ptr<const SLayerOutline> outline);
    // Forgets every file's extent and shapes and reads them again.
    void ReadAllAgain();
    QColor FreeColour() const;

    Runner m_runner;
    std::vector<SLayer> m_layers;
    bool m_convert = false;
    QString m_target;
    SMapView m_view;
    uint64_t m_nextTicket = 0;
    // Reads for an older view than this generation stop early.
    std::shared_ptr<std::atomic<uint64_t>> m_viewGeneration;
    QFileSystemWatcher m_watcher;
};

} // namespace fennick
