#pragma once
// What the readers over a GDAL/OGR layer (CMiTabDS, CVectorLayerDS) share: their base COgrLayerDS, the
// dataset handle, the feature kept between a record's shape and its attributes, the fetch under the reader
// guard, the layer's system as ESRI WKT and a geometry's bounds; and what their attribute records
// (CMiTabAttrImpl, CVectorAttrImpl) share, the readings of a value that do not depend on how its field was
// described.

#include "data/DsFields.h"
#include "data/GeoTypes.h"
#include "data/IProjectionText.h"
#include "data/IString.h"
#include "platform/ByteBuffer.h"
#include "platform/Variant.h"
#include "search/GeoDataSource.h"
#include "tab/MiTabAttrImpl.h"

#include <ogr_feature.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

class GDALDataset;
class OGRLayer;

namespace fennick {

// GDAL's drivers, registered once for the process.
void RegisterGdalDrivers();

// Closes a dataset GDAL opened.
struct SGdalDatasetCloser {
    void operator()(GDALDataset* dataset) const;
};
using CGdalDatasetPtr = std::unique_ptr<GDALDataset, SGdalDatasetCloser>;

inline CGeoRect RectFromEnvelope(const OGREnvelope& envelope) {
    CGeoRect rect;
    rect.left = envelope.MinX;
    rect.top = envelope.MaxY;
    rect.right = envelope.MaxX;
    rect.bottom = envelope.MinY;
    return rect;
}

// The layer's coordinate system as ESRI WKT; empty without one, or for a local system (a plane with no place
// on the earth, as GDAL reads a MapInfo "NonEarth" table).
std::string LayerEsriWkt(OGRLayer& layer);

// The bounding box of the feature's geometry into bounds: 1, or 0 without a feature, a geometry or with an
// empty one.
int FeatureGeometryBounds(const OGRFeature* feature, CGeoRect* bounds);

// The feature a read under guard gave, or null with error set to GDAL's first error when it reported one:
// GDAL goes on after some errors with a feature that lacks what could not be read.
inline OGRFeatureUniquePtr CheckedFeature(const CTabReaderGuard& guard, OGRFeatureUniquePtr feature,
                                          std::string& error) {
    if (guard.Errors() > 0) {
        error = guard.FirstError();
        return nullptr;
    }
    return feature;
}

// The feature of one record, kept until another record is asked for or the attributes take it: a merge
// asks for a record's shape and then its attributes, and reading a feature costs more than both uses
// together. fetch(record) reads a feature (null when it cannot); the caller holds the reader guard.
class CKeptFeature {
public:
    // The feature of record, read unless it is the one kept; null when it cannot be read.
    template <class Fetch> OGRFeature* Get(int record, Fetch&& fetch) {
        if (!m_feature || m_record != record) {
            m_feature.reset();
            m_record = -1;
            m_feature = fetch(record);
            if (m_feature)
                m_record = record;
        }
        return m_feature.get();
    }
    // The kept feature of record handed over, or a newly read one.
    template <class Fetch> OGRFeatureUniquePtr Take(int record, Fetch&& fetch) {
        if (m_feature && m_record == record) {
            m_record = -1;
            return std::move(m_feature);
        }
        return fetch(record);
    }
    void Reset() {
        m_feature.reset();
        m_record = -1;
    }

private:
    OGRFeatureUniquePtr m_feature;
    int m_record = -1;
};

// The code page a record's texts are decoded with: UTF-8 when the layer delivers its strings so, else the
// source's code page.
inline constexpr int kUtf8CodePage = 65001;
inline int RecordCodePage(int codePage, bool utf8) {
    return utf8 ? kUtf8CodePage : codePage;
}

// What a data source over one GDAL/OGR layer keeps whatever its format: the dataset and its layer, the field
// table, shape type, extent and record count learnt at open, the system as ESRI WKT, the record buffer shapes
// are built in and the kept feature. Each reader opens, fetches and builds its shapes itself.
class COgrLayerDS : public CGeoDataSource, public IProjectionText {
public:
    int GetShapeType() override;
    int GetBounds(CGeoRect* bounds) override;

    // IFieldDesc over the field table read at open.
    int GetFieldCount() override;
    int GetFieldName(int index, IString* name) override;
    int GetFieldWidth(int index) override;
    int GetFieldDecimals(int index) override;
    int GetFieldType(int index) override;

    int GetRecordCount() override;

    // IProjectionText: the layer's system as ESRI WKT; 0 without one.
    int GetProjectionText(std::string& wkt) override;

protected:
    explicit COgrLayerDS(int shapeType) : m_shapeType(shapeType) {}
    ~COgrLayerDS() override = default;

    CGdalDatasetPtr m_dataset;
    OGRLayer* m_layer = nullptr; // owned by the dataset
    std::u16string m_path;       // for messages
    CDsFieldTable m_fields;
    int m_shapeType;
    CGeoRect m_bounds;
    int m_recordCount = 0;
    // Whether GDAL hands out the layer's texts as UTF-8.
    bool m_utf8 = false;
    std::string m_esriWkt;
    // GDAL's words for why the last fetch failed, for the failure reported next.
    std::string m_fetchError;
    // Reused for every shape read, so walking a layer allocates no record buffer per record.
    CByteBuffer m_record;
    CKeptFeature m_kept;
};

// A 64-bit integer as VT_I4 when it fits 32 bits, else as VT_DECIMAL.
inline CVariant Integer64Variant(GIntBig number) {
    return number >= INT32_MIN && number <= INT32_MAX ? CVariant::FromI4(static_cast<int32_t>(number))
                                                      : CVariant::FromInt64(number);
}

// The date of field as VT_DATE into result; false when GDAL cannot read it as a date or it is no valid date.
inline bool DateVariant(const OGRFeature& feature, int field, CVariant& result) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, zone = 0;
    float second = 0;
    double date = 0;
    if (!feature.GetFieldAsDateTime(field, &year, &month, &day, &hour, &minute, &second, &zone) ||
        !SystemTimeToVariantTime(year, month, day, 0, 0, 0, &date))
        return false;
    result = CVariant::FromDate(date);
    return true;
}

// The text of field decoded with the code page as VT_BSTR (empty when GDAL gives none).
inline CVariant TextVariant(const OGRFeature& feature, int field, int codePage) {
    CIString text;
    const char* raw = feature.GetFieldAsString(field);
    if (raw)
        text.SetFromMultiByte(raw, codePage);
    return CVariant::FromString(text.Str());
}

// The text of field decoded with the code page into value; an empty value is a value (records with empty
// texts must copy like any other). 0 when GDAL gives no text.
inline int FeatureText(const OGRFeature& feature, int field, int codePage, IString* value) {
    const char* text = feature.GetFieldAsString(field);
    if (!text)
        return 0;
    // An empty value is a value: records with empty texts must copy like any other.
    if (*text == '\0')
        return value->SetText(u"");
    return value->SetFromMultiByte(text, codePage);
}

} // namespace fennick
