#pragma once
// CxBaseRecord: one record of an xBase table, offered as IShapeAttr (its values), IFieldDesc (its fields) and
// IStoredRecord (its field texts as stored).
// The record is read once and split into one zero-terminated text per field (the field's bytes without
// surrounding spaces). Values are delivered by field type: text in the table's code page, integers, reals,
// and typed values (VT_I4, or VT_DECIMAL beyond 31 bits; VT_R8; VT_BOOL; VT_DATE; VT_BSTR).
//
// Records come from CxBaseDatabase::GetRecord. A record should not outlive its table; if its table is closed
// or destroyed first, the record is cut off from it: its values stay readable, its field names answer 0.

#include "data/IFieldDesc.h"
#include "data/IShapeAttr.h"
#include "platform/ByteBuffer.h"
#include "shp/IStoredRecords.h"

#include <atomic>
#include <cstdint>
#include <string_view>
#include <vector>

namespace fennick {

class CxBaseDatabase;

class CxBaseRecord final : public IShapeAttr, public IFieldDesc, public IStoredRecord {
public:
    // IUnknown: QueryInterface answers E_ABORT; at count 0 the record goes back to its table for reuse or
    // is deleted.
    HRESULT QueryInterface(const SGuid& iid, void** object) override;
    int32_t AddRef() override;
    int32_t Release() override;

    // IShapeAttr: an index outside the fields, a missing out-parameter or an error inside returns 0.
    int GetString(int field, IString* value) override;
    int GetInteger(int field, int* value) override;
    int GetDouble(int field, double* value) override;
    int GetValue(int field, CVariant* value) override;
    int GetBookmark(CVariant* bookmark) override;

    // IFieldDesc
    int GetFieldCount() override;
    int GetFieldName(int index, IString* name) override;
    int GetFieldWidth(int index) override;
    int GetFieldDecimals(int index) override;
    int GetFieldType(int index) override;

    uint32_t GetRecordNumber() const { return m_record; }

    // IStoredRecord. The code page is the table's, or the one it had when it went away.
    int CodePage() const override;
    char GetTypeLetter(int field) const override {
        return Valid(field) ? m_entries[static_cast<std::size_t>(field)].type : '\0';
    }
    std::string_view GetText(int field) const override;
    std::string_view GetStoredBytes(int field) const override;

private:
    friend class CxBaseDatabase;

    struct SEntry {
        uint16_t width = 0;
        uint16_t offset = 0;
        uint16_t decimals = 0;
        char type = 'C';
        uint32_t text = 0; // position in the text block
        uint32_t length = 0;
    };

    explicit CxBaseRecord(CxBaseDatabase* table);
    ~CxBaseRecord() override;

    // Sizes the buffers for the table's layout and reads the record.
    void Load(uint32_t record);
    bool Valid(int field) const { return field >= 0 && static_cast<std::size_t>(field) < m_entries.size(); }
    double ToDouble(int field) const;
    void Cut(); // the table goes away

    std::atomic<int32_t> m_refs{0};
    CxBaseDatabase* m_table;
    CxBaseRecord* m_prev = nullptr; // the table's list of live records
    CxBaseRecord* m_next = nullptr;
    int m_cutCodePage = 0;
    uint32_t m_record = 0;
    CByteBuffer m_raw;
    CByteBuffer m_texts;
    std::vector<SEntry> m_entries;
    uint32_t m_entriesLength = 0; // the record length m_entries were laid out for
};

} // namespace fennick
