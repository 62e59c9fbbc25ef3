#include "tab/MiTabAttrImpl.h"

#include "data/GeoTypes.h"
#include "data/IString.h"
#include "platform/Sync.h"
#include "platform/Variant.h"

#include <cpl_error.h>

namespace fennick {

namespace {

constexpr int CODEPAGE_UTF8 = 65001;

} // namespace

STabFieldKind TabFieldKind(int ogrFieldType, int width, int precision) {
    STabFieldKind kind;
    switch (ogrFieldType) {
    case OFTInteger:
        kind = {FIELD_INTEGER, 11, precision};
        break;
    case OFTReal:
        kind = {FIELD_REAL, 16, 6};
        break;
    case OFTString:
        kind = {FIELD_CHARACTER, 0, precision};
        break;
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

STabFieldKind TabFieldKind(const OGRFieldDefn& field) {
    return TabFieldKind(field.GetType(), field.GetWidth(), field.GetPrecision());
}

CTabReaderGuard::CTabReaderGuard() : m_lock(ProcessLock()) {
    CPLPushErrorHandler(CPLQuietErrorHandler);
}

CTabReaderGuard::~CTabReaderGuard() {
    CPLPopErrorHandler();
    // A failure inside the reader must not surface later through CPLGetLastErrorMsg.
    CPLErrorReset();
}

CMiTabAttrImpl::CMiTabAttrImpl(OGRFeatureUniquePtr feature, int record, int codePage, bool utf8)
    : m_feature(std::move(feature)), m_record(record), m_codePage(codePage), m_utf8(utf8) {}

CMiTabAttrImpl::~CMiTabAttrImpl() {
    CTabReaderGuard guard;
    m_feature.reset();
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
    return m_utf8 ? CODEPAGE_UTF8 : m_codePage;
}

int CMiTabAttrImpl::GetString(int field, IString* value) {
    try {
        if (!value)
            return 0;
        CTabReaderGuard guard;
        if (!Field(field))
            return 0;
        const char* text = m_feature->GetFieldAsString(field);
        if (!text)
            return 0;
        // An empty value is a value: records with empty texts must copy like any other.
        if (*text == '\0')
            return value->SetText(u"");
        return value->SetFromMultiByte(text, TextCodePage());
    } catch (...) {
        return 0;
    }
}

int CMiTabAttrImpl::GetInteger(int field, int* value) {
    try {
        if (!value)
            return 0;
        CTabReaderGuard guard;
        if (!Field(field))
            return 0;
        *value = m_feature->GetFieldAsInteger(field);
        return 1;
    } catch (...) {
        return 0;
    }
}

int CMiTabAttrImpl::GetDouble(int field, double* value) {
    try {
        if (!value)
            return 0;
        CTabReaderGuard guard;
        if (!Field(field))
            return 0;
        *value = m_feature->GetFieldAsDouble(field);
        return 1;
    } catch (...) {
        return 0;
    }
}

int CMiTabAttrImpl::GetValue(int field, CVariant* value) {
    try {
        if (!value)
            return 0;
        CTabReaderGuard guard;
        if (!Field(field))
            return 0;
        CVariant result;
        switch (GetFieldType(field)) {
        case FIELD_INTEGER:
            result = CVariant::FromI4(m_feature->GetFieldAsInteger(field));
            break;
        case FIELD_REAL:
            result = CVariant::FromR8(m_feature->GetFieldAsDouble(field));
            break;
        default: {
            CIString text;
            const char* raw = m_feature->GetFieldAsString(field);
            if (raw)
                text.SetFromMultiByte(raw, TextCodePage());
            result = CVariant::FromString(text.Str());
            break;
        }
        }
        VariantClear(value);
        *value = std::move(result);
        return 1;
    } catch (...) {
        return 0;
    }
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
    try {
        const OGRFieldDefn* field = Field(index);
        if (!field || !name || !field->GetNameRef())
            return 0;
        return name->SetFromMultiByte(field->GetNameRef(), TextCodePage());
    } catch (...) {
        return 0;
    }
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
