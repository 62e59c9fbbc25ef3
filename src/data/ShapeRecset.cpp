#include "data/ShapeRecset.h"

#include "data/RecsetBookmark.h"
#include "platform/Variant.h"
#include "search/RectOperations.h"
#include "shp/ShapeImpl.h"

namespace fennick {

CShapeRecset::CShapeRecset(IDirectAccess* access, bool filter, const CGeoRect& rect)
    : CBaseRecset(access), m_filter(filter), m_rect(rect), m_shape(MakeRef<CShapeImpl>().Detach()) {}

CShapeRecset::~CShapeRecset() {
    m_shape->Release();
}

int CShapeRecset::MoveFirst() {
    try {
        if (m_access->GetRecordCount() <= 0)
            return 0;
        m_current = -1;
        return MoveNext();
    } catch (...) {
        return 0;
    }
}

int CShapeRecset::MoveNext() {
    try {
        const int count = m_access->GetRecordCount();
        if (m_current >= count)
            return 0;
        ++m_current;
        if (!m_filter)
            return m_current < count ? 1 : 0;
        CGeoRect bounds;
        for (; m_current < count; ++m_current) {
            bounds.SetEmpty();
            if (m_access->GetRecordBounds(m_current, &bounds) && RectsMeet(bounds, m_rect))
                return 1;
        }
        return 0;
    } catch (...) {
        return 0;
    }
}

int CShapeRecset::ReservedA(int value) {
    try {
        return m_access->ReservedA(m_current, value);
    } catch (...) {
        return 0;
    }
}

int CShapeRecset::GetShape(IShape** shape, int fresh) {
    try {
        if (!InRange(m_access->GetRecordCount()))
            return 0;
        return DeliverShape(m_current, m_shape, shape, fresh);
    } catch (...) {
        return 0;
    }
}

int CShapeRecset::GetAttributes(IShapeAttr** attributes) {
    try {
        if (!InRange(m_access->GetRecordCount()))
            return 0;
        return m_access->GetAttributes(m_current, attributes);
    } catch (...) {
        return 0;
    }
}

int CShapeRecset::GetRecordBounds(CGeoRect* bounds) {
    try {
        if (!InRange(m_access->GetRecordCount()))
            return 0;
        return m_access->GetRecordBounds(m_current, bounds);
    } catch (...) {
        return 0;
    }
}

int CShapeRecset::GetCount() {
    try {
        return m_access->GetRecordCount();
    } catch (...) {
        return 0;
    }
}

int CShapeRecset::MoveToBookmark(const CVariant& bookmark) {
    try {
        const int value = BookmarkValue(bookmark);
        if (value < 0 || value >= m_access->GetRecordCount())
            return 0;
        m_current = value;
        return 1;
    } catch (...) {
        return 0;
    }
}

int CShapeRecset::SetPosition(int position) {
    return MoveToBookmark(CVariant::FromI4(position));
}

int CShapeRecset::GetBookmark(CVariant* bookmark) {
    try {
        if (!bookmark || !InRange(m_access->GetRecordCount()))
            return 0;
        SetBookmark(bookmark, m_current);
        return 1;
    } catch (...) {
        return 0;
    }
}

int CShapeRecset::ReservedB() {
    return 1;
}

int CShapeRecset::SortByDistance(CGeoPoint) {
    return 0;
}

int CShapeRecset::GetBounds(CGeoRect* bounds) {
    if (bounds)
        *bounds = m_rect;
    return 1;
}

int CShapeRecset::ReservedC(int a, int b) {
    try {
        if (m_current >= m_access->GetRecordCount())
            return 0;
        return m_access->ReservedC(m_current, a, b);
    } catch (...) {
        return 0;
    }
}

int CShapeRecset::ReservedD() {
    try {
        if (m_current >= m_access->GetRecordCount())
            return 0;
        return m_access->ReservedD(m_current);
    } catch (...) {
        return 0;
    }
}

int CShapeRecset::DeleteCurrent() {
    try {
        if (m_current < 0 || m_current >= m_access->GetRecordCount())
            return 0;
        if (!m_access->DeleteRecord(m_current))
            return 0;
        if (m_current >= m_access->GetRecordCount())
            --m_current;
        return 1;
    } catch (...) {
        return 0;
    }
}

} // namespace fennick
