#include "data/RecordNumberRecset.h"

#include "data/RecsetBookmark.h"
#include "platform/Boundary.h"
#include "platform/Variant.h"

namespace fennick {

CRecordNumberRecset::CRecordNumberRecset(IDirectAccess* access, const CGeoRect& rect)
    : CBaseRecset(access), m_rect(rect), m_shape(MakeRef<CShapeImpl>()) {}

int CRecordNumberRecset::GetShape(IShape** shape, int fresh) {
    return Guarded([&] {
        if (!InRange(m_access->GetRecordCount()))
            return 0;
        return DeliverShape(m_current, m_shape.Get(), shape, fresh);
    });
}

int CRecordNumberRecset::GetAttributes(IShapeAttr** attributes) {
    return Guarded([&] {
        if (!InRange(m_access->GetRecordCount()))
            return 0;
        return m_access->GetAttributes(m_current, attributes);
    });
}

int CRecordNumberRecset::GetRecordBounds(CGeoRect* bounds) {
    return Guarded([&] {
        if (!InRange(m_access->GetRecordCount()))
            return 0;
        return m_access->GetRecordBounds(m_current, bounds);
    });
}

int CRecordNumberRecset::SetPosition(int position) {
    return MoveToBookmark(CVariant::FromI4(position));
}

int CRecordNumberRecset::GetBookmark(CVariant* bookmark) {
    return Guarded([&] {
        if (!bookmark || !InRange(m_access->GetRecordCount()))
            return 0;
        SetBookmark(bookmark, m_current);
        return 1;
    });
}

int CRecordNumberRecset::ReservedB() {
    return 1;
}

int CRecordNumberRecset::SortByDistance(CGeoPoint) {
    return 0;
}

int CRecordNumberRecset::GetBounds(CGeoRect* bounds) {
    if (bounds)
        *bounds = m_rect;
    return 1;
}

} // namespace fennick
