#pragma once
// CBaseGeoDS: what every data source has in common on its IGeoDS side: the coordinate system (held with a
// reference), the code page, and the default answers of IGeoDS. A data source object is at the same time
// its own IFieldDesc, so that facet is a base here too.
//
// A subclass implements:
//   - the IUnknown slots, sharing one counter with the object's IDirectAccess facet (CGeoDataSource does
//     this for its subclasses);
//   - GetSourceKind, GetShapeType, GetBounds, SelectByRect, Search, SelectAll and Close;
//   - the five IFieldDesc operations (CDsFieldTable serves a source that holds its field table in memory).
// It keeps SetCoordSys, GetCoordSys, GetCodePage, SetCodePage, SelectIntersecting and ReservedA unless it has
// a reason not to.

#include "data/IFieldDesc.h"
#include "data/IGeoDS.h"

namespace fennick {

class CBaseGeoDS : public IGeoDS, public IFieldDesc {
public:
    CBaseGeoDS(const CBaseGeoDS&) = delete;
    CBaseGeoDS& operator=(const CBaseGeoDS&) = delete;

    // Stores the coordinate system with a reference and releases the previous one; null releases. Storing
    // the pointer already held changes nothing. Returns 1.
    int SetCoordSys(ICoordSys* coordSys) override;
    // The stored coordinate system or null; no reference added.
    ICoordSys* GetCoordSys() override;
    int GetCodePage() override;
    // Stores the code page when it is >= 0; negative values are ignored.
    void SetCodePage(int codePage) override;
    // Exactly the object's own SelectByRect.
    int SelectIntersecting(const CGeoRect* rect, IRecset** recset) override;
    int ReservedA(int value) override;

    // The object's field description facet; no reference added (it lives as long as the data source).
    virtual IFieldDesc* GetFieldDesc();

protected:
    CBaseGeoDS() = default;
    // Releases the coordinate system. Data sources are destroyed through this destructor when their last
    // reference goes.
    virtual ~CBaseGeoDS();

private:
    ICoordSys* m_coordSys = nullptr;
    int m_codePage = 0; // 0: the system's ANSI code page
};

} // namespace fennick
