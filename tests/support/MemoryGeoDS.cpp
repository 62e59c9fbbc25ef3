#include "MemoryGeoDS.h"

#include "data/IShape.h"
#include "data/IShapeAttr.h"
#include "data/IString.h"
#include "data/RectOperations.h"
#include "data/RefCounted.h"
#include "platform/Exceptions.h"
#include "platform/Variant.h"

#include <algorithm>
#include <memory>
#include <string>

namespace fennick::test {

namespace {

// One record's attribute texts, described by a copy of the source's fields.
class CMemoryAttr final : public CUnknownImpl<IShapeAttr>, public IFieldDesc {
public:
    CMemoryAttr(const CDsFieldTable& fields, std::vector<std::u16string> values, int record)
        : m_fields(fields), m_values(std::move(values)), m_record(record) {}

    int GetString(int field, IString* value) override {
        const std::u16string* text = Value(field);
        if (!text || !value)
            return 0;
        value->SetText(text->c_str());
        return 1;
    }
    int GetInteger(int field, int* value) override {
        const std::u16string* text = Value(field);
        if (!text || !value)
            return 0;
        *value = static_cast<int>(std::stol(Narrow(*text).empty() ? "0" : Narrow(*text)));
        return 1;
    }
    int GetDouble(int field, double* value) override {
        const std::u16string* text = Value(field);
        if (!text || !value)
            return 0;
        *value = Narrow(*text).empty() ? 0.0 : std::stod(Narrow(*text));
        return 1;
    }
    int GetValue(int field, CVariant* value) override {
        const std::u16string* text = Value(field);
        if (!text || !value)
            return 0;
        switch (m_fields.GetFieldType(field)) {
        case FIELD_INTEGER: {
            int i = 0;
            GetInteger(field, &i);
            *value = CVariant::FromI4(i);
            break;
        }
        case FIELD_REAL: {
            double d = 0;
            GetDouble(field, &d);
            *value = CVariant::FromR8(d);
            break;
        }
        default:
            *value = CVariant::FromString(*text);
        }
        return 1;
    }
    int GetBookmark(CVariant* bookmark) override {
        if (!bookmark)
            return 0;
        *bookmark = CVariant::FromI4(m_record);
        return 1;
    }

    int GetFieldCount() override { return m_fields.GetFieldCount(); }
    int GetFieldName(int index, IString* name) override { return m_fields.GetFieldName(index, name); }
    int GetFieldWidth(int index) override { return m_fields.GetFieldWidth(index); }
    int GetFieldDecimals(int index) override { return m_fields.GetFieldDecimals(index); }
    int GetFieldType(int index) override { return m_fields.GetFieldType(index); }

private:
    const std::u16string* Value(int field) const {
        if (field < 0 || static_cast<std::size_t>(field) >= m_values.size())
            return nullptr;
        return &m_values[static_cast<std::size_t>(field)];
    }
    static std::string Narrow(const std::u16string& text) {
        std::string out;
        for (const char16_t c : text)
            out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        return out;
    }

