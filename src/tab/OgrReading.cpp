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

int COgrLayerDS::GetShapeType() {
    return m_shapeType;
}

int COgrLayerDS::GetBounds(CGeoRect* bounds) {
    if (!bounds)
        return 0;
    *bounds = m_bounds;
    return 1;
}

int COgrLayerDS::GetFieldCount() {
    return m_fields.GetFieldCount();
}
int COgrLayerDS::GetFieldName(int index, IString* name) {
    return m_fields.GetFieldName(index, name);
}
int COgrLayerDS::GetFieldWidth(int index) {
    return m_fields.GetFieldWidth(index);
}
int COgrLayerDS::GetFieldDecimals(int index) {
    return m_fields.GetFieldDecimals(index);
}
int COgrLayerDS::GetFieldType(int index) {
    return m_fields.GetFieldType(index);
}

int COgrLayerDS::GetRecordCount() {
    return m_recordCount;
}

int COgrLayerDS::GetProjectionText(std::string& wkt) {
    wkt = m_esriWkt;
    return wkt.empty() ? 0 : 1;
}

} // namespace fennick
