#include "ui/LayerChoice.h"

#include "ui/FileTreeRules.h"

#include <QFileInfo>

namespace fennick {

namespace {

// The two kinds with readers of their own hold one layer each; GDAL is not loaded to say so.
bool IsSingleLayerKind(const QString& path) {
    return path.endsWith(QStringLiteral(".shp"), Qt::CaseInsensitive) ||
           path.endsWith(QStringLiteral(".tab"), Qt::CaseInsensitive);
}

bool IsSourcePath(const QString& path) {
    return PathIsFile(path) && MaskMatches(LayerMaskChoices().back().mask, QFileInfo(path).fileName());
}

// SOURCE of SOURCE:LAYER when SOURCE is a source on disk, else empty. A path that exists is never split.
QString SourceOfLayerPath(const QString& path) {
    const qsizetype colon = path.lastIndexOf(u':');
    if (colon <= 0 || PathIsFile(path) || PathIsFolder(path))
        return {};
    const QString source = path.left(colon);
    return IsSourcePath(source) ? source : QString();
}

} // namespace

bool DescribeSourceLayers(const QString& path, std::vector<SVectorLayerFacts>& layers) {
    const SGdalModuleEntries* module = GdalModule();
    return module != nullptr && module->describeLayers(path.toStdU16String(), layers) != 0;
}

bool IsLayerPath(const QString& path) {
    return IsSourcePath(path) || !SourceOfLayerPath(path).isEmpty();
}

CLayerChoice::CLayerChoice(FLayerLister lister) : m_lister(std::move(lister)) {}

void CLayerChoice::Take(const QStringList& paths) {
    m_paths = paths;
    m_sourceOf.assign(size_t(paths.size()), -1);
    m_sources.clear();
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (IsSingleLayerKind(paths[i]) || !IsSourcePath(paths[i]))
            continue;
        SLayerSource source{paths[i], {}};
        if (m_lister(paths[i], source.layers) && source.layers.size() > 1) {
            m_sourceOf[size_t(i)] = int(m_sources.size());
            m_sources.push_back(std::move(source));
        }
    }
}

QStringList CLayerChoice::Entries(const std::vector<std::vector<bool>>& chosen) const {
    QStringList entries;
    for (qsizetype i = 0; i < m_paths.size(); ++i) {
        const int index = m_sourceOf[size_t(i)];
        if (index < 0) {
            entries << m_paths[i];
            continue;
        }
        const SLayerSource& source = m_sources[size_t(index)];
        for (size_t j = 0; j < source.layers.size(); ++j)
            if (size_t(index) < chosen.size() && j < chosen[size_t(index)].size() && chosen[size_t(index)][j])
                entries << source.path + u':' + QString::fromStdU16String(source.layers[j].name);
    }
    return entries;
}

QStringList FoldSourceLayers(const QStringList& entries) {
    QStringList folded;
    QString last;
    for (const QString& entry : entries) {
        const QString source = SourceOfLayerPath(entry);
        if (source.isEmpty())
            folded << entry;
        else if (source != last)
            folded << source;
        last = source;
    }
    return folded;
}

} // namespace fennick
