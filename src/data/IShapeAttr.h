#pragma once
// IShapeAttr: the attribute values of one record. Every implementation is also the IFieldDesc of its fields.

#include "data/Unknown.h"

namespace fennick {

class IString;
struct CVariant;

class IShapeAttr : public IUnknown {
public:
    virtual int GetString(int field, IString* value) = 0;
    virtual int GetInteger(int field, int* value) = 0;
    virtual int GetDouble(int field, double* value) = 0;
    // The value as a typed variant chosen by the field type; the variant's previous content is cleared.
    virtual int GetValue(int field, CVariant* value) = 0;
    // VT_I4 with the record number.
    virtual int GetBookmark(CVariant* bookmark) = 0;
    virtual ~IShapeAttr() = default;
};

} // namespace fennick
