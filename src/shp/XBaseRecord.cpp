#include "shp/XBaseRecord.h"

#include "data/GeoTypes.h"
#include "data/IString.h"
#include "platform/Boundary.h"
#include "platform/Variant.h"
#include "shp/XBaseDatabase.h"
#include "shp/XBaseNumbers.h"

#include <cstring>

namespace fennick {

CxBaseRecord::CxBaseRecord(CxBaseDatabase* table) : m_table(table) {
    m_table->Attach(this);
}

CxBaseRecord::~CxBaseRecord() {
    if (m_table != nullptr)
        m_table->Detach(this);
}

HRESULT CxBaseRecord::QueryInterface(const SGuid&, void**) {
    return E_ABORT;
}

int32_t CxBaseRecord::AddRef() {
    return ++m_refs;
}

int32_t CxBaseRecord::Release() {
    const int32_t count = --m_refs;
    if (count == 0 && (m_table == nullptr || !m_table->Recycle(this)))
        delete this;
    return count;
}

void CxBaseRecord::Cut() {
    m_cutCodePage = m_table->GetCodePage();
    m_table = nullptr;
    m_prev = m_next = nullptr;
}

int CxBaseRecord::CodePage() const {
    return m_table != nullptr ? m_table->GetCodePage() : m_cutCodePage;
}

void CxBaseRecord::Load(uint32_t record) {
    CxBaseDatabase& table = *m_table;
    const int count = table.GetFieldCount();
    const uint32_t length = table.GetRecordLength();
    if (!table.RecordsReadable())
        ThrowBadFormat(table.m_file.GetFilePath());
    m_record = record;
    // A record object serves one table, whose layout stays while the record is attached to it: a recycled
    // record keeps its entries.
    if (m_entries.size() != static_cast<std::size_t>(count) || m_entriesLength != length) {
        m_entries.resize(static_cast<std::size_t>(count));
        m_entriesLength = length;
        uint32_t textAt = 0;
        for (int i = 0; i < count; ++i) {
            const SDbfField& f = table.Field(i);
            SEntry& e = m_entries[static_cast<std::size_t>(i)];
            e.width = f.width;
            e.offset = f.offset;
            e.decimals = f.decimals;
            e.type = f.type;
            e.text = textAt;
            e.length = 0;
            textAt += f.width + 1u;
        }
    }
    uint8_t* raw = m_raw.Require(length);
    char* texts = reinterpret_cast<char*>(m_texts.Require(length + static_cast<uint32_t>(count)));

    table.ReadStoredRecord(record, raw);

    // Offsets and widths come from descriptors whose running sum is the record length, so every field lies
    // inside the record.
    for (SEntry& e : m_entries) {
        const uint8_t* begin = raw + e.offset;
        const uint8_t* end = begin + e.width;
        while (begin < end && *begin == ' ')
            ++begin;
        while (end > begin && end[-1] == ' ')
            --end;
        e.length = static_cast<uint32_t>(end - begin);
        std::memcpy(texts + e.text, begin, e.length);
        texts[e.text + e.length] = '\0';
    }
}

std::string_view CxBaseRecord::GetText(int field) const {
    if (!Valid(field))
        return {};
    const SEntry& e = m_entries[static_cast<std::size_t>(field)];
    return {reinterpret_cast<const char*>(m_texts.Data()) + e.text, e.length};
}

std::string_view CxBaseRecord::GetStoredBytes(int field) const {
    if (!Valid(field))
        return {};
    const SEntry& e = m_entries[static_cast<std::size_t>(field)];
    return {reinterpret_cast<const char*>(m_raw.Data()) + e.offset, e.width};
}

double CxBaseRecord::ToDouble(int field) const {
    return ParseXBaseDouble(GetText(field));
}

int CxBaseRecord::GetString(int field, IString* value) {
    if (!Valid(field) || value == nullptr)
        return 0;
    return Guarded([&] {
        const SEntry& e = m_entries[static_cast<std::size_t>(field)];
        // A null reads as an empty text, which leaves the string as it was.
        if (IsStoredNull(e.type, GetText(field)))
            return 1;
        if (e.type == 'F') {
            char text[kNumberTextSize];
            const std::size_t n = PrintGeneral(text, ToDouble(field), e.decimals);
            char16_t wide[kNumberTextSize + 1];
            for (std::size_t i = 0; i < n; ++i)
                wide[i] = static_cast<unsigned char>(text[i]);
            wide[n] = u'\0';
            value->SetText(wide);
        } else {
            // An empty text leaves the string as it was and still counts as success.
            value->SetFromMultiByte(reinterpret_cast<const char*>(m_texts.Data()) + e.text, CodePage());
        }
        return 1;
    });
}

int CxBaseRecord::GetInteger(int field, int* value) {
    if (!Valid(field) || value == nullptr)
        return 0;
    *value = ParseXBaseInt32(GetText(field));
    return 1;
}

int CxBaseRecord::GetDouble(int field, double* value) {
    if (!Valid(field) || value == nullptr)
        return 0;
    *value = ToDouble(field);
    return 1;
}

namespace {

bool IsTrueLetter(std::string_view text) {
    return text.size() == 1 && (text[0] == 'T' || text[0] == 't' || text[0] == 'Y' || text[0] == 'y');
}

// Characters [from, from + count) of the text read as a decimal number (what exists of them).
int DatePart(std::string_view text, std::size_t from, std::size_t count) {
    if (from >= text.size())
        return 0;
    return ParseXBaseInt32(text.substr(from, count));
}

} // namespace

int CxBaseRecord::GetValue(int field, CVariant* value) {
    if (!Valid(field) || value == nullptr)
        return 0;
    return Guarded([&] {
        VariantClear(value);
        const SEntry& e = m_entries[static_cast<std::size_t>(field)];
        const std::string_view text = GetText(field);
        if (IsStoredNull(e.type, text)) {
            *value = CVariant::Null();
            return 1;
        }
        switch (CxBaseDatabase::FieldTypeOf(e.type, e.decimals)) {
        case FIELD_INTEGER: {
            const int64_t v = ParseXBaseInt64(text);
            if (v >= -INT32_MAX && v <= INT32_MAX)
                *value = CVariant::FromI4(static_cast<int32_t>(v));
            else
                *value = CVariant::FromInt64(v);
            break;
        }
        case FIELD_REAL:
            *value = CVariant::FromR8(ToDouble(field));
            break;
        case FIELD_LOGICAL:
            *value = CVariant::FromBool(IsTrueLetter(text));
            break;
        case FIELD_DATE: {
            double date = 0.0;
            if (!SystemTimeToVariantTime(DatePart(text, 0, 4), DatePart(text, 4, 2), DatePart(text, 6, 2), 0,
                                         0, 0, &date))
                date = 0.0;
            *value = CVariant::FromDate(date);
            break;
        }
        default: {
            CIString s;
            s.SetFromMultiByte(text, CodePage());
            *value = CVariant::FromString(s.Str());
            break;
        }
        }
        return 1;
    });
}

int CxBaseRecord::GetBookmark(CVariant* bookmark) {
    if (bookmark == nullptr)
        return 0;
    VariantClear(bookmark);
    *bookmark = CVariant::FromI4(static_cast<int32_t>(m_record));
    return 1;
}

int CxBaseRecord::GetFieldCount() {
    return static_cast<int>(m_entries.size());
}

int CxBaseRecord::GetFieldName(int index, IString* name) {
    if (!Valid(index) || name == nullptr || m_table == nullptr)
        return 0;
    return Guarded([&] {
        name->SetFromMultiByte(m_table->Field(index).name, CodePage());
        return 1;
    });
}

int CxBaseRecord::GetFieldWidth(int index) {
    return Valid(index) ? m_entries[static_cast<std::size_t>(index)].width : 0;
}

int CxBaseRecord::GetFieldDecimals(int index) {
    return Valid(index) ? m_entries[static_cast<std::size_t>(index)].decimals : 0;
}

int CxBaseRecord::GetFieldType(int index) {
    if (!Valid(index))
        return 0;
    const SEntry& e = m_entries[static_cast<std::size_t>(index)];
    return CxBaseDatabase::FieldTypeOf(e.type, e.decimals);
}

} // namespace fennick
