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

CGeoRect RectFromEnvelope(const OGREnvelope& envelope) {
    CGeoRect rect;
    rect.left = envelope.MinX;
    rect.top = envelope.MaxY;
    rect.right = envelope.MaxX;
    rect.bottom = envelope.MinY;
    return rect;
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

CVariant Integer64Variant(GIntBig number) {
    return number >= INT32_MIN && number <= INT32_MAX ? CVariant::FromI4(static_cast<int32_t>(number))
                                                      : CVariant::FromInt64(number);
}

bool DateVariant(const OGRFeature& feature, int field, CVariant& result) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, zone = 0;
    float second = 0;
    double date = 0;
    if (!feature.GetFieldAsDateTime(field, &year, &month, &day, &hour, &minute, &second, &zone) ||
        !SystemTimeToVariantTime(year, month, day, 0, 0, 0, &date))
        return false;
    result = CVariant::FromDate(date);
    return true;
}

CVariant TextVariant(const OGRFeature& feature, int field, int codePage) {
    CIString text;
    const char* raw = feature.GetFieldAsString(field);
    if (raw)
        text.SetFromMultiByte(raw, codePage);
    return CVariant::FromString(text.Str());
}

int FeatureText(const OGRFeature& feature, int field, int codePage, IString* value) {
    const char* text = feature.GetFieldAsString(field);
    if (!text)
        return 0;
    // An empty value is a value: records with empty texts must copy like any other.
    if (*text == '\0')
        return value->SetText(u"");
    return value->SetFromMultiByte(text, codePage);
}

} // namespace fennick
