#pragma once
// Opens a layer by the path of its main file: a shapefile or a MapInfo TAB table by their own readers, any
// other vector layer GDAL reads (GeoPackage, GeoJSON, FlatGeobuf ...) through the GDAL module. A source that
// holds several layers is named with its layer, SOURCE:LAYER.

#include <string>
#include <string_view>
#include <utility>

namespace fennick {

class IGeoDS;
struct SVectorLayerOptions;

// The source and the layer a path names: a path that exists is a source of its own (no layer named); else
// it is split at its last ':' when the part before exists. The layer is empty when none is named.
std::pair<std::u16string, std::u16string> SplitLayerPath(const std::u16string& path);

// Whether the path's file name ends in extension (".shp"), letter case ignored.
bool HasExtension(const std::u16string& path, std::u16string_view extension);

// Whether the path is read by the GDAL module's vector reader: not a .shp or .tab file, nor a shapefile
// under another name.
bool IsVectorLayerPath(const std::u16string& path);

// Delivers the data source with one reference and returns 1; returns 0 when neither source accepts the path.
// Never raises: on failure the shapefile reader's exception is kept for the caller (platform/Boundary.h).
// When errorText (kErrorTextSize units) is given, a failed shapefile attempt leaves its message there, even
// when the TAB attempt then succeeds. options (when given) say how a vector layer is read.
int OpenGeoDS(const std::u16string& path, const char16_t* password, IGeoDS** source, char16_t* errorText,
              const SVectorLayerOptions* options = nullptr);
// Why OpenGeoDS just failed on path, taking the kept failure: the MapInfo reader's reason for a .tab path,
// the vector reader's for a vector layer, the shapefile reader's for any other.
std::u16string OpenFailureReason(const std::u16string& path);

} // namespace fennick
