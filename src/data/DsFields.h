#pragma once
// SDsFields: one field of a data source's field table, and CDsFieldTable, the IFieldDesc over such a table.
// A data source that reads its field layout up front (the TAB source) keeps a CDsFieldTable and forwards
// the five IFieldDesc operations of its own facet to it.

#include "data/IFieldDesc.h"

#include <string>
#include <vector>

namespace fennick {

struct SDsFields {
    std::u16string name;
    int type = 0; // a FieldType code
    int width = 0;
    int decimals = 0;
};

class CDsFieldTable final : public IFieldDesc {
public:
    CDsFieldTable() = default;
    explicit CDsFieldTable(std::vector<SDsFields> fields) : m_fields(std::move(fields)) {}

    // The table's size.
    int GetFieldCount() override;
    // Sets the name into the string and returns 1; 0 when the index is out of range.
    int GetFieldName(int index, IString* name) override;
    // The member, or 0 when the index is out of range.
    int GetFieldWidth(int index) override;
    int GetFieldDecimals(int index) override;
    int GetFieldType(int index) override;

    void Add(SDsFields field) { m_fields.push_back(std::move(field)); }
    void Clear() { m_fields.clear(); }
    const std::vector<SDsFields>& Fields() const { return m_fields; }

private:
    // The field at index, or null when the index is out of range.
    const SDsFields* At(int index) const;

    std::vector<SDsFields> m_fields;
};

} // namespace fennick
