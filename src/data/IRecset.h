#pragma once
// IRecset: a set of records with a current position, over one IDirectAccess held with a reference.

#include "data/GeoTypes.h"
#include "data/Unknown.h"

namespace fennick {

class IShape;
class IShapeAttr;
struct CVariant;

class IRecset : public IUnknown {
public:
    virtual int MoveFirst() = 0;
    virtual int MoveNext() = 0;
    virtual int ReservedA(int value) = 0;
    // With fresh = 0 the set may refill one shape object of its own on every call (valid until the next
    // move); with fresh != 0 a new shape object is made.
    virtual int GetShape(IShape** shape, int fresh) = 0;
    virtual int GetAttributes(IShapeAttr** attributes) = 0;
    virtual int GetRecordBounds(CGeoRect* bounds) = 0;
    // Records in the set, or -1 when the set does not know.
    virtual int GetCount() = 0;
    virtual int MoveToBookmark(const CVariant& bookmark) = 0;
    virtual int SetPosition(int position) = 0;
    virtual int GetBookmark(CVariant* bookmark) = 0;
    virtual int ReservedB() = 0;
    virtual int SortByDistance(CGeoPoint point) = 0;
    virtual int GetBounds(CGeoRect* bounds) = 0;
    virtual int ReservedC(int a, int b) = 0;
    virtual int ReservedD() = 0;
    virtual int DeleteCurrent() = 0;
    virtual ~IRecset() = default;
};

} // namespace fennick
