// The GDAL module's entry point: what the program reaches through GdalModule().

#include "coordsys/GdalModule.h"
#include "data/RefCounted.h"
#include "platform/BuildStamp.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "tab/MiTabAttrImpl.h"
#include "tab/MiTabDS.h"
#include "tab/VectorLayerDS.h"
#include "tab/WktParser.h"

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_api.h>

#include <string>

namespace fennick {

namespace {

// Why the last open on this thread failed.
thread_local std::string t_openError;

int OpenMiTabTable(const std::u16string& path, IGeoDS** dataSource) {
    t_openError.clear();
    if (!dataSource)
        return 0;
    CPLErrorReset();
    try {
        CRef<CMiTabDS> source = MakeRef<CMiTabDS>();
        source->Open(path, true);
        *dataSource = source.Detach();
        return 1;
    } catch (const CException& e) {
        // The half-opened source was released (and destroyed) on the way out.
        t_openError = ToUtf8(DescribeFailure(e));
    } catch (...) {
    }
    // GDAL's own words come first: they say what is wrong inside the table.
    const char* gdal = CPLGetLastErrorMsg();
    if (gdal != nullptr && *gdal != '\0')
        t_openError = t_openError.empty() ? std::string(gdal) : std::string(gdal) + " (" + t_openError + ")";
    return 0;
}

int OpenVectorLayer(const std::u16string& path, const SVectorLayerOptions& options, IGeoDS** dataSource) {
    t_openError.clear();
    if (!dataSource)
        return 0;
    CPLErrorReset();
    try {
        CRef<CVectorLayerDS> source = MakeRef<CVectorLayerDS>();
        source->Open(path, options);
        *dataSource = source.Detach();
        return 1;
    } catch (const CException& e) {
        t_openError = ToUtf8(DescribeFailure(e));
    } catch (const std::exception& e) {
        t_openError = e.what();
    }
    return 0;
}

int ListLayers(const std::u16string& path, std::vector<std::u16string>& names) {
    names.clear();
    CTabReaderGuard guard;
    GDALAllRegister();
    const std::string utf8 = ToUtf8(path);
    GDALDatasetH dataset =
        GDALOpenEx(utf8.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (!dataset)
        return 0;
    for (int i = 0; i < GDALDatasetGetLayerCount(dataset); ++i)
        names.push_back(FromUtf8(OGR_L_GetName(GDALDatasetGetLayer(dataset, i))));
    GDALClose(dataset);
    return 1;
}

int DescribeLayers(const std::u16string& path, std::vector<SVectorLayerFacts>& layers) {
    layers.clear();
    CTabReaderGuard guard;
    GDALAllRegister();
    const std::string utf8 = ToUtf8(path);
    GDALDatasetH dataset =
        GDALOpenEx(utf8.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (!dataset)
        return 0;
    for (int i = 0; i < GDALDatasetGetLayerCount(dataset); ++i) {
        OGRLayerH layer = GDALDatasetGetLayer(dataset, i);
        SVectorLayerFacts facts;
        facts.name = FromUtf8(OGR_L_GetName(layer));
        // Without force a driver counts only where it knows the count or reads it from an index.
        facts.features = OGR_L_GetFeatureCount(layer, FALSE);
        const OGRwkbGeometryType type = OGR_L_GetGeomType(layer);
        if (type != wkbNone)
            facts.geometry = FromUtf8(OGRGeometryTypeToName(type));
        layers.push_back(std::move(facts));
    }
    GDALClose(dataset);
    return 1;
}

const char* OpenError() {
    return t_openError.c_str();
}

void Quiet() {
    CPLSetErrorHandler(CPLQuietErrorHandler);
}

const char* LibraryVersion() {
    return GDALVersionInfo("RELEASE_NAME");
}

const SGdalModuleEntries kEntries = {
    kGdalModuleVersion, kBuildStamp,     &OpenMiTabTable,  &ParseWktDefinition, &Quiet,
    &OpenError,         &LibraryVersion, &OpenVectorLayer, &ListLayers,         &DescribeLayers};

} // namespace

} // namespace fennick

// Typed as every module entry is, so that the loader calls it through the type it has.
extern "C" __attribute__((visibility("default"))) const void* FennickGdalModuleEntries() {
    return &fennick::kEntries;
}
