#include "data/ShapeRecset.h"

#include "data/RecsetBookmark.h"
#include "data/RectOperations.h"
#include "data/ShapeImpl.h"
#include "platform/Boundary.h"
#include "platform/Variant.h"

namespace fennick {

CShapeRecset::CShapeRecset(IDirectAccess* access, bool filter, const CGeoRect& rect)
    : CRecordNumberRecset(access, rect), m_filter(filter) {}

int CShapeRecset::MoveFirst() {
    return Guarded([&] {
        if (m_access->GetRecordCount() <= 0)
            return 0;
        m_current = -1;
        return MoveNext();
    });
}

int CShapeRecset::MoveNext() {
    return Guarded([&] {
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
    });
}

int CShapeRecset::ReservedA(int value) {
    return Guarded([&] { return m_access->ReservedA(m_current, value); });
}

int CShapeRecset::GetCount() {
    return Guarded([&] { return m_access->GetRecordCount(); });
}

int CShapeRecset::MoveToBookmark(const CVariant& bookmark) {
    return Guarded([&] {
        const int value = BookmarkValue(bookmark);
        if (value < 0 || value >= m_access->GetRecordCount())
            return 0;
        m_current = value;
        return 1;
    });
}

int CShapeRecset::ReservedC(int a, int b) {
    return Guarded([&] {
        if (m_current >= m_access->GetRecordCount())
            return 0;
        return m_access->ReservedC(m_current, a, b);
    });
}

int CShapeRecset::ReservedD() {
    return Guarded([&] {
        if (m_current >= m_access->GetRecordCount())
            return 0;
        return m_access->ReservedD(m_current);
    });
}

int CShapeRecset::DeleteCurrent() {
    return Guarded([&] {
        if (m_current < 0 || m_current >= m_access->GetRecordCount())
            return 0;
        if (!m_access->DeleteRecord(m_current))
            return 0;
        if (m_current >= m_access->GetRecordCount())
            --m_current;
        return 1;
    });
}

} // namespace fennick
