#include "ui/MapModel.h"

#include <QFileInfo>
#include <QPointer>

#include <cmath>

namespace fennick {

namespace {

// Colours told apart at a glance, also lightly filled, one per file in the order files come.
const QRgb kPalette[] = {0x1f77b4, 0xd62728, 0x2ca02c, 0xff7f0e, 0x9467bd, 0x8c564b,
                         0xe377c2, 0x17becf, 0xbcbd22, 0x7f7f7f, 0x393b79, 0xad494a};

} // namespace

CMapModel::CMapModel(QObject* parent)
    : QObject(parent), m_viewGeneration(std::make_shared<std::atomic<uint64_t>>(0)) {
    m_runner = [](std::function<void()> job) { job(); };
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &CMapModel::CheckFiles);
}

CMapModel::~CMapModel() {
    *m_viewGeneration = UINT64_MAX; // reads still running stop early
}

QString CMapModel::Path(int row) const {
    return row >= 0 && row < Count() ? m_layers[std::size_t(row)].path : QString();
}

CMapModel::SLayer* CMapModel::Find(const QString& path) {
    for (SLayer& layer : m_layers)
        if (layer.path == path)
            return &layer;
    return nullptr;
}

QColor CMapModel::Colour(const QString& path) const {
    for (const SLayer& layer : m_layers)
        if (layer.path == path)
            return layer.colour;
    return QColor();
}

QColor CMapModel::FreeColour() const {
    // The first palette colour no listed file has; past the palette, colours spread around the hue circle.
    for (const QRgb rgb : kPalette) {
        const QColor colour(rgb);
        bool used = false;
        for (const SLayer& layer : m_layers)
            used = used || layer.colour == colour;
        if (!used)
            return colour;
    }
    return QColor::fromHsv(int(m_layers.size() * 137 % 360), 200, 190);
}

void CMapModel::SetFiles(const QStringList& paths) {
    std::vector<SLayer> layers;
    // Any change of order too: the first file lies on top.
    QStringList old;
    for (const SLayer& layer : m_layers)
        old << layer.path;
    bool changed = old != paths;
    const QString oldFirst = Path(0);
    for (const QString& path : paths) {
        if (SLayer* kept = Find(path)) {
            layers.push_back(std::move(*kept));
            kept->path.clear();
        } else {
            layers.emplace_back();
            layers.back().path = path;
            changed = true;
        }
    }
    // Files gone let their colours go before new files take theirs.
    std::vector<std::size_t> fresh;
    for (std::size_t i = 0; i < layers.size(); ++i)
        if (!layers[i].colour.isValid())
            fresh.push_back(i);
    m_layers = std::move(layers);
    for (const std::size_t i : fresh)
        m_layers[i].colour = FreeColour();
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!paths.isEmpty())
        m_watcher.addPaths(paths);
    changed = changed || oldFirst != Path(0);
    if (m_convert && oldFirst != Path(0)) {
        // The reference system is the first file's: every other file may be converted otherwise now.
        ReadAllAgain();
        return;
    }
    for (const std::size_t i : fresh)
        Ask(m_layers[i], false);
    if (changed) {
        if (AllExtentsKnown())
            emit ExtentChanged();
        emit ShapesChanged();
    }
}

bool CMapModel::AllExtentsKnown() const {
    for (const SLayer& layer : m_layers)
        if (!layer.extentKnown)
            return false;
    return true;
}

void CMapModel::SetConversion(bool convert, const QString& target) {
    if (convert == m_convert && target == m_target)
        return;
    m_convert = convert;
    m_target = target;
    ReadAllAgain();
}

void CMapModel::ReadAllAgain() {
    for (SLayer& layer : m_layers) {
        layer.extentKnown = false;
        layer.outline.reset();
        Ask(layer, false);
    }
    emit ExtentChanged();
    emit ShapesChanged();
}

void CMapModel::SetView(const SMapView& view) {
    const bool newView = !(view == m_view);
    m_view = view;
    if (newView)
        ++*m_viewGeneration;
    CheckFiles();
    // A pan within the screen around the view read last needs no read: those shapes are kept too.
    for (SLayer& layer : m_layers)
        if (layer.extentKnown && (!layer.outline || !layer.outline->view.Covers(m_view)) &&
            (newView || !layer.outline))
            Ask(layer, true);
}

void CMapModel::CheckFiles() {
    bool changed = false;
    for (SLayer& layer : m_layers) {
        const QFileInfo file(layer.path);
        if (!layer.stamped || (file.lastModified() == layer.modified && file.size() == layer.size))
            continue;
        layer.extentKnown = false;
        layer.outline.reset();
        Ask(layer, false);
        changed = true;
        // A file written anew under its name is a new file to the watcher.
        if (!m_watcher.files().contains(layer.path))
            m_watcher.addPath(layer.path);
    }
    // The map fits again when the new extents arrive.
    if (changed)
        emit ShapesChanged();
}

