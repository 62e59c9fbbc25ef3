#pragma once
// CShapeRecset: walks the record numbers 0 .. count - 1 of a data source in order, either every record or
// only the records whose bounds meet a rectangle (edges inclusive). count is always the source's current
// GetRecordCount, so GetCount reports the whole layer even when the filter yields fewer records.
// Walking with GetShape(fresh = 0) reuses one shape object for the whole walk.

#include "data/BaseRecset.h"
#include "data/GeoTypes.h"

namespace fennick {

class CShapeImpl;

class CShapeRecset final : public CBaseRecset {
public:
    // filter = false: every record; true: only records whose bounds meet rect. Positioned nowhere until
    // MoveFirst.
    CShapeRecset(IDirectAccess* access, bool filter, const CGeoRect& rect);
    ~CShapeRecset() override;

    int MoveFirst() override;
    int MoveNext() override;
    int ReservedA(int value) override;
    int GetShape(IShape** shape, int fresh) override;
    int GetAttributes(IShapeAttr** attributes) override;
    int GetRecordBounds(CGeoRect* bounds) override;
    int GetCount() override;
    int MoveToBookmark(const CVariant& bookmark) override;
    int SetPosition(int position) override;
    int GetBookmark(CVariant* bookmark) override;
    int ReservedB() override;
    // Not supported: 0.
    int SortByDistance(CGeoPoint point) override;
    int GetBounds(CGeoRect* bounds) override;
    int ReservedC(int a, int b) override;
    int ReservedD() override;
    int DeleteCurrent() override;

    bool IsFiltered() const { return m_filter; }

private:
    bool InRange(int count) const { return m_current >= 0 && m_current < count; }

    bool m_filter;
    CGeoRect m_rect;
    int m_current = -1;
    CShapeImpl* m_shape; // the cached shape, one reference
};

} // namespace fennick
