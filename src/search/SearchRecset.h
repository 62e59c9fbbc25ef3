#pragma once
// CSearchRecset: an explicit list of record numbers, built by a search (region test and expression) in the
// order the candidates came, and optionally reordered by distance from a point. The set's bounds grow with
// every record added.
//
// The operations that read the listed record at the current position (ReservedA, GetAttributes,
// GetRecordBounds, ReservedC) raise CInvalidArgException when the position lies outside the list; callers
// avoid that by moving first. GetShape turns it into 0.

#include "data/BaseRecset.h"
#include "data/GeoTypes.h"

#include <vector>

namespace fennick {

// One entry of the distance sort.
struct SSortRec {
    int record = 0;
    double distance = 0.0;
};

class CSearchRecset final : public CBaseRecset {
public:
    // An empty list, positioned nowhere (-1), with empty bounds.
    explicit CSearchRecset(IDirectAccess* access);

    // Appends a record number and grows the bounds by its rectangle.
    void Add(int record, const CGeoRect& bounds);
    const std::vector<int>& Records() const { return m_records; }
    int GetPosition() const { return m_position; }

    // Position 0 (even on an empty list); 1.
    int MoveFirst() override;
    // 0 on the last entry, the position staying there.
    int MoveNext() override;
    int ReservedA(int value) override;
    // Always a new shape, whatever fresh says.
    int GetShape(IShape** shape, int fresh) override;
    int GetAttributes(IShapeAttr** attributes) override;
    int GetRecordBounds(CGeoRect* bounds) override;
    // The list's size.
    int GetCount() override;
    // The first list entry with that record number.
    int MoveToBookmark(const CVariant& bookmark) override;
    // The n-th list entry.
    int SetPosition(int position) override;
    int GetBookmark(CVariant* bookmark) override;
    int ReservedB() override;
    // Reorders the list by ascending distance from the point (DistanceToShape); records at equal distance
    // keep their order. A record whose shape cannot be obtained, or whose distance is not a number, keeps
    // its place in the set but moves to the end. The position and the bounds are not changed. 0 (list
    // unchanged) when something raised.
    int SortByDistance(CGeoPoint point) override;
    // The bounds of the listed records.
    int GetBounds(CGeoRect* bounds) override;
    int ReservedC(int a, int b) override;
    int ReservedD() override;
    // Deletes the listed record in the source; on success drops the entry and, when the position falls past
    // the shortened list, steps back by one.
    int DeleteCurrent() override;

private:
    bool PositionValid() const {
        return m_position >= 0 && static_cast<std::size_t>(m_position) < m_records.size();
    }
    // The record number at the position; raises CInvalidArgException outside the list.
    int ListedRecord() const;

    int m_position = -1;
    CGeoRect m_bounds;
    std::vector<int> m_records;
};

} // namespace fennick
