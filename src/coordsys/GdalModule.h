#pragma once
// The GDAL-backed readers (MapInfo tables, WKT coordinate system text) live in a module of their own,
// loaded on first use. GDAL and the hundred libraries it pulls in cost a tenth of a second to load, more
// than a merge of shapefiles takes, so a program pays for them only when it reads a MapInfo table or a
// coordinate system text.

#include <string>

namespace fennick {

class IGeoDS;
struct CCoordSysDefinition;

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
};

inline constexpr int kGdalModuleVersion = 3;
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
