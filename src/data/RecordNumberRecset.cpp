#include "data/RecordNumberRecset.h"

#include "data/RecsetBookmark.h"
#include "platform/Variant.h"

namespace fennick {

CRecordNumberRecset::CRecordNumberRecset(IDirectAccess* access, const CGeoRect& rect)
    : CBaseRecset(access), m_rect(rect), m_shape(MakeRef<CShapeImpl>()) {}

int CRecordNumberRecset::GetShape(IShape** shape, int fresh) {
    try {
        if (!InRange(m_access->GetRecordCount()))
            return 0;
        return DeliverShape(m_current, m_shape.Get(), shape, fresh);
    } catch (...) {
        return 0;
    }
}

int CRecordNumberRecset::GetAttributes(IShapeAttr** attributes) {
    try {
        if (!InRange(m_access->GetRecordCount()))
            return 0;
        return m_access->GetAttributes(m_current, attributes);
    } catch (...) {
        return 0;
    }
}

int CRecordNumberRecset::GetRecordBounds(CGeoRect* bounds) {
    try {
        if (!InRange(m_access->GetRecordCount()))
            return 0;
        return m_access->GetRecordBounds(m_current, bounds);
    } catch (...) {
        return 0;
    }
}

int CRecordNumberRecset::SetPosition(int position) {
    return MoveToBookmark(CVariant::FromI4(position));
}

int CRecordNumberRecset::GetBookmark(CVariant* bookmark) {
    try {
        if (!bookmark || !InRange(m_access->GetRecordCount()))
            return 0;
        SetBookmark(bookmark, m_current);
        return 1;
    } catch (...) {
        return 0;
    }
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