void CMapModel::Ask(SLayer& layer, bool withView) {
    const QFileInfo file(layer.path);
    // The stamp is taken before the read, so that a change during it is noticed afterwards.
    layer.stamped = true;
    layer.modified = file.lastModified(); // invalid while the file is missing
    layer.size = file.size();
    const uint64_t ticket = ++m_nextTicket;
    layer.asked = ticket;
    *layer.latest = ticket;
    SOutlineRequest request;
    request.path = layer.path.toStdU16String();
    request.firstPath = Path(0).toStdU16String();
    request.target = m_target.toStdU16String();
    request.convert = m_convert || !m_target.isEmpty();
    if (withView && !m_view.IsEmpty()) {
        request.view = m_view;
        request.cancelled = [generations = m_viewGeneration, mine = m_viewGeneration->load(),
                             latest = layer.latest,
                             ticket] { return generations->load() != mine || latest->load() != ticket; };
    }
    m_runner([request = std::move(request), ticket, model = QPointer<CMapModel>(this)] {
        auto outline = std::make_shared<const SLayerOutline>(ReadLayerOutline(request));
        QMetaObject::invokeMethod(
            model.data(),
            [model, ticket, outline] {
                if (model)
                    model->Take(ticket, outline);
            },
            Qt::QueuedConnection);
    });
}

void CMapModel::Take(uint64_t ticket, std::shared_ptr<const SLayerOutline> outline) {
    for (SLayer& layer : m_layers) {
        if (layer.asked != ticket)
            continue;
        if (!outline->complete && outline->error.empty())
            return; // dropped for a newer view, which is asked already
        if (!layer.extentKnown) {
            layer.extentKnown = true;
            layer.extent = outline->extent;
            layer.geographic = outline->geographic;
            // The map fits once every extent is known, so that the layers are not read for views
            // that the next extent changes at once.
            if (AllExtentsKnown())
                emit ExtentChanged();
            else if (!m_view.IsEmpty())
                Ask(layer, true);
        }
        if (!outline->view.IsEmpty()) {
            layer.outline = std::move(outline);
            emit ShapesChanged();
        }
        return;
    }
}

const SLayerOutline* CMapModel::Outline(int row) const {
    return row >= 0 && row < Count() ? m_layers[std::size_t(row)].outline.get() : nullptr;
}

std::shared_ptr<const SLayerOutline> CMapModel::SharedOutline(int row) const {
    return row >= 0 && row < Count() ? m_layers[std::size_t(row)].outline : nullptr;
}

CGeoRect CMapModel::Extent() const {
    CGeoRect all;
    for (const SLayer& layer : m_layers) {
        const CGeoRect& e = layer.extent;
        if (!layer.extentKnown || e.IsEmpty())
            continue;
        if (all.IsEmpty()) {
            all = e;
            continue;
        }
        all.left = std::min(all.left, e.left);
        all.right = std::max(all.right, e.right);
        all.top = std::max(all.top, e.top);
        all.bottom = std::min(all.bottom, e.bottom);
    }
    return all;
}

double CMapModel::XStretch() const {
    const CGeoRect extent = Extent();
    if (m_layers.empty() || !m_layers.front().geographic || extent.IsEmpty())
        return 1.0;
    const double latitude = std::clamp((extent.top + extent.bottom) / 2.0, -85.0, 85.0);
    return std::cos(latitude * M_PI / 180.0);
}

bool CMapModel::IsDrawn() const {
    for (const SLayer& layer : m_layers)
        if (!layer.outline || !layer.outline->view.Covers(m_view))
            return false;
    return true;
}

std::size_t CMapModel::CacheBytes() const {
    std::size_t bytes = 0;
    for (const SLayer& layer : m_layers)
        bytes += layer.outline ? layer.outline->Bytes() : 0;
    return bytes;
}

CMapModel::SHit CMapModel::HitAt(QPointF pixel, double tolerance) const {
    for (int row = 0; row < Count(); ++row) {
        const SLayerOutline* outline = Outline(row);
        if (outline == nullptr || outline->view.IsEmpty())
            continue;
        // The pixel in the view the shapes were read for.
        const CGeoPoint drawn = m_view.ToDrawn(pixel.x(), pixel.y());
        const CGeoPoint there = outline->view.ToPixel(drawn.x, drawn.y);
        const double scale = m_view.unitsPerPixel / outline->view.unitsPerPixel;
        if (const int32_t record = outline->RecordAt(there.x, there.y, tolerance * scale))
            return {row, record};
    }
    return {};
}

} // namespace fennick
