#include "data/DsFields.h"

#include "data/IString.h"

namespace fennick {

const SDsFields* CDsFieldTable::At(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_fields.size())
        return nullptr;
    return &m_fields[static_cast<std::size_t>(index)];
}

int CDsFieldTable::GetFieldCount() {
    return static_cast<int>(m_fields.size());
}

int CDsFieldTable::GetFieldName(int index, IString* name) {
    const SDsFields* field = At(index);
    if (!field || !name)
        return 0;
    name->SetText(field->name.c_str());
    return 1;
}

int CDsFieldTable::GetFieldWidth(int index) {
    const SDsFields* field = At(index);
    return field ? field->width : 0;
}

int CDsFieldTable::GetFieldDecimals(int index) {
    const SDsFields* field = At(index);
    return field ? field->decimals : 0;
}

int CDsFieldTable::GetFieldType(int index) {
    const SDsFields* field = At(index);
    return field ? field->type : 0;
}

} // namespace fennick
