#pragma once
// CVectorAttrImpl: the attribute record of one feature of a vector layer read through GDAL/OGR (GeoPackage,
// GeoJSON, FlatGeobuf ...). It owns its feature and shares the layer's field table, so it stays valid after
// the record set moves on and after its data source closes. Also here: the field table's rows and the texts
// temporal values are written as.

#include "data/IFieldDesc.h"
#include "data/IShapeAttr.h"
#include "data/RefCounted.h"

#include <ogr_feature.h>

#include <memory>
#include <string>
#include <vector>

namespace fennick {

// How a value of the layer is read and written.
enum class EVectorValue { integer, integer64, real, text, date, dateTime, time, boolean };

// A field of the layer as a shapefile holds it: the OGR field it reads, how, and its form (FieldType, width,
// decimals) and name.
struct SVectorField {
    int ogrIndex = 0;
    EVectorValue value = EVectorValue::text;
    int type = 0;
    int width = 0;
    int decimals = 0;
    std::u16string name;
};

using CVectorFields = std::shared_ptr<const std::vector<SVectorField>>;

// The ISO 8601 text of a date-and-time or time value: "YYYY-MM-DDThh:mm:ss", the fraction (".sss") where
// the value has one, the time zone ("Z", "+01:00") where it has one; "hh:mm:ss[.sss]" for a time. Empty for
// a value that is not set or null.
std::string VectorTemporalText(const OGRFeature& feature, int ogrIndex, EVectorValue value);

class CVectorAttrImpl : public CUnknownImpl<IShapeAttr>, public IFieldDesc {
public:
    // Takes over the feature. Texts are decoded with the code page, or as UTF-8 when the layer delivers
    // its strings as UTF-8.
    CVectorAttrImpl(OGRFeatureUniquePtr feature, CVectorFields fields, int record, int codePage, bool utf8);
    ~CVectorAttrImpl() override;

    // The value as text; a null value reads as an empty text. 0 for a bad field index.
    int GetString(int field, IString* value) override;
    int GetInteger(int field, int* value) override;
    int GetDouble(int field, double* value) override;
    // VT_NULL for a null value; else VT_I4 (VT_DECIMAL beyond 32 bits), VT_R8, VT_BOOL, VT_DATE, or VT_BSTR
    // of the text (texts, dates with times, times).
    int GetValue(int field, CVariant* value) override;
    int GetBookmark(CVariant* bookmark) override;

    int GetFieldCount() override;
    int GetFieldName(int index, IString* name) override;
    int GetFieldWidth(int index) override;
    int GetFieldDecimals(int index) override;
    int GetFieldType(int index) override;

private:
    const SVectorField* Field(int index) const;
    int TextCodePage() const;
    // The value of a valid field as read(its OGR index) gives it; 0 for a bad field index or no place for
    // the value.
    template <class T, class Read> int ReadNumber(int field, T* value, Read&& read);

    OGRFeatureUniquePtr m_feature;
    CVectorFields m_fields;
    int m_record;
    int m_codePage;
    bool m_utf8;
};

} // namespace fennick
