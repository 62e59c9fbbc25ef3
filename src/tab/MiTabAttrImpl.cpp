#include "tab/MiTabAttrImpl.h"

#include "data/GeoTypes.h"
#include "data/IString.h"
#include "platform/Boundary.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "platform/GenericEx.h"
#include "platform/Sync.h"
#include "platform/Variant.h"
#include "tab/OgrReading.h"

#include <cpl_error.h>

#include <cstdint>
#include <cstdio>

namespace fennick {

namespace {

bool IsTemporal(OGRFieldType type) {
    return type == OFTDate || type == OFTDateTime || type == OFTTime;
}

} // namespace

STabFieldKind TabFieldKind(int ogrFieldType, int width, int precision) {
    STabFieldKind kind;
    switch (ogrFieldType) {
    case OFTInteger:
        kind = {FIELD_INTEGER, 11, precision};
        break;
    case OFTInteger64: // every 64-bit value, sign included
        kind = {FIELD_INTEGER, 20, precision};
        break;
    case OFTReal:
        kind = {FIELD_REAL, 16, 6};
        break;
    case OFTString:
        kind = {FIELD_CHARACTER, 0, precision};
        break;
    // The reader's widths are those of its own texts; these are the widths of the values written.
    case OFTDate:
        return {FIELD_DATE, 8, 0};
    case OFTDateTime:
        return {FIELD_CHARACTER, 19, 0};
    case OFTTime:
        return {FIELD_CHARACTER, 8, 0};
    default:
        kind = {FIELD_NONE, 0, precision};
        break;
    }
    if (width != 0) {
        kind.width = width;
        kind.decimals = precision;
    }
    return kind;
}

int TabTemporalText(const OGRFeature& feature, int field, std::string& text) {
    text.clear();
    const OGRFieldDefn* defn = feature.GetFieldDefnRef(field);
    if (defn == nullptr)
        return 0;
    const OGRFieldType type = defn->GetType();
    if (type != OFTDate && type != OFTDateTime && type != OFTTime)
        return 0;
    if (!feature.IsFieldSetAndNotNull(field))
        return 1;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, zone = 0;
    float second = 0;
    if (!feature.GetFieldAsDateTime(field, &year, &month, &day, &hour, &minute, &second, &zone))
        return 0;
    // The texts hold whole seconds; a value with a fraction would lose it.
    const int whole = static_cast<int>(second);
    if (second != static_cast<float>(whole) || whole < 0 || whole > 60)
        return -1;
    char buffer[40];
    if (type == OFTDate)
        std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", year, month, day);
    else if (type == OFTDateTime)
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute,
                      whole);
    else
        std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", hour, minute, whole);
    text = buffer;
    return 1;
}

STabFieldKind TabFieldKind(const OGRFieldDefn& field) {
    return TabFieldKind(field.GetType(), field.GetWidth(), field.GetPrecision());
}

CTabReaderGuard::CTabReaderGuard() : m_lock(ProcessLock()) {
    CPLPushErrorHandlerEx(&CTabReaderGuard::Count, this);
}

void CPL_STDCALL CTabReaderGuard::Count(CPLErr level, CPLErrorNum, const char* message) {
    auto* guard = static_cast<CTabReaderGuard*>(CPLGetErrorHandlerUserData());
    if (guard == nullptr || (level != CE_Failure && level != CE_Fatal))
        return;
    if (guard->m_errors++ == 0 && message != nullptr)
        guard->m_firstError = message;
}

CTabReaderGuard::~CTabReaderGuard() {
    CPLPopErrorHandler();
    // A failure inside the reader must not surface later through CPLGetLastErrorMsg.
    CPLErrorReset();
}

void CFeatureBin::Put(OGRFeatureUniquePtr& feature) {
    std::lock_guard lock(m_mutex);
    if (!m_closed && feature)
        m_features.push_back(feature.release());
}

void CFeatureBin::Empty() {
    std::vector<OGRFeature*> features;
    {
        std::lock_guard lock(m_mutex);
        if (m_features.empty())
            return;
        features.swap(m_features);
        m_features.reserve(features.size());
    }
    for (OGRFeature* feature : features)
        OGRFeature::DestroyFeature(feature);
}

void CFeatureBin::Close() {
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    Empty();
}

CMiTabAttrImpl::CMiTabAttrImpl(OGRFeatureUniquePtr feature, int record, int codePage, bool utf8,
                               std::shared_ptr<CFeatureBin> bin)
    : m_feature(std::move(feature)), m_record(record), m_codePage(codePage), m_utf8(utf8),
      m_bin(std::move(bin)) {}

// The feature is this record's own copy: reading its values and freeing it touch no state GDAL shares
// between datasets or threads (its definition's count of users is atomic), so they run without the reader
// guard, which a record would otherwise take half a dozen times.
CMiTabAttrImpl::~CMiTabAttrImpl() {
    if (m_bin)
        m_bin->Put(m_feature);
}

