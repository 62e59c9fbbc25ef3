#include "tab/OgrReading.h"

#include "platform/CodePage.h"

#include <cpl_conv.h>
#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <mutex>

namespace fennick {

void RegisterGdalDrivers() {
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
}

void SGdalDatasetCloser::operator()(GDALDataset* dataset) const {
    GDALClose(GDALDataset::ToHandle(dataset));
}

std::string LayerEsriWkt(OGRLayer& layer) {
    std::string wkt;
    const OGRSpatialReference* system = layer.GetSpatialRef();
    if (system == nullptr || system->IsLocal() || system->IsEmpty())
        return wkt;
    char* text = nullptr;
    const char* const options[] = {"FORMAT=WKT1_ESRI", nullptr};
    if (system->exportToWkt(&text, options) == OGRERR_NONE && text != nullptr)
        wkt = text;
    CPLFree(text);
    return wkt;
}

int FeatureGeometryBounds(const OGRFeature* feature, CGeoRect* bounds) {
    const OGRGeometry* geometry = feature ? feature->GetGeometryRef() : nullptr;
    if (!geometry || geometry->IsEmpty())
        return 0;
    OGREnvelope envelope;
    geometry->getEnvelope(&envelope);
    *bounds = RectFromEnvelope(envelope);
    return 1;
}

} // namespace fennick
