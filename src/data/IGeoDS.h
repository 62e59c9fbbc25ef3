#pragma once
// IGeoDS: a data source (a shapefile or a MapInfo TAB table). The same object is its own IFieldDesc and
// IDirectAccess, and all facets share one reference count.

#include "data/GeoTypes.h"
#include "data/Unknown.h"

namespace fennick {

class IRecset;
class ICoordSys;
class CSearchSpec;

class IGeoDS : public IUnknown {
public:
    virtual int GetSourceKind() = 0;
    virtual int GetShapeType() = 0;
    virtual int GetBounds(CGeoRect* bounds) = 0;
    // A record set of the records whose bounds meet the rectangle.
    virtual int SelectByRect(const CGeoRect* rect, IRecset** recset) = 0;
    virtual int SelectIntersecting(const CGeoRect* rect, IRecset** recset) = 0;
    // The records that pass the region test and the expression; 0 when nothing passes.
    virtual int Search(CSearchSpec* spec, IRecset** recset) = 0;
    // All records in record-number order.
    virtual int SelectAll(IRecset** recset) = 0;
    // Closes the files and drops the index; the object stays alive.
    virtual void Close() = 0;
    virtual int SetCoordSys(ICoordSys* coordSys) = 0;
    // No reference added.
    virtual ICoordSys* GetCoordSys() = 0;
    virtual int GetCodePage() = 0;
    // Stores the code page when it is >= 0.
    virtual void SetCodePage(int codePage) = 0;
    virtual int ReservedA(int value) = 0;

protected:
    ~IGeoDS() = default;
};

} // namespace fennick
