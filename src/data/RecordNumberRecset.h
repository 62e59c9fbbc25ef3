#pragma once
// CRecordNumberRecset: the part the record sets over plain record numbers share (CShapeRecset, CQuickRecset):
// a current record number, the set's rectangle, one cached shape reused by GetShape(fresh = 0), and the
// operations that only read the current record. Subclasses decide which records the walk visits.

#include "data/BaseRecset.h"
#include "data/GeoTypes.h"
#include "data/IRecordNumberWalk.h"
#include "data/ShapeImpl.h"

namespace fennick {

class CRecordNumberRecset : public CBaseRecset, public IRecordNumberWalk {
public:
    int GetShape(IShape** shape, int fresh) override;
    int GetAttributes(IShapeAttr** attributes) override;
    int GetRecordBounds(CGeoRect* bounds) override;
    int SetPosition(int position) override;
    int GetBookmark(CVariant* bookmark) override;
    int ReservedB() override;
    // Not supported: 0.
    int SortByDistance(CGeoPoint point) override;
    // The set's rectangle.
    int GetBounds(CGeoRect* bounds) override;

    // IRecordNumberWalk
    int CurrentRecord() const override { return m_current; }
    IDirectAccess* WalkedSource() const override { return GetDirectAccess(); }
    bool VisitsEveryRecord() const override { return false; }

protected:
    CRecordNumberRecset(IDirectAccess* access, const CGeoRect& rect);
    bool InRange(int count) const { return m_current >= 0 && m_current < count; }

    CGeoRect m_rect;
    int m_current = -1;

private:
    CRef<CShapeImpl> m_shape; // the cached shape
};

} // namespace fennick
