#include "tab/VectorAttrImpl.h"

#include "data/GeoTypes.h"
#include "data/IString.h"
#include "platform/Boundary.h"
#include "platform/CodePage.h"
#include "platform/Variant.h"
#include "tab/MiTabAttrImpl.h"
#include "tab/OgrReading.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fennick {

std::string VectorTemporalText(const OGRFeature& feature, int ogrIndex, EVectorValue value) {
    if (!feature.IsFieldSetAndNotNull(ogrIndex))
        return {};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, zone = 0;
    float second = 0;
    if (!feature.GetFieldAsDateTime(ogrIndex, &year, &month, &day, &hour, &minute, &second, &zone))
        return {};
    int whole = static_cast<int>(second);
    // GDAL keeps milliseconds.
    int millis = static_cast<int>(std::lround((static_cast<double>(second) - whole) * 1000.0));
    if (millis >= 1000) {
        millis -= 1000;
        ++whole;
    }
    char text[48];
    int length = 0;
    if (value == EVectorValue::time)
        length = std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, minute, whole);
    else
        length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", year, month, day, hour,
                               minute, whole);
    if (millis > 0)
        length +=
            std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), ".%03d", millis);
    // 100 is UTC, every step beyond it 15 minutes east; 0 (unknown) and 1 (local) state no zone.
    if (value == EVectorValue::dateTime && zone == 100) {
        length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), "Z");
    } else if (value == EVectorValue::dateTime && zone > 1) {
        const int minutes = (zone - 100) * 15;
        length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), "%c%02d:%02d",
                                minutes < 0 ? '-' : '+', std::abs(minutes) / 60, std::abs(minutes) % 60);
    }
    return std::string(text, static_cast<std::size_t>(length));
}

CVectorAttrImpl::CVectorAttrImpl(OGRFeatureUniquePtr feature, CVectorFields fields, int record, int codePage,
                                 bool utf8)
    : m_feature(std::move(feature)), m_fields(std::move(fields)), m_record(record), m_codePage(codePage),
      m_utf8(utf8) {}

// The feature is this record's own copy: its values are read and it is freed without the reader guard, as
// a MapInfo record's are.
CVectorAttrImpl::~CVectorAttrImpl() = default;

const SVectorField* CVectorAttrImpl::Field(int index) const {
    if (!m_feature || !m_fields || index < 0 || index >= static_cast<int>(m_fields->size()))
        return nullptr;
    return &(*m_fields)[static_cast<std::size_t>(index)];
}

int CVectorAttrImpl::TextCodePage() const {
    return RecordCodePage(m_codePage, m_utf8);
}

int CVectorAttrImpl::GetString(int field, IString* value) {
    return Guarded([&] {
        const SVectorField* f = Field(field);
        if (!value || !f)
            return 0;
        if (!m_feature->IsFieldSetAndNotNull(f->ogrIndex))
            return value->SetText(u"");
        switch (f->value) {
        case EVectorValue::dateTime:
        case EVectorValue::time: {
            const std::string text = VectorTemporalText(*m_feature, f->ogrIndex, f->value);
            return value->SetFromMultiByte(text.c_str(), 0);
        }
        case EVectorValue::boolean:
            return value->SetText(m_feature->GetFieldAsInteger(f->ogrIndex) != 0 ? u"T" : u"F");
        default:
            break;
        }
        return FeatureText(*m_feature, f->ogrIndex, TextCodePage(), value);
    });
}

template <class T, class Read> int CVectorAttrImpl::ReadNumber(int field, T* value, Read&& read) {
    return Guarded([&] {
        const SVectorField* f = Field(field);
        if (!value || !f)
            return 0;
        *value = read(f->ogrIndex);
        return 1;
    });
}

int CVectorAttrImpl::GetInteger(int field, int* value) {
    return ReadNumber(field, value, [this](int i) { return m_feature->GetFieldAsInteger(i); });
}

int CVectorAttrImpl::GetDouble(int field, double* value) {
    return ReadNumber(field, value, [this](int i) { return m_feature->GetFieldAsDouble(i); });
}

int CVectorAttrImpl::GetValue(int field, CVariant* value) {
    return Guarded([&] {
        const SVectorField* f = Field(field);
        if (!value || !f)
            return 0;
        CVariant result = CVariant::Null();
        const int i = f->ogrIndex;
        if (m_feature->IsFieldSetAndNotNull(i)) {
            switch (f->value) {
            case EVectorValue::integer:
                result = CVariant::FromI4(m_feature->GetFieldAsInteger(i));
                break;
            case EVectorValue::integer64:
                result = Integer64Variant(m_feature->GetFieldAsInteger64(i));
                break;
            case EVectorValue::real:
                result = CVariant::FromR8(m_feature->GetFieldAsDouble(i));
                break;
            case EVectorValue::boolean:
                result = CVariant::FromBool(m_feature->GetFieldAsInteger(i) != 0);
                break;
            case EVectorValue::date:
                if (!DateVariant(*m_feature, i, result))
                    return 0;
                break;
            case EVectorValue::dateTime:
            case EVectorValue::time:
                result = CVariant::FromString(FromUtf8(VectorTemporalText(*m_feature, i, f->value)));
                break;
            case EVectorValue::text:
                result = TextVariant(*m_feature, i, TextCodePage());
                break;
            }
        }
        VariantClear(value);
        *value = std::move(result);
        return 1;
    });
}

int CVectorAttrImpl::GetBookmark(CVariant* bookmark) {
    if (!bookmark)
        return 0;
    VariantClear(bookmark);
    *bookmark = CVariant::FromI4(m_record);
    return 1;
}

int CVectorAttrImpl::GetFieldCount() {
    return m_fields ? static_cast<int>(m_fields->size()) : 0;
}

int CVectorAttrImpl::GetFieldName(int index, IString* name) {
    return Guarded([&] {
        const SVectorField* f = Field(index);
        return f && name ? name->SetText(f->name.c_str()) : 0;
    });
}

int CVectorAttrImpl::GetFieldWidth(int index) {
    const SVectorField* f = Field(index);
    return f ? f->width : 0;
}

int CVectorAttrImpl::GetFieldDecimals(int index) {
    const SVectorField* f = Field(index);
    return f ? f->decimals : 0;
}

int CVectorAttrImpl::GetFieldType(int index) {
    const SVectorField* f = Field(index);
    return f ? f->type : 0;
}

} // namespace fennick