const OGRFieldDefn* CMiTabAttrImpl::Field(int index) const {
    if (!m_feature)
        return nullptr;
    const OGRFeatureDefn* defn = m_feature->GetDefnRef();
    if (!defn || index < 0 || index >= defn->GetFieldCount())
        return nullptr;
    return defn->GetFieldDefn(index);
}

int CMiTabAttrImpl::TextCodePage() const {
    return RecordCodePage(m_codePage, m_utf8);
}

int CMiTabAttrImpl::GetString(int field, IString* value) {
    return Guarded([&] {
        if (!value)
            return 0;
        const OGRFieldDefn* defn = Field(field);
        if (!defn)
            return 0;
        if (IsTemporal(defn->GetType())) {
            std::string text;
            if (!TemporalText(field, text))
                return 0;
            return text.empty() ? value->SetText(u"") : value->SetFromMultiByte(text.c_str(), 0);
        }
        return FeatureText(*m_feature, field, TextCodePage(), value);
    });
}

bool CMiTabAttrImpl::TemporalText(int field, std::string& text) const {
    const int result = TabTemporalText(*m_feature, field, text);
    if (result < 0) {
        CIString name;
        if (const OGRFieldDefn* defn = Field(field); defn && defn->GetNameRef())
            name.SetFromMultiByte(defn->GetNameRef(), TextCodePage());
        KeepFailure(std::make_exception_ptr(
            CGenericEx(u"Record " + Utf16Number(static_cast<long long>(m_record) + 1) + u", column " +
                       name.Str() + u": the value " + FromUtf8(m_feature->GetFieldAsString(field)) +
                       u" holds a fraction of a second, which its field cannot keep.")));
    }
    return result > 0;
}

int CMiTabAttrImpl::GetInteger(int field, int* value) {
    return Guarded([&] {
        if (!value)
            return 0;
        if (!Field(field))
            return 0;
        *value = m_feature->GetFieldAsInteger(field);
        return 1;
    });
}

int CMiTabAttrImpl::GetDouble(int field, double* value) {
    return Guarded([&] {
        if (!value)
            return 0;
        if (!Field(field))
            return 0;
        *value = m_feature->GetFieldAsDouble(field);
        return 1;
    });
}

int CMiTabAttrImpl::GetValue(int field, CVariant* value) {
    return Guarded([&] {
        if (!value)
            return 0;
        const OGRFieldDefn* defn = Field(field);
        if (!defn)
            return 0;
        CVariant result;
        const OGRFieldType type = defn->GetType();
        if (type == OFTDate) {
            result = CVariant::Null();
            if (m_feature->IsFieldSetAndNotNull(field) && !DateVariant(*m_feature, field, result))
                return 0;
        } else if (IsTemporal(type)) {
            std::string text;
            if (!TemporalText(field, text))
                return 0;
            result = text.empty() ? CVariant::Null() : CVariant::FromString(FromUtf8(text));
        } else if (type == OFTInteger64) {
            result = Integer64Variant(m_feature->GetFieldAsInteger64(field));
        } else {
            switch (GetFieldType(field)) {
            case FIELD_INTEGER:
                result = CVariant::FromI4(m_feature->GetFieldAsInteger(field));
                break;
            case FIELD_REAL:
                result = CVariant::FromR8(m_feature->GetFieldAsDouble(field));
                break;
            default:
                result = TextVariant(*m_feature, field, TextCodePage());
                break;
            }
        }
        VariantClear(value);
        *value = std::move(result);
        return 1;
    });
}

int CMiTabAttrImpl::GetBookmark(CVariant* bookmark) {
    if (!bookmark)
        return 0;
    VariantClear(bookmark);
    *bookmark = CVariant::FromI4(m_record);
    return 1;
}

int CMiTabAttrImpl::GetFieldCount() {
    const OGRFeatureDefn* defn = m_feature ? m_feature->GetDefnRef() : nullptr;
    return defn ? defn->GetFieldCount() : 0;
}

int CMiTabAttrImpl::GetFieldName(int index, IString* name) {
    return Guarded([&] {
        const OGRFieldDefn* field = Field(index);
        if (!field || !name || !field->GetNameRef())
            return 0;
        return name->SetFromMultiByte(field->GetNameRef(), TextCodePage());
    });
}

int CMiTabAttrImpl::GetFieldWidth(int index) {
    const OGRFieldDefn* field = Field(index);
    return field ? TabFieldKind(*field).width : 0;
}

int CMiTabAttrImpl::GetFieldDecimals(int index) {
    const OGRFieldDefn* field = Field(index);
    return field ? TabFieldKind(*field).decimals : 0;
}

int CMiTabAttrImpl::GetFieldType(int index) {
    const OGRFieldDefn* field = Field(index);
    return field ? TabFieldKind(*field).type : 0;
}

} // namespace fennick
