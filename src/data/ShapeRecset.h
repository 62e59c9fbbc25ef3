#pragma once
// CShapeRecset: walks the record numbers 0 .. count - 1 of a data source in order, either every record or
// only the records whose bounds meet a rectangle (edges inclusive). count is always the source's current
// GetRecordCount, so GetCount reports the whole layer even when the filter yields fewer records.
// Walking with GetShape(fresh = 0) reuses one shape object for the whole walk.

#include "data/GeoTypes.h"
#include "data/RecordNumberRecset.h"

namespace fennick {

class CShapeRecset final : public CRecordNumberRecset {
public:
    // filter = false: every record; true: only records whose bounds meet rect. Positioned nowhere until
    // MoveFirst.
    CShapeRecset(IDirectAccess* access, bool filter, const CGeoRect& rect);

    int MoveFirst() override;
    int MoveNext() override;
    int ReservedA(int value) override;
    int GetCount() override;
    int MoveToBookmark(const CVariant& bookmark) override;
    int ReservedC(int a, int b) override;
    int ReservedD() override;
    int DeleteCurrent() override;

    bool IsFiltered() const { return m_filter; }
    bool VisitsEveryRecord() const override { return !m_filter; }

private:
    bool m_filter;
};

} // namespace fennick
