#pragma once
// IFieldDesc: the description of a table's fields, always a facet of the object that owns it (a data source
// or an attribute record); no counting. Fields are identified by position.

namespace fennick {

class IString;

class IFieldDesc {
public:
    virtual int GetFieldCount() = 0;
    // Sets the name into the string; 0 for an index out of range.
    virtual int GetFieldName(int index, IString* name) = 0;
    virtual int GetFieldWidth(int index) = 0;
    virtual int GetFieldDecimals(int index) = 0;
    // A FieldType code; 0 for an index out of range.
    virtual int GetFieldType(int index) = 0;

protected:
    ~IFieldDesc() = default;
};

} // namespace fennick