    CDsFieldTable m_fields;
    std::vector<std::u16string> m_values;
    int m_record;
};

} // namespace

CMemoryGeoDS::CMemoryGeoDS(SLayerSpec layer, SMemoryOptions options)
    : m_layer(std::move(layer)), m_options(std::move(options)), m_bounds(LayerBounds(m_layer)) {
    for (const SFieldSpec& field : m_layer.fields)
        m_fields.Add(SDsFields{field.name, field.type, field.width, field.decimals});
    for (const SRecordSpec& record : m_layer.records) {
        m_contents.push_back(ShapeContent(record));
        m_recordBounds.push_back(RecordBounds(record));
    }
    SetCodePage(m_options.codePage);
    if (m_options.index == EMemoryIndex::File && !m_index.Open(m_options.indexPath))
        m_options.index = EMemoryIndex::None;
}

CMemoryGeoDS::~CMemoryGeoDS() {
    if (m_options.destroyed)
        *m_options.destroyed = true;
}

int CMemoryGeoDS::GetSourceKind() {
    return m_options.sourceKind;
}

int CMemoryGeoDS::GetShapeType() {
    return m_layer.shapeType;
}

int CMemoryGeoDS::GetBounds(CGeoRect* bounds) {
    if (!bounds)
        return 0;
    *bounds = m_bounds;
    return 1;
}

void CMemoryGeoDS::Close() {
    m_closed = true;
    m_index.Close();
}

int CMemoryGeoDS::GetFieldCount() {
    return m_fields.GetFieldCount();
}

int CMemoryGeoDS::GetFieldName(int index, IString* name) {
    return m_fields.GetFieldName(index, name);
}

int CMemoryGeoDS::GetFieldWidth(int index) {
    return m_fields.GetFieldWidth(index);
}

int CMemoryGeoDS::GetFieldDecimals(int index) {
    return m_fields.GetFieldDecimals(index);
}

int CMemoryGeoDS::GetFieldType(int index) {
    return m_fields.GetFieldType(index);
}

bool CMemoryGeoDS::ValidRecord(int record) const {
    return !m_closed && record >= 0 && static_cast<std::size_t>(record) < m_contents.size();
}

int CMemoryGeoDS::GetRecordCount() {
    return m_closed ? 0 : static_cast<int>(m_contents.size());
}

int CMemoryGeoDS::ReadShape(int record, IShapeEx* shape) {
    ++readShapeCalls;
    if (!shape || !ValidRecord(record))
        return 0;
    const auto& unreadable = m_options.unreadable;
    if (std::find(unreadable.begin(), unreadable.end(), record) != unreadable.end())
        return 0;
    const auto& content = m_contents[static_cast<std::size_t>(record)];
    return shape->SetData(m_layer.records[static_cast<std::size_t>(record)].type, record, content.data(),
                          static_cast<int>(content.size()));
}

int CMemoryGeoDS::GetAttributes(int record, IShapeAttr** attributes) {
    if (!attributes || !ValidRecord(record) || m_fields.GetFieldCount() == 0)
        return 0;
    *attributes =
        MakeRef<CMemoryAttr>(m_fields, m_layer.records[static_cast<std::size_t>(record)].values, record)
            .Detach();
    return 1;
}

int CMemoryGeoDS::GetRecordBounds(int record, CGeoRect* bounds) {
    ++recordBoundsCalls;
    if (!bounds || !ValidRecord(record))
        return 0;
    if (record == m_options.failingBounds)
        ThrowBadFormatBecause(u"its record header is cut short", u"memory.shp");
    const CGeoRect& r = m_recordBounds[static_cast<std::size_t>(record)];
    if (r.IsEmpty())
        return 0;
    *bounds = r;
    return 1;
}

int CMemoryGeoDS::DeleteRecord(int record) {
    if (!m_options.supportsDelete || !ValidRecord(record))
        return 0;
    const auto at = static_cast<std::ptrdiff_t>(record);
    m_layer.records.erase(m_layer.records.begin() + at);
    m_contents.erase(m_contents.begin() + at);
    m_recordBounds.erase(m_recordBounds.begin() + at);
    return 1;
}

bool CMemoryGeoDS::HasSpatialIndex() {
    return m_options.index != EMemoryIndex::None && !m_closed;
}

int CMemoryGeoDS::QuerySpatialIndex(const CGeoRect& query, std::vector<bool>& bits) {
    ++indexQueries;
    if (m_options.index == EMemoryIndex::File)
        return m_index.Query(query, bits);
    const int size = m_options.indexSize >= 0 ? m_options.indexSize : GetRecordCount();
    bits.assign(static_cast<std::size_t>(size), false);
    switch (m_options.index) {
    case EMemoryIndex::Exact:
        for (int i = 0; i < size && i < GetRecordCount(); ++i) {
            const CGeoRect& r = m_recordBounds[static_cast<std::size_t>(i)];
            if (!r.IsEmpty() && RectsMeet(r, query))
                bits[static_cast<std::size_t>(i)] = true;
        }
        return 1;
    case EMemoryIndex::Listed:
        for (const int i : m_options.indexRecords) {
            if (i < 0 || i >= size) {
                bits.clear();
                return 0;
            }
            bits[static_cast<std::size_t>(i)] = true;
        }
        return 1;
    default:
        bits.clear();
        return 0;
    }
}

CRef<CMemoryGeoDS> MakeMemoryGeoDS(SLayerSpec layer, SMemoryOptions options) {
    return MakeRef<CMemoryGeoDS>(std::move(layer), std::move(options));
}

} // namespace fennick::test
