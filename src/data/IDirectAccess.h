#pragma once
// IDirectAccess: access to a data source's records by 0-based record number. Its counting acts on the
// whole data source object.

#include "data/GeoTypes.h"
#include "data/Unknown.h"

namespace fennick {

class IShape;
class IShapeEx;
class IShapeAttr;

class IDirectAccess : public IUnknown {
public:
    virtual int GetRecordCount() = 0;
    virtual int CreateShape(int record, IShape** shape) = 0;
    // Fills the given shape with the record's geometry and record number; 0 on failure.
    virtual int ReadShape(int record, IShapeEx* shape) = 0;
    virtual int ReservedA(int record, int value) = 0;
    // A new attribute record (one reference for the caller); 0 without attributes or on failure.
    virtual int GetAttributes(int record, IShapeAttr** attributes) = 0;
    virtual int GetRecordBounds(int record, CGeoRect* bounds) = 0;
    virtual int ReservedC(int record, int a, int b) = 0;
    virtual int ReservedD(int record) = 0;
    virtual int DeleteRecord(int record) = 0;

protected:
    ~IDirectAccess() = default;
};

} // namespace fennick
