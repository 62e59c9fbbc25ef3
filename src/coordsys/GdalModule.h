#pragma once
// The GDAL-backed readers (MapInfo tables, any other vector layer GDAL reads, WKT coordinate system text)
// live in a module of their own, loaded on first use. GDAL and the hundred libraries it pulls in cost a tenth
// of a second to load, more than a merge of shapefiles takes, so a program pays for them only when it reads a
// MapInfo table or a coordinate system text.

#include <string>
#include <vector>

namespace fennick {

class IGeoDS;
struct CCoordSysDefinition;

// How a vector layer is read: which layer of a source that holds several, the fields left out, the columns a
// CSV file's points come from, and whether a layer that mixes points, lines and polygons keeps the kind of
// its first geometry (the other kinds then fail their records) instead of failing.
struct SVectorLayerOptions {
    std::u16string layer;
    std::vector<std::u16string> skipFields;
    std::u16string csvX;
    std::u16string csvY;
    bool keepFirstKind = false;
};

// What a chooser shows of one layer of a source: its name, its geometry type as GDAL names it ("Polygon",
// "Multi Line String"; empty when it has none) and its feature count, -1 where counting would read the layer.
struct SVectorLayerFacts {
    std::u16string name;
    std::u16string geometry;
    long long features = -1;
};

// What the module offers; the module hands out one static instance.
struct SGdalModuleEntries {
    int version;
    const char* stamp;
    // Opens a MapInfo table (see OpenTabDS).
    int (*openTab)(const std::u16string& path, IGeoDS** dataSource);
    // Reads WKT coordinate system text (see ReadWktDefinition).
    int (*readWkt)(CCoordSysDefinition& definition, const char* wkt);
    // Routes GDAL's own diagnostics to nowhere.
    void (*quiet)();
    // Why the last openTab on the calling thread failed (GDAL's text where it gave one); empty after success.
    const char* (*openError)();
    // The version of the GDAL the module runs with ("3.6.2").
    const char* (*libraryVersion)();
    // Opens a layer of any vector source GDAL reads (see OpenVectorDS); its failures read as openTab's.
    int (*openVector)(const std::u16string& path, const SVectorLayerOptions& options, IGeoDS** dataSource);
    // The names of the layers of a vector source; 0 when GDAL cannot open it.
    int (*listLayers)(const std::u16string& path, std::vector<std::u16string>& names);
    // The layers of a vector source with what is cheap to learn of each; 0 when GDAL cannot open it.
    int (*describeLayers)(const std::u16string& path, std::vector<SVectorLayerFacts>& layers);
};

inline constexpr int kGdalModuleVersion = 5;
// The module's file name and the symbol that hands out its entries.
inline constexpr const char* kGdalModuleFile = "libfennick_gdal.so";
inline constexpr const char* kGdalModuleSymbol = "FennickGdalModuleEntries";

// The module's entries, loading it on the first call (thread-safe); null when it cannot be loaded, and
// GdalModuleError then says why.
const SGdalModuleEntries* GdalModule();
std::string GdalModuleError();
// True when loading was tried and failed; never loads.
bool GdalModuleMissing();

// Keeps GDAL's diagnostics off the terminal, now if the module is loaded, else as soon as it is.
void QuietGdalDiagnostics();

} // namespace fennick
