#pragma once
// Which list entries the paths being added yield, and which layers a chooser asks about: a source that holds
// several layers (a GeoPackage, a File Geodatabase ...) is added as the layers chosen from it, each as
// SOURCE:LAYER, the form the engine and fennick-merge take; everything else is added as it is.

#include "coordsys/GdalModule.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace fennick {

// A source the chooser asks about: its path and its layers.
struct SLayerSource {
    QString path;
    std::vector<SVectorLayerFacts> layers;
};

// Lists the layers of the source at path; false when it cannot be read as a vector source.
using FLayerLister = std::function<bool(const QString& path, std::vector<SVectorLayerFacts>& layers)>;
// The lister of the program: the GDAL module's, false when the module cannot be loaded.
bool DescribeSourceLayers(const QString& path, std::vector<SVectorLayerFacts>& layers);

// Whether path names a layer the list takes: a file or layer folder the "All vector layers" mask accepts, or
// SOURCE:LAYER of such a source.
bool IsLayerPath(const QString& path);

class CLayerChoice {
public:
    explicit CLayerChoice(FLayerLister lister = DescribeSourceLayers);

    // Takes the paths to add, in order. A file or layer folder of a GDAL format (not a shapefile or MapInfo
    // table) that holds several layers needs a choice; any other path, one naming its layer, one with a
    // single layer or one GDAL cannot read (its merge says why) is added as it is.
    void Take(const QStringList& paths);
    // The sources that need a choice, in the order of the paths.
    const std::vector<SLayerSource>& Sources() const { return m_sources; }
    // The entries to add: the paths in order, each source replaced by SOURCE:LAYER for each of its chosen
    // layers (chosen[i][j]: layer j of source i; what chosen does not reach is not chosen).
    QStringList Entries(const std::vector<std::vector<bool>>& chosen) const;

private:
    FLayerLister m_lister;
    QStringList m_paths;
    std::vector<int> m_sourceOf; // per path, its index among m_sources, -1 when added as it is
    std::vector<SLayerSource> m_sources;
};

// A folder's listing names each layer of a source with several as SOURCE:LAYER; this folds each run of
// those back into SOURCE (an existing file or layer folder), so that the chooser asks about it.
QStringList FoldSourceLayers(const QStringList& entries);

} // namespace fennick
