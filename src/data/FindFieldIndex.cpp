#include "data/FindFieldIndex.h"

#include "data/IFieldDesc.h"
#include "data/IString.h"
#include "platform/TextCase.h"

namespace fennick {

int FindFieldIndex(IFieldDesc* fields, std::u16string_view name) {
    if (!fields || name.empty())
        return -1;
    CIString fieldName;
    for (int i = 0; i < fields->GetFieldCount(); ++i) {
        if (!fields->GetFieldName(i, &fieldName))
            return -1;
        if (EqualIgnoringCase(fieldName.Str(), name))
            return i;
    }
    return -1;
}

} // namespace fennick
