#pragma once
// CQuickRecset: walks the record numbers marked in a bit set that a spatial index query filled, in record
// order. The marked records are candidates (the index lists every record of a node that meets the query),
// so the set does not know its exact size: GetCount answers -1. Marks beyond the source's record count
// (an index covering more records than the source holds) are never yielded.

#include "data/GeoTypes.h"
#include "data/RecordNumberRecset.h"

#include <vector>

namespace fennick {

class CQuickRecset final : public CRecordNumberRecset {
public:
    CQuickRecset(IDirectAccess* access, const CGeoRect& query);

    // The selection, one bit per record number, for the spatial index to fill; call CountSelected after.
    std::vector<bool>& Bits() { return m_bits; }
    // Counts the set bits after the selection was filled.
    void CountSelected();
    int SelectedCount() const { return m_selected; }

    int MoveFirst() override;
    int MoveNext() override;
    // 0.
    int ReservedA(int value) override;
    // -1: the set does not know.
    int GetCount() override;
    // Only a record whose bit is set; the walk's count of visited records is kept.
    int MoveToBookmark(const CVariant& bookmark) override;
    // 0.
    int ReservedC(int a, int b) override;
    // 0.
    int ReservedD() override;
    // Not supported: 0.
    int DeleteCurrent() override;

private:
    std::vector<bool> m_bits;
    int m_selected = 0;
    int m_visited = 0; // records visited since MoveFirst
};

} // namespace fennick
