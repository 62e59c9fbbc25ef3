#pragma once
// CQuickRecset: walks the record numbers marked in a bit set that a spatial index query filled, in record
// order. The marked records are candidates (the index lists every record of a node that meets the query),
// so the set does not know its exact size: GetCount answers -1. Marks beyond the source's record count
// (an index covering more records than the source holds) are never yielded.

#include "data/BaseRecset.h"
#include "data/GeoTypes.h"

#include <vector>

namespace fennick {

class CShapeImpl;

class CQuickRecset final : public CBaseRecset {
public:
    CQuickRecset(IDirectAccess* access, const CGeoRect& query);
    ~CQuickRecset() override;

    // The selection, one bit per record number, for the spatial index to fill; call CountSelected after.
    std::vector<bool>& Bits() { return m_bits; }
    // Counts the set bits after the selection was filled.
    void CountSelected();
    int SelectedCount() const { return m_selected; }

    int MoveFirst() override;
    int MoveNext() override;
    // 0.
    int ReservedA(int value) override;
    int GetShape(IShape** shape, int fresh) override;
    int GetAttributes(IShapeAttr** attributes) override;
    int GetRecordBounds(CGeoRect* bounds) override;
    // -1: the set does not know.
    int GetCount() override;
    // Only a record whose bit is set; the walk's count of visited records is kept.
    int MoveToBookmark(const CVariant& bookmark) override;
    int SetPosition(int position) override;
    int GetBookmark(CVariant* bookmark) override;
    int ReservedB() override;
    // Not supported: 0.
    int SortByDistance(CGeoPoint point) override;
    // The query rectangle.
    int GetBounds(CGeoRect* bounds) override;
    // 0.
    int ReservedC(int a, int b) override;
    // 0.
    int ReservedD() override;
    // Not supported: 0.
    int DeleteCurrent() override;

private:
    bool InRange(int count) const { return m_current >= 0 && m_current < count; }

    CGeoRect m_query;
    int m_current = -1;
    CShapeImpl* m_shape; // the cached shape, one reference
    std::vector<bool> m_bits;
    int m_selected = 0;
    int m_visited = 0; // records visited since MoveFirst
};

} // namespace fennick
